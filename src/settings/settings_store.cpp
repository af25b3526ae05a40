#include "settings/settings_store.h"

#include "app/app_state.h"

// The registry store is not built yet: every start takes the defaults and
// nothing is written.
void LoadSettings()
{
    app.defaultFolder[0] = '\0';
    app.singleInstance = true;
    app.PosX = 0;
    app.PosY = 0;
    app.scanOptions = DefaultScanOptions();
    app.saveOptions = DefaultSaveOptions();
}

void SaveSettings() {}

void WriteVersionValue() {}
