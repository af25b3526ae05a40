#include "app/terms_gate.h"

// The disclaimer gate is not built yet: every start passes.
bool CheckTermsAccepted()
{
    return true;
}
