#pragma once

// The NTFS test images that scripts/ntfs-images.sh makes and maps to
// drives for the tests (scripts/test.sh runs it).

#include <map>
#include <string>
#include <vector>

// The drive letter an environment variable of the images names ('\0' when
// it is not set: the images are not mounted).
char NtfsImageDrive(const char* variable);

// The entries of every folder of the image of `drive` in the order
// ntfs-3g read them from the folder's index, by the folder's path below
// the root.
std::map<std::wstring, std::vector<std::wstring>> ReadIndexOrder(wchar_t drive);
