#include "app/model_library.h"

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "importer/orj_import_output.h"
#include "orj/core/base/child_process.h"
#include "orj/core/base/signals.h"

namespace orj {

namespace {

const int64_t MB = 1 << 20;
// Processor time: far beyond what the largest honest models take here, and an end to endless loops.
const int64_t DEFAULT_CPU_SECONDS = 300;
// Stack: deep but honest nesting (hundreds of thousands of levels) fits; it costs only what is used.
const int64_t DEFAULT_STACK_MB = 512;

struct LibraryRun {
    ChildLimits limits;
    std::string file;  // named in messages: the model read, or the model written
    std::vector<std::string> arguments;
};

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORJ_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORJ_ADDRESS_SANITIZER 1
#endif

// Half the machine's memory: room for the rest of a desktop.
int64_t default_memory_bytes()
{
    int64_t physical = physical_memory_bytes();
    return physical > 0 ? std::max<int64_t>(physical / 2, 1024 * MB) : 4096 * MB;
}

// A limit option's value in bytes (unit bytes a unit); the default when it was not given.
int64_t limit_bytes(int32_t given, int64_t unit, int64_t default_bytes)
{
    return given < 0 ? default_bytes : (int64_t)given * unit;
}

// Reads the limits and the file to name from the command line. The other
// options of import and export are declared only so that their values are
// not taken for the model: the command checks them all again, and when
// this reading fails the default limits stand and the command says why.
void parse_run(const char *command, int argc, char **argv, LibraryRun *run)
{
    LibraryLimitOptions given;
    const char *output = nullptr, *value = nullptr;
    bool flag = false;
    std::vector<const char *> arguments;
    CommandLine *line = command_line_create();
    command_line_library_limits(line, &given);
    command_line_text(line, "-o,--output", &output, "-o needs a path");
    command_line_text(line, "--texture-out,--frames,--fps,--scale,--texture", &value, "a value is missing");
    command_line_flag(line, "--add-camera,--no-camera,--no-lamps,--allow-outside-refs", &flag);
    command_line_arguments(line, &arguments);
    std::string error;
    bool read = command_line_parse(line, argc, argv, &error) == OPTIONS_RUN;
    command_line_destroy(line);
    if (!read) given = LibraryLimitOptions();
    run->limits.memory_bytes = limit_bytes(given.memory_mb, MB, default_memory_bytes());
    run->limits.cpu_seconds = limit_bytes(given.cpu_seconds, 1, DEFAULT_CPU_SECONDS);
    run->limits.stack_bytes = limit_bytes(given.stack_mb, MB, DEFAULT_STACK_MB * MB);
    if (read && strcmp(command, "export") == 0 && output) run->file = output;
    else if (read && strcmp(command, "import") == 0 && !arguments.empty()) run->file = arguments[0];
    for (int i = 0; i < argc; i++) run->arguments.push_back(argv[i]);
#ifdef ORJ_ADDRESS_SANITIZER
    // The sanitizer reserves terabytes of address space up front: no limit can hold it.
    run->limits.memory_bytes = 0;
#endif
}

std::string limits_text(const ChildLimits &limits)
{
    std::string text = "its limits: ";
    text += limits.memory_bytes > 0 ? std::to_string(limits.memory_bytes / MB) + " MB of memory" : "no memory limit";
    text += " (--max-memory MB), ";
    text += limits.stack_bytes > 0 ? std::to_string(limits.stack_bytes / MB) + " MB of stack" : "the usual stack";
    text += " (--max-stack MB), ";
    text += limits.cpu_seconds > 0 ? std::to_string(limits.cpu_seconds) + " s of processor time" : "no time limit";
    return text + " (--max-cpu SECONDS)";
}

// Removes the temporary outputs the child named; those it finished were renamed already.
bool remove_temporaries(const std::string &report)
{
    bool out_of_memory = false;
    size_t start = 0;
    while (start < report.size()) {
        size_t end = report.find('\n', start);
        if (end == std::string::npos) end = report.size();
        std::string line = report.substr(start, end - start);
        if (line.compare(0, strlen(MODEL_LIBRARY_TEMPORARY), MODEL_LIBRARY_TEMPORARY) == 0)
            remove(line.c_str() + strlen(MODEL_LIBRARY_TEMPORARY));
        if (line == MODEL_LIBRARY_OUT_OF_MEMORY) out_of_memory = true;
        start = end + 1;
    }
    return out_of_memory;
}

bool is_interruption(int signal)
{
#ifdef SIGHUP  // POSIX only: Windows has neither hang-up nor quit signals
    if (signal == SIGHUP || signal == SIGQUIT) return true;
#endif
    return signal == SIGINT || signal == SIGTERM;
}

}  // namespace

void command_line_library_limits(CommandLine *line, LibraryLimitOptions *limits)
{
    command_line_count(line, "--max-memory", &limits->memory_mb, 0, INT32_MAX,
                       "--max-memory needs a whole number, 0 or more (0: no limit)");
    command_line_count(line, "--max-cpu", &limits->cpu_seconds, 0, INT32_MAX,
                       "--max-cpu needs a whole number, 0 or more (0: no limit)");
    command_line_count(line, "--max-stack", &limits->stack_mb, 0, INT32_MAX,
                       "--max-stack needs a whole number, 0 or more (0: no limit)");
}

int run_model_library(const std::string &program, const char *command, int argc, char **argv)
{
    LibraryRun run;
    parse_run(command, argc, argv, &run);
    ChildCommand child;
    child.program = program;
    child.arguments = run.arguments;
    child.limits = run.limits;
    child.report_variable = MODEL_LIBRARY_REPORT_VARIABLE;
    ChildResult result;
    Error error;
    if (run_child_process(child, &result, &error) != ERROR_NONE) {
        fprintf(stderr, "orj %s: %s\n", command, error.message.c_str());
        return 1;
    }
    bool out_of_memory = remove_temporaries(result.report);
    std::string failed = "orj " + std::string(command) + ": the model library failed" +
                         (run.file.empty() ? std::string() : " on " + run.file) + ": ";
    if (result.end == CHILD_EXITED && !out_of_memory) return result.exit_status;
    if (result.end == CHILD_SIGNALLED && is_interruption(result.signal)) {
        fprintf(stderr, "orj %s: stopped by %s\n", command, signal_name(result.signal).c_str());
        end_with_signal(result.signal);
    }
    if (out_of_memory || result.end == CHILD_MEMORY_LIMIT)
        fprintf(stderr, "%sit ran out of memory within its limit of %lld MB (--max-memory MB raises it, 0 lifts it)\n",
                failed.c_str(), (long long)(run.limits.memory_bytes / MB));
    else if (result.end == CHILD_CPU_LIMIT)
        fprintf(stderr, "%sit used up its %lld s of processor time (--max-cpu SECONDS raises the limit, 0 lifts it)\n",
                failed.c_str(), (long long)run.limits.cpu_seconds);
    else
        fprintf(stderr, "%sit ended with %s after %.1f s, at %lld MB; %s\n", failed.c_str(),
                signal_name(result.signal).c_str(), result.cpu_seconds, (long long)(result.peak_memory_bytes / MB),
                limits_text(run.limits).c_str());
    return 1;
}

}  // namespace orj
