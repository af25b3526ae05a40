#include "settings/settings_store.h"

#include "app/app_state.h"
#include "app/version.h"
#include "settings/registry_key.h"
#include "ui/message_box.h"

namespace {

constexpr char kParentKey[] = "Software\\brackenmoorworks";
constexpr char kProgramKey[] = "Software\\brackenmoorworks\\Dunewright";

void LoadDefaults()
{
    app.defaultFolder.clear();
    app.singleInstance = true;
    app.PosX = 0;
    app.PosY = 0;
    app.scanOptions = DefaultScanOptions();
    app.saveOptions = DefaultSaveOptions();
}

// A flag keeps its value unless the key holds a number, which counts as 1
// whenever it is nonzero.
void ReadFlag(const RegistryKey& key, const char* name, uint8_t* flag)
{
    int32_t stored = 0;
    if (key.ReadNumber(name, &stored))
        *flag = stored != 0 ? 1 : 0;
}

void ReadNumber(const RegistryKey& key, const char* name, int32_t* number)
{
    int32_t stored = 0;
    if (key.ReadNumber(name, &stored))
        *number = stored;
}

// Creates the parent key and then the program's own, with the warning that
// names the one that could not be created.
RegistryKey CreateProgramKey()
{
    if (!RegistryKey::Create(HKEY_CURRENT_USER, kParentKey).IsOpen()) {
        ShowMessage(nullptr, "ERROR - could not create 'brackenmoorworks' registry key", MB_ICONWARNING);
        return RegistryKey();
    }
    RegistryKey key = RegistryKey::Create(HKEY_CURRENT_USER, kProgramKey);
    if (!key.IsOpen())
        ShowMessage(nullptr, "ERROR - could not create 'Dunewright' registry key", MB_ICONWARNING);
    return key;
}

}  // namespace

void LoadSettings()
{
    // Defaults first: whatever the key lacks, or holds in an unusable form,
    // keeps them.
    LoadDefaults();
    const RegistryKey key = RegistryKey::OpenForReading(HKEY_CURRENT_USER, kProgramKey);
    if (!key.IsOpen())
        return;

    // Whole and as UTF-16; a value an older version stored loads as well.
    key.ReadWideText("DefaultFolder", app.defaultFolder);
    int32_t mutex = 0;
    if (key.ReadNumber("GlobalMutex", &mutex))
        app.singleInstance = mutex != 0;
    ReadNumber(key, "PosX", &app.PosX);
    ReadNumber(key, "PosY", &app.PosY);

    ScanOptions& scan = app.scanOptions;
    ReadFlag(key, "LimitSize", &scan.LimitSize);
    ReadNumber(key, "SizeLimit", &scan.SizeLimit);
    ReadFlag(key, "LimitDepth", &scan.LimitDepth);
    ReadNumber(key, "DepthLimit", &scan.DepthLimit);
    ReadFlag(key, "Find", &scan.Find);
    ReadFlag(key, "InvertFind", &scan.InvertFind);
    key.ReadText("FindText", scan.FindText, sizeof scan.FindText);
    ReadFlag(key, "DontCount", &scan.DontCount);

    SaveOptions& save = app.saveOptions;
    ReadFlag(key, "SOLimitSize", &save.LimitSize);
    ReadNumber(key, "SOSizeLimit", &save.SizeLimit);
    ReadFlag(key, "SOLimitDepth", &save.LimitDepth);
    ReadNumber(key, "SODepthLimit", &save.DepthLimit);
    ReadFlag(key, "SOFind", &save.Find);
    ReadFlag(key, "SOInvertFind", &save.InvertFind);
    key.ReadText("SOFindText", save.FindText, sizeof save.FindText);
}

void SaveSettings()
{
    const RegistryKey key = CreateProgramKey();
    if (!key.IsOpen())
        return;

    // The live fields themselves are tidied, not copies.
    TrimText(app.defaultFolder);
    AddBackslash(app.defaultFolder);
    key.WriteWideText("DefaultFolder", app.defaultFolder);
    key.WriteNumber("GlobalMutex", app.singleInstance ? 1 : 0);

    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (app.mainWindow != nullptr && GetWindowPlacement(app.mainWindow, &placement)) {
        key.WriteNumber("PosX", placement.rcNormalPosition.left);
        key.WriteNumber("PosY", placement.rcNormalPosition.top);
    }

    ScanOptions& scan = app.scanOptions;
    key.WriteNumber("LimitSize", scan.LimitSize != 0);
    key.WriteNumber("SizeLimit", scan.SizeLimit);
    key.WriteNumber("LimitDepth", scan.LimitDepth != 0);
    key.WriteNumber("DepthLimit", scan.DepthLimit);
    key.WriteNumber("Find", scan.Find != 0);
    key.WriteNumber("InvertFind", scan.InvertFind != 0);
    TrimText(scan.FindText);
    key.WriteText("FindText", scan.FindText);
    key.WriteNumber("DontCount", scan.DontCount != 0);

    SaveOptions& save = app.saveOptions;
    key.WriteNumber("SOLimitSize", save.LimitSize != 0);
    key.WriteNumber("SOSizeLimit", save.SizeLimit);
    key.WriteNumber("SOLimitDepth", save.LimitDepth != 0);
    key.WriteNumber("SODepthLimit", save.DepthLimit);
    key.WriteNumber("SOFind", save.Find != 0);
    key.WriteNumber("SOInvertFind", save.InvertFind != 0);
    TrimText(save.FindText);
    key.WriteText("SOFindText", save.FindText);
}

void WriteVersionValue()
{
    const RegistryKey key = CreateProgramKey();
    if (!key.IsOpen())
        return;
    if (!key.WriteText("V", AppVersion))
        ShowMessage(nullptr, "ERROR - could not write 'V'(ersion) registry value", MB_ICONWARNING);
}
