#pragma once

#include <windows.h>

// Go: guards, Scan Options, then the worker thread.
void StartScan();
// Stop: asks, then waits for the worker while serving messages.
void StopScan();
// True while the scan worker thread has not ended.
bool ScanWorkerAlive();
// The worker thread's procedure; returns 1.
DWORD WINAPI ScanWorker(void* unused);
// How many threads read folders in a scan; 0 (the default) picks it from
// the processor count.
void SetScanThreadCount(int count);
