#pragma once

// The one Windows name the master file table reader uses, for the fuzz
// target built natively (scripts/fuzz.sh): as winnt.h defines it.
#define IsReparseTagNameSurrogate(tag) (((tag) & 0x20000000) != 0)
