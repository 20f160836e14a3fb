#include "orj/core/base/child_process.h"

#include <windows.h>

namespace orj {

// To come: CreateProcess into a job object whose limits (JOB_OBJECT_LIMIT_PROCESS_MEMORY,
// JOB_OBJECT_LIMIT_PROCESS_TIME) stand for the address-space and processor-time limits.
ErrorKind run_child_process(const ChildCommand &command, ChildResult *result, Error *error)
{
    *result = ChildResult();
    return set_error(error, ERROR_UNSUPPORTED, command.program.c_str(), 0,
                     "cannot be run: running a program within limits is not built for Windows yet");
}

std::string signal_name(int signal) { return "signal " + std::to_string(signal); }

int64_t physical_memory_bytes()
{
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? (int64_t)status.ullTotalPhys : 0;
}

}  // namespace orj
