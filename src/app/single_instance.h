#pragma once

// Creates (and keeps for the life of the process) the named mutex; false
// only when another instance already holds it.
bool IsFirstInstance();

// After IsFirstInstance said no: waits up to `ms` milliseconds for the
// instance that holds the mutex to end (a restart waits for the instance
// that started it); true once this instance holds it.
bool WaitToBeFirstInstance(unsigned long ms);
