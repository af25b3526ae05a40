#include "app/single_instance.h"

#include <windows.h>

bool IsFirstInstance()
{
    // Deliberately never closed: it marks this instance until the process ends.
    CreateMutexA(nullptr, TRUE, "GlobalMutexBrackenmoorWorksDunewright");
    return GetLastError() != ERROR_ALREADY_EXISTS;
}
