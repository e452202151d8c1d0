#include <windows.h>

#include "run/run_log.h"

// Placeholder entry point until start-up lands.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
