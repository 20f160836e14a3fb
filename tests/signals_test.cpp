// How SIGINT and SIGTERM end a program: each case runs in a child process
// (a death test) that the signal ends; the parent looks at what it left.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "orj/core/base/signals.h"
#include "orj/core/base/output_file.h"
#include "tests/support/test_support.h"

using namespace orj;

namespace {

// The temporary file of an output begun, as its path; the child ends before it is committed.
std::string begin_output(const std::string &target)
{
    OutputFile output;
    Error error;
    if (output_file_begin(target.c_str(), &output, &error) != ERROR_NONE) _exit(3);
    return output.temp_path;
}

}  // namespace

TEST(SignalEnding, AtOnceRemovesTheTemporariesAndEndsWithTheSignal)
{
    std::string dir = make_temp_dir("signals-once");
    write_file(dir + "/kept.txt", "old");
    EXPECT_EXIT(
        {
            install_signal_ending(SIGNALS_END_AT_ONCE);
            std::string first = begin_output(dir + "/kept.txt");
            std::string second = begin_output(dir + "/new.txt");
            if (!file_exists_at(first) || !file_exists_at(second)) _exit(4);
            raise(SIGTERM);
            _exit(5);
        },
        testing::KilledBySignal(SIGTERM), "");
    // Only the old output is left, as it was.
    EXPECT_EQ(run_shell("test \"$(ls -A '" + dir + "')\" = kept.txt"), 0);
    EXPECT_EQ(read_file(dir + "/kept.txt"), "old");
}

TEST(SignalEnding, FirstSignalIsNotedTheSecondEndsAtOnce)
{
    std::string dir = make_temp_dir("signals-twice");
    EXPECT_EXIT(
        {
            install_signal_ending(SIGNALS_NOTE_FIRST);
            raise(SIGINT);
            if (signal_ending_received() != SIGINT) _exit(4);
            begin_output(dir + "/out.txt");
            raise(SIGTERM);
            _exit(5);
        },
        testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(run_shell("test -z \"$(ls -A '" + dir + "')\""), 0);
}

TEST(SignalEnding, TheProgramEndsWithTheNotedSignalAfterItsReport)
{
    std::string dir = make_temp_dir("signals-report");
    write_file(dir + "/kept.txt", "");
    EXPECT_EXIT(
        {
            install_signal_ending(SIGNALS_NOTE_FIRST);
            raise(SIGTERM);
            // A registered file that was forgotten is the program's to keep.
            forget_temporary_file(register_temporary_file((dir + "/kept.txt").c_str()));
            begin_output(dir + "/out.txt");
            fprintf(stderr, "the report\n");
            end_with_signal(signal_ending_received());
        },
        testing::KilledBySignal(SIGTERM), "the report");
    EXPECT_EQ(run_shell("test \"$(ls -A '" + dir + "')\" = kept.txt"), 0);
}
