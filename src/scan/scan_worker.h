#pragma once

#include <windows.h>

// True while the scan worker thread has not ended.
bool ScanWorkerAlive();
// The worker thread's procedure: asks the main window to prepare the scan,
// walks the tree, sends the rows in batches and settles the status; returns 1.
DWORD WINAPI ScanWorker(void* unused);
// How many threads read folders in a scan; 0 (the default) picks it from
// the processor count.
void SetScanThreadCount(int count);
