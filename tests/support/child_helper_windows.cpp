// A child for the Windows child-process test: "child_helper MODE [ARGUMENT]".
//   exit N      reports two lines and exits with N
//   crash       writes through a null pointer
//   spin        spins, within its limits, until something ends it
//   grow MB     commits memory 8 MB at a time up to MB, then waits
//   deep MB     reports its stack, then recurses, within its limits, through
//               about MB of it
//   sleep       waits for 2 minutes
//   parent FILE starts "child_helper hold FILE" within limits and waits for it
//   hold FILE   appends its process id to FILE, then waits for 2 minutes
// Windows 8 and later: GetCurrentThreadStackLimits.
#define _WIN32_WINNT 0x0602
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "orj/core/base/child_process.h"

using namespace orj;

static const char *REPORT_VARIABLE = "ORJ_TEST_REPORT";

static void append_process_id(const char *path)
{
    FILE *file = fopen(path, "a");
    if (!file) exit(10);
    fprintf(file, "%lu\n", (unsigned long)GetCurrentProcessId());
    fclose(file);
}

static int spin(void *)
{
    for (volatile unsigned long long i = 0;; i++) {
    }
    return 0;
}

// One frame takes about a kilobyte, read after the call so that it stays.
static int recurse(int depth)
{
    volatile char frame[1000];
    frame[0] = 1;
    return depth == 0 ? 0 : recurse(depth - 1) + frame[0];
}

// Reports the stack it runs on (MB reserved), then recurses.
static int deep(void *megabytes)
{
    ULONG_PTR low = 0, high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    child_report_line(REPORT_VARIABLE, "stack " + std::to_string((high - low) >> 20));
    int depth = *(int *)megabytes * 1000;
    return recurse(depth) == depth ? 0 : 1;
}

static int start_holder(const char *path)
{
    append_process_id(path);
    ChildCommand command;
    command.program = find_own_program();
    command.arguments = {"child_helper", "hold", path};
    ChildResult result;
    Error error;
    return run_child_process(command, &result, &error) == ERROR_NONE ? 0 : 11;
}

int main(int argc, char **argv)
{
    const char *mode = argc > 1 ? argv[1] : "";
    const char *argument = argc > 2 ? argv[2] : "0";
    if (strcmp(mode, "exit") == 0) {
        child_report_line(REPORT_VARIABLE, "first");
        child_report_line(REPORT_VARIABLE, "second");
        return atoi(argument);
    }
    if (strcmp(mode, "crash") == 0) {
        int *volatile nowhere = nullptr;
        *nowhere = 1;
    }
    if (strcmp(mode, "spin") == 0) return run_within_child_limits(spin, nullptr);
    if (strcmp(mode, "grow") == 0) {
        std::vector<char *> blocks;
        for (int megabytes = 0; megabytes < atoi(argument); megabytes += 8) {
            char *block = (char *)VirtualAlloc(nullptr, 8 << 20, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
            if (!block) {
                child_report_line(REPORT_VARIABLE, "refused");
                return 3;
            }
            memset(block, 1, 8 << 20);
            blocks.push_back(block);
        }
        Sleep(120000);
        return 0;
    }
    if (strcmp(mode, "deep") == 0) {
        int megabytes = atoi(argument);
        return run_within_child_limits(deep, &megabytes);
    }
    if (strcmp(mode, "sleep") == 0) Sleep(120000);
    if (strcmp(mode, "parent") == 0) return start_holder(argument);
    if (strcmp(mode, "hold") == 0) {
        append_process_id(argument);
        Sleep(120000);
    }
    return 0;
}
