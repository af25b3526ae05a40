#include "scan/reparse_tag.h"

#include <windows.h>

bool EntersReparseFolder(uint32_t tag)
{
    return tag != 0 && !IsReparseTagNameSurrogate(tag);
}
