// Running a program within limits on Windows: how it ended, what it reported,
// its limits held (by the job, or by the watches where the system's jobs do
// not enforce them), and the child ended with its caller.
#include <gtest/gtest.h>
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "orj/core/base/child_process.h"
#include "orj/core/base/temporary_folder.h"

using namespace orj;

static ChildResult run_helper(const std::vector<std::string> &arguments, const ChildLimits &limits = ChildLimits())
{
    ChildCommand command;
    command.program = find_program_beside("child_helper");
    command.arguments = {"child_helper"};
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    command.limits = limits;
    command.limits.wall_seconds = limits.wall_seconds > 0 ? limits.wall_seconds : 100;
    command.report_variable = "ORJ_TEST_REPORT";
    ChildResult result;
    Error error;
    EXPECT_EQ(run_child_process(command, &result, &error), ERROR_NONE) << error.message;
    return result;
}

TEST(ChildProcessWindows, TellsHowTheChildEndedAndWhatItReported)
{
    ChildResult result = run_helper({"exit", "3"});
    EXPECT_EQ(result.end, CHILD_EXITED);
    EXPECT_EQ(result.exit_status, 3);
    EXPECT_EQ(result.report, "first\nsecond\n");

    result = run_helper({"crash"});
    EXPECT_EQ(result.end, CHILD_SIGNALLED);
    EXPECT_EQ(signal_name(result.signal), "access violation (exception 0xC0000005)");

    ChildLimits limits;
    limits.wall_seconds = 1;
    EXPECT_EQ(run_helper({"sleep"}, limits).end, CHILD_TIME_LIMIT);

    ChildCommand missing;
    missing.program = "Z:\\nonexistent\\program.exe";
    Error error;
    EXPECT_EQ(run_child_process(missing, &result, &error), ERROR_CANNOT_OPEN);
    EXPECT_NE(error.message.find("program.exe: cannot be run"), std::string::npos) << error.message;
}

TEST(ChildProcessWindows, TheChildIsHeldWithinItsLimits)
{
    ChildLimits limits;
    limits.cpu_seconds = 1;
    EXPECT_EQ(run_helper({"spin"}, limits).end, CHILD_CPU_LIMIT);

    // The job refuses the memory, or the watch ends the child.
    limits = ChildLimits();
    limits.memory_bytes = 64 << 20;
    ChildResult result = run_helper({"grow", "512"}, limits);
    EXPECT_TRUE(result.end == CHILD_MEMORY_LIMIT || (result.end == CHILD_EXITED && result.report == "refused\n"))
        << result.end << " " << result.report;

    // The work runs on the stack asked for, not on the main thread's 2 MB.
    limits = ChildLimits();
    limits.stack_bytes = 64 << 20;
    result = run_helper({"deep", "32"}, limits);
    EXPECT_EQ(result.end, CHILD_EXITED);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.report, "stack 64\n");
}

// A caller that ends, however it ends, takes its child with it.
TEST(ChildProcessWindows, TheChildEndsWithItsCaller)
{
    std::string folder;
    Error error;
    ASSERT_EQ(make_temporary_folder("orj-child-test", &folder, &error), ERROR_NONE) << error.message;
    std::string ids = folder + "\\ids.txt";
    std::wstring line = L"child_helper parent \"" + std::filesystem::u8path(ids).wstring() + L"\"";
    std::wstring helper = std::filesystem::u8path(find_program_beside("child_helper")).wstring();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION parent = {};
    ASSERT_TRUE(
        CreateProcessW(helper.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &parent));
    // Both processes write their ids once they run: the caller's, then the child's.
    unsigned long parent_id = 0, child_id = 0;
    for (int waited = 0; waited < 60000 && child_id == 0; waited += 50) {
        Sleep(50);
        std::ifstream file(ids);
        file >> parent_id >> child_id;
    }
    ASSERT_NE(child_id, 0u);
    HANDLE child = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, (DWORD)child_id);
    ASSERT_NE(child, nullptr);
    TerminateProcess(parent.hProcess, 1);
    EXPECT_EQ(WaitForSingleObject(child, 30000), WAIT_OBJECT_0);
    TerminateProcess(child, 1);
    for (HANDLE handle : {child, parent.hProcess, parent.hThread}) CloseHandle(handle);
    EXPECT_TRUE(remove_temporary_folder(folder));
}
