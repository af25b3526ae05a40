#pragma once

// Go: guards, Scan Options, then the worker thread.
void StartScan();
// Stop: asks, then waits for the worker while pumping messages.
void StopScan();
