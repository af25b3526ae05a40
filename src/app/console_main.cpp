// Dunewright.com: the console program beside Dunewright.exe. A command
// prompt finds it first when the user types "Dunewright", waits for it and
// gets its exit code; Explorer and shortcuts start the window program.
#include "app/command_line.h"
#include "app/console_run.h"

int main()
{
    return RunConsole(ProgramArguments());
}
