// Running another program in a process of its own, within limits on its
// memory, processor time and stack, and learning how it ended: what a
// program does to hand work to code it does not trust (a crash, an endless
// loop or a runaway allocation there ends that process, not the caller).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orj/core/base/error.h"

namespace orj {

struct ChildLimits {
    int64_t memory_bytes = 0;  // address space the child may map; 0: no limit
    int64_t cpu_seconds = 0;   // processor time; 0: no limit
    int64_t stack_bytes = 0;   // the child's main stack; 0: as the caller's
};

struct ChildCommand {
    std::string program;                 // the program file to run
    std::vector<std::string> arguments;  // argv, argv[0] included
    ChildLimits limits;
    // When not empty: the child finds in this environment variable the number
    // of a descriptor it may write lines to; they end up in ChildResult::report.
    std::string report_variable;
};

enum ChildEnd {
    CHILD_EXITED,     // exit_status is set
    CHILD_SIGNALLED,  // signal is set
    CHILD_CPU_LIMIT,  // ended for going past limits.cpu_seconds
};

struct ChildResult {
    ChildEnd end = CHILD_EXITED;
    int exit_status = 0;
    int signal = 0;
    double cpu_seconds = 0;         // processor time it used
    int64_t peak_memory_bytes = 0;  // its largest resident size
    std::string report;             // what it wrote to the report descriptor
};

// Runs command and waits for it. The child never writes a core file. While
// it runs, an interrupt, hang-up, quit or termination signal sent to the
// caller is passed on to the child instead of ending the caller, so that the
// caller can clean up after it. ERROR_CANNOT_OPEN when the program cannot be
// started (the message names it and the reason); ERROR_UNSUPPORTED where
// processes with limits are not built yet.
ErrorKind run_child_process(const ChildCommand &command, ChildResult *result, Error *error);

// "SIGSEGV" and the like, "signal N" for the others.
std::string signal_name(int signal);

// The machine's physical memory in bytes, 0 when unknown.
int64_t physical_memory_bytes();

}  // namespace orj
