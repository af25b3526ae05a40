#pragma once

// The terms gate of the console program: the same acceptance file and the
// same rule as the window's gate, with no box. The file is
// "TermsAccepted.txt" in the current directory.

// True when the file's first line accepts this version (the gate's test:
// the file opens for update and its first line, trimmed, is this
// version's acceptance line).
bool ConsoleTermsAccepted();

// Writes this version's acceptance line, with no line end, as the gate
// does on Yes. False when the file could not be made or written whole.
bool RecordTermsAcceptance();
