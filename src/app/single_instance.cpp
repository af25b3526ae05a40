#include "app/single_instance.h"

#include <windows.h>

namespace {

// Deliberately never closed: it marks this instance until the process ends.
HANDLE instanceMutex = nullptr;

}  // namespace

bool IsFirstInstance()
{
    instanceMutex = CreateMutexA(nullptr, TRUE, "GlobalMutexBrackenmoorWorksDunewright");
    return GetLastError() != ERROR_ALREADY_EXISTS;
}

bool WaitToBeFirstInstance(unsigned long ms)
{
    if (instanceMutex == nullptr)
        return false;
    // The other instance never lets the mutex go: it is abandoned when that
    // process ends, and then this one owns it.
    const DWORD waited = WaitForSingleObject(instanceMutex, ms);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}
