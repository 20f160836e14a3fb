// The Windows side of test_programs.cpp: the engine's programs are driven
// from Linux there (tests/windows/), and there is no POSIX shell.
#include "tests/support/test_support.h"

#include <cstdlib>

bool have_posix_shell() { return false; }

std::string make_small_disk(const std::string &, std::string *reason)
{
    *reason = "no small disk to fill under Windows: skipped";
    return "";
}

void fill_small_disk(const std::string &) {}

int run_shell(const std::string &command) { return std::system(command.c_str()); }
