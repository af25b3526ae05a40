// The Windows headers come first: they rename the FindText field the same
// way in every file that sees them.
#include <windows.h>

#include "settings/settings_store.h"

#include <iterator>

#include "base/version.h"
#include "settings/registry_key.h"

namespace {

constexpr char kParentKey[] = "Software\\brackenmoorworks";
constexpr char kProgramKey[] = "Software\\brackenmoorworks\\Dunewright";

// The longest find text a record holds, in UTF-16 units.
constexpr size_t kLongestFindText = std::size(FilterOptions{}.FindText) - 1;

void LoadDefaults(StoredSettings& settings)
{
    settings.defaultFolder.clear();
    settings.singleInstance = true;
    settings.PosX = 0;
    settings.PosY = 0;
    settings.scanOptions = DefaultScanOptions();
    settings.saveOptions = DefaultSaveOptions();
}

// A flag keeps its value unless the key holds a number, which counts as 1
// whenever it is nonzero.
void ReadFlag(const RegistryKey& key, const std::string& name, uint8_t* flag)
{
    int32_t stored = 0;
    if (key.ReadNumber(name.c_str(), &stored))
        *flag = stored != 0 ? 1 : 0;
}

void ReadNumber(const RegistryKey& key, const std::string& name, int32_t* number)
{
    int32_t stored = 0;
    if (key.ReadNumber(name.c_str(), &stored))
        *number = stored;
}

// Writes values one after another and remembers the first one refused;
// the ones after it are still tried.
class ValueWriter {
public:
    explicit ValueWriter(const RegistryKey& key) : key_(key) {}

    void Number(const std::string& name, int32_t number) { Note(key_.WriteNumber(name.c_str(), number), name); }
    void Text(const std::string& name, std::wstring_view text) { Note(key_.WriteWideText(name.c_str(), text), name); }
    // The first refusal of another writer, unless this one has its own.
    void Take(const SettingsWrite& other)
    {
        if (result_.Saved() && !other.Saved())
            result_ = other;
    }

    const SettingsWrite& Result() const { return result_; }

private:
    void Note(bool written, const std::string& name)
    {
        if (!written && result_.Saved())
            result_ = SettingsWrite{SettingsWrite::Failure::Value, name};
    }

    const RegistryKey& key_;
    SettingsWrite result_;
};

// Creates the parent key and then the program's own; `result` names the one
// that could not be created.
RegistryKey CreateProgramKey(SettingsWrite& result)
{
    if (!RegistryKey::Create(HKEY_CURRENT_USER, kParentKey).IsOpen()) {
        result.failure = SettingsWrite::Failure::ParentKey;
        return RegistryKey();
    }
    RegistryKey key = RegistryKey::Create(HKEY_CURRENT_USER, kProgramKey);
    if (!key.IsOpen())
        result.failure = SettingsWrite::Failure::ProgramKey;
    return key;
}

}  // namespace

void LoadFilterOptions(const RegistryKey& key, const char* prefix, FilterOptions& options)
{
    const std::string p = prefix;
    ReadFlag(key, p + "LimitSize", &options.LimitSize);
    ReadNumber(key, p + "SizeLimit", &options.SizeLimit);
    ReadFlag(key, p + "LimitDepth", &options.LimitDepth);
    ReadNumber(key, p + "DepthLimit", &options.DepthLimit);
    ReadFlag(key, p + "Find", &options.Find);
    ReadFlag(key, p + "InvertFind", &options.InvertFind);
    // As UTF-16, so a text in any script comes back whole; a value an older
    // version stored as code-page text loads as well.
    std::wstring findText;
    if (key.ReadWideText((p + "FindText").c_str(), findText, kLongestFindText))
        CopyText(options.FindText, findText, static_cast<int>(std::size(options.FindText)));
}

SettingsWrite SaveFilterOptions(const RegistryKey& key, const char* prefix, FilterOptions& options)
{
    const std::string p = prefix;
    ValueWriter out(key);
    out.Number(p + "LimitSize", options.LimitSize != 0);
    out.Number(p + "SizeLimit", options.SizeLimit);
    out.Number(p + "LimitDepth", options.LimitDepth != 0);
    out.Number(p + "DepthLimit", options.DepthLimit);
    out.Number(p + "Find", options.Find != 0);
    out.Number(p + "InvertFind", options.InvertFind != 0);
    TrimText(options.FindText);
    out.Text(p + "FindText", options.FindText);
    return out.Result();
}

void LoadSettings(StoredSettings& settings)
{
    // Defaults first: whatever the key lacks, or holds in an unusable form,
    // keeps them.
    LoadDefaults(settings);
    const RegistryKey key = RegistryKey::OpenForReading(HKEY_CURRENT_USER, kProgramKey);
    if (!key.IsOpen())
        return;

    // Whole and as UTF-16; a value an older version stored loads as well.
    key.ReadWideText("DefaultFolder", settings.defaultFolder);
    int32_t mutex = 0;
    if (key.ReadNumber("GlobalMutex", &mutex))
        settings.singleInstance = mutex != 0;
    ReadNumber(key, "PosX", &settings.PosX);
    ReadNumber(key, "PosY", &settings.PosY);

    LoadFilterOptions(key, "", settings.scanOptions);
    ReadFlag(key, "DontCount", &settings.scanOptions.DontCount);
    ReadFlag(key, "MeasureOnDisk", &settings.scanOptions.MeasureOnDisk);
    LoadFilterOptions(key, "SO", settings.saveOptions);
}

SettingsWrite SaveSettings(StoredSettings& settings, HWND mainWindow)
{
    SettingsWrite created;
    const RegistryKey key = CreateProgramKey(created);
    if (!key.IsOpen())
        return created;

    ValueWriter out(key);
    // The live fields themselves are tidied, not copies.
    TrimText(settings.defaultFolder);
    AddBackslash(settings.defaultFolder);
    out.Text("DefaultFolder", settings.defaultFolder);
    out.Number("GlobalMutex", settings.singleInstance ? 1 : 0);

    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (mainWindow != nullptr && GetWindowPlacement(mainWindow, &placement)) {
        out.Number("PosX", placement.rcNormalPosition.left);
        out.Number("PosY", placement.rcNormalPosition.top);
    }

    out.Take(SaveFilterOptions(key, "", settings.scanOptions));
    out.Number("DontCount", settings.scanOptions.DontCount != 0);
    out.Number("MeasureOnDisk", settings.scanOptions.MeasureOnDisk != 0);
    out.Take(SaveFilterOptions(key, "SO", settings.saveOptions));
    return out.Result();
}

SettingsWrite WriteVersionValue()
{
    SettingsWrite result;
    const RegistryKey key = CreateProgramKey(result);
    if (!key.IsOpen())
        return result;
    if (!key.WriteText("V", AppVersion))
        return SettingsWrite{SettingsWrite::Failure::Value, std::string("V")};
    return result;
}
