#include "app/app_state.h"

AppState app{};

void ResetAppState()
{
    app.mainWindow = nullptr;
    app.instance = nullptr;
    app.workerThread = nullptr;
    app.workerThreadId = 0;
    app.stopRequested = false;
    app.status = NoData;
    app.foldersAssessed = 0;
    app.filesAssessed = 0;
    app.foldersCounted = 0;
    app.scanRoot.clear();
    app.folderFieldProc = nullptr;
    app.unsavedData = false;
    app.scanFinishedAt = 0;
    app.listWindow = nullptr;
    app.sortColumn = 0;
    app.listOverflow = false;
    app.overflowWarned = false;
    app.appIcon = nullptr;
}

bool AdvanceStatus(int32_t from, int32_t to)
{
    return app.status.compare_exchange_strong(from, to);
}

int32_t StatusAtScanEnd(int32_t status, bool complete, bool stopRequested)
{
    if (status < Spin0 || status > Spin3)
        return status;
    if (!complete)
        return Stopped;
    return stopRequested ? status : Done;
}

void SettleStatusAtScanEnd(bool complete)
{
    for (;;) {
        const int32_t status = app.status;
        const int32_t settled = StatusAtScanEnd(status, complete, app.stopRequested);
        if (settled == status || AdvanceStatus(status, settled))
            return;
    }
}
