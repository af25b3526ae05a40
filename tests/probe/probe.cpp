// A one-line console program: scripts/test.sh runs the i686 one first to
// learn whether and how this machine runs 32-bit Windows programs.
//   dw_probe.exe                  prints "dunewright probe: 32-bit" (or 64-bit)
//   dw_probe.exe --hold-desktop   keeps Wine's desktop open until the server
//                                 ends: Wine closes it a second after its
//                                 last program, and starting it again takes
//                                 about 20 s under the emulator, for every
//                                 test that shows a window
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--hold-desktop") == 0) {
        if (CreateWindowExA(0, "STATIC", "dw_probe", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr) ==
            nullptr)
            return 1;
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);
        return 0;
    }
    std::printf("dunewright probe: %u-bit\n", static_cast<unsigned>(sizeof(void*) * 8));
    return 0;
}
