// Entry point of Korvella.exe.
#include "app/app_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand)
{
    // any start-up failure ends the program quietly
    if (!StartKorvella(instance, showCommand))
        return 0;
    int exitCode = RunMessageLoop();
    EndKorvella();
    return exitCode;
}
