#pragma once

#include <cstdint>

// Whether a folder entry that carries a reparse point is entered. Junctions
// and symbolic links stand for another place (their tag has the
// name-surrogate bit, or is 0 where a Unix link is shown as a reparse
// point): they are measured where they point. Everything else with a
// reparse point (cloud placeholders, deduplicated and container folders)
// holds its own files and is entered.
bool EntersReparseFolder(uint32_t tag);
