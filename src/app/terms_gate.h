#pragma once

// True when the disclaimer for this version has been accepted (now or
// earlier); false ends the program.
bool CheckTermsAccepted();
