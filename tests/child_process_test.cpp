// Running a program within limits: how it ended, what it reported, and the
// limits it got.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>

#include "orj/core/base/child_process.h"

using namespace orj;

static ChildResult run_shell(const std::string &script, const ChildLimits &limits = ChildLimits())
{
    ChildCommand command;
    command.program = "/bin/sh";
    command.arguments = {"sh", "-c", script};
    command.limits = limits;
    command.report_variable = "REPORT_FD";
    ChildResult result;
    Error error;
    EXPECT_EQ(run_child_process(command, &result, &error), ERROR_NONE) << error.message;
    return result;
}

TEST(ChildProcess, TellsHowTheChildEndedAndWhatItReported)
{
    ChildResult result = run_shell("echo first >&$REPORT_FD; echo second >&$REPORT_FD; exit 3");
    EXPECT_EQ(result.end, CHILD_EXITED);
    EXPECT_EQ(result.exit_status, 3);
    EXPECT_EQ(result.report, "first\nsecond\n");

    result = run_shell("kill -SEGV $$");
    EXPECT_EQ(result.end, CHILD_SIGNALLED);
    EXPECT_EQ(result.signal, SIGSEGV);
    EXPECT_EQ(signal_name(result.signal), "SIGSEGV");

    ChildLimits limits;
    limits.cpu_seconds = 1;
    result = run_shell("while :; do :; done", limits);
    EXPECT_EQ(result.end, CHILD_CPU_LIMIT);

    ChildCommand missing;
    missing.program = "/nonexistent/program";
    Error error;
    EXPECT_EQ(run_child_process(missing, &result, &error), ERROR_CANNOT_OPEN);
    EXPECT_NE(error.message.find("/nonexistent/program: cannot be run"), std::string::npos) << error.message;
}

TEST(ChildProcess, TheChildRunsWithinItsLimitsAndWritesNoCoreFile)
{
    ChildLimits limits;
    limits.memory_bytes = 3000LL << 20;
    limits.stack_bytes = 700LL << 20;
    limits.cpu_seconds = 50;
    ChildResult result = run_shell("echo $(ulimit -v) $(ulimit -s) $(ulimit -t) $(ulimit -c) >&$REPORT_FD", limits);
    EXPECT_EQ(result.report, std::to_string(3000 * 1024) + " " + std::to_string(700 * 1024) + " 50 0\n");
    EXPECT_GT(physical_memory_bytes(), 0);
}
