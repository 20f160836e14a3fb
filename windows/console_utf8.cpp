// Linked into every Windows program: the programs write UTF-8 (file names
// included, see program.manifest), so the console shows UTF-8 while one runs.
#include <windows.h>

#include <cstdlib>

static UINT console_page_before;

static void restore_console_page() { SetConsoleOutputCP(console_page_before); }

__attribute__((constructor)) static void show_console_output_as_utf8()
{
    console_page_before = GetConsoleOutputCP();
    if (console_page_before != 0 && console_page_before != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        atexit(restore_console_page);
}
