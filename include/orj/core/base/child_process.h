/// @file
/// Running another program in a process of its own, within limits on its
/// memory, processor time and stack, and learning how it ended: what a
/// program does to hand work to code it does not trust (a crash, an endless
/// loop or a runaway allocation there ends that process, not the caller).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orj/core/base/error.h"

namespace orj {

/// What a child may use; 0 in any field lifts that limit.
struct ChildLimits {
    /// Memory the child may take: on POSIX the address space it may map, on
    /// Windows the memory it may commit.
    int64_t memory_bytes = 0;
    int64_t cpu_seconds = 0;  ///< processor time it may use
    /// The stack of the child's work (see run_within_child_limits); 0: the
    /// system's usual stack.
    int64_t stack_bytes = 0;
    double wall_seconds = 0;  ///< time from its start after which it is ended
};

/// A program to run and how: filled in by the caller, read by
/// run_child_process.
struct ChildCommand {
    std::string program;                 ///< the program file to run
    std::vector<std::string> arguments;  ///< its argv, argv[0] included; empty: program alone
    ChildLimits limits;                  ///< what the child may use
    /// When not empty: the child finds in this environment variable the
    /// number of a descriptor (on Windows a handle) it may write lines to
    /// (child_report_line); they end up in ChildResult::report.
    std::string report_variable;
    /// NAME=VALUE assignments: the child's environment has these in place of
    /// the caller's variables of the same names.
    std::vector<std::string> environment;
    bool quiet = false;  ///< standard input and output on the null device; standard error stays
};

/// How a child ended.
enum ChildEnd {
    CHILD_EXITED,        ///< it exited: ChildResult::exit_status is set
    CHILD_SIGNALLED,     ///< a signal or (Windows) an exception ended it: ChildResult::signal is set
    CHILD_CPU_LIMIT,     ///< ended for going past ChildLimits::cpu_seconds
    CHILD_MEMORY_LIMIT,  ///< ended for going past ChildLimits::memory_bytes (where a refused allocation did not stop it)
    CHILD_TIME_LIMIT,    ///< ended for going past ChildLimits::wall_seconds
};

/// What run_child_process learnt of the child.
struct ChildResult {
    ChildEnd end = CHILD_EXITED;  ///< how it ended
    int exit_status = 0;          ///< its exit status, when it exited
    /// The signal that ended it; on Windows the exception code (an NTSTATUS
    /// such as 0xC0000005) of a crash, or SIGINT for an end by Ctrl+C.
    int signal = 0;
    double cpu_seconds = 0;         ///< processor time it used
    int64_t peak_memory_bytes = 0;  ///< its largest resident size
    std::string report;             ///< the lines it wrote to the report descriptor
};

/// Runs command and waits for it. The child never writes a core file. While
/// it runs, an interrupt, hang-up, quit or termination signal sent to the
/// caller is passed on to the child instead of ending the caller, so that the
/// caller can clean up after it (on Windows, Ctrl+C reaches every program of
/// the console: the caller ignores it while the child runs). POSIX sets the
/// limits on the child process itself. Windows puts the child in a job object
/// that holds its memory and processor time and ends it when the caller ends;
/// the caller also watches the child's memory and time, and the child its own
/// time (run_within_child_limits), for systems whose jobs do not enforce
/// their limits. ERROR_CANNOT_OPEN when the program cannot be started (the
/// message names it and the reason).
ErrorKind run_child_process(const ChildCommand &command, ChildResult *result, Error *error);

/// A signal's name for messages: "SIGSEGV" and the like, "signal N" for the
/// others; on Windows "access violation (exception 0xC0000005)" and the like.
std::string signal_name(int signal);

/// In a program started with a report_variable: whether the starter listens.
bool child_report_open(const char *variable);
/// In a program started with a report_variable: writes line and a newline to
/// the starter's report; nothing when it does not listen.
void child_report_line(const char *variable, const std::string &line);

/// In a program started by run_child_process: runs work(context) within the
/// limits the starter asked for and returns what work returns. POSIX sets
/// them all on the process before it starts, so work runs as it is. Windows
/// fixes a program's main stack in its file, so work runs on a thread with a
/// stack of the size asked for; and since not every system enforces a job's
/// limit on processor time, the process ends itself when it goes past it.
int run_within_child_limits(int (*work)(void *context), void *context);

/// A path that runs the running program again; empty when it cannot be told.
std::string find_own_program();
/// The program named name ("viewer": viewer.exe on Windows) in the running
/// program's folder; name itself when that folder cannot be told.
std::string find_program_beside(const char *name);

/// The machine's physical memory in bytes, 0 when unknown.
int64_t physical_memory_bytes();

}  // namespace orj
