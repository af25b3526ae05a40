#pragma once

// Creates (and keeps for the life of the process) the named mutex; false
// only when another instance already holds it.
bool IsFirstInstance();
