#include "app/model_library.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "importer/orj_import_output.h"
#include "orj/core/base/child_process.h"
#include "orj/core/viewer/options.h"

namespace orj {

namespace {

const int64_t MB = 1 << 20;
// Processor time: far beyond what the largest honest models take here, and an end to endless loops.
const int64_t DEFAULT_CPU_SECONDS = 300;
// Stack: deep but honest nesting (hundreds of thousands of levels) fits; it costs only what is used.
const int64_t DEFAULT_STACK_MB = 512;

// Options of import and export that take a value: the value is not a file to name.
const char *const VALUE_OPTIONS[] = {"-o", "--output", "--texture-out", "--frames", "--fps", "--scale", "--texture"};

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

bool is_value_option(const char *arg)
{
    for (const char *option : VALUE_OPTIONS)
        if (strcmp(arg, option) == 0) return true;
    return false;
}

// Reads a limit option at argv[*i] into run; 1 taken, 0 not a limit option, -1 bad value.
int take_limit(int argc, char **argv, int *i, LibraryRun *run, std::string *error)
{
    const char *inline_value = nullptr;
    int64_t *target = nullptr, unit = 1;
    const char *name = nullptr;
    if (match_option(argv[*i], "--max-memory", &inline_value))
        target = &run->limits.memory_bytes, unit = MB, name = "--max-memory";
    else if (match_option(argv[*i], "--max-cpu", &inline_value)) target = &run->limits.cpu_seconds, name = "--max-cpu";
    else if (match_option(argv[*i], "--max-stack", &inline_value))
        target = &run->limits.stack_bytes, unit = MB, name = "--max-stack";
    if (!target) return 0;
    int32_t value = 0;
    if (!parse_count(option_value(argc, argv, i, inline_value), &value)) {
        *error = std::string(name) + " needs a whole number, 0 or more (0: no limit)";
        return -1;
    }
    *target = (int64_t)value * unit;
    return 1;
}

bool parse_run(const char *command, int argc, char **argv, LibraryRun *run, std::string *error)
{
    run->limits.memory_bytes = default_memory_bytes();
    run->limits.cpu_seconds = DEFAULT_CPU_SECONDS;
    run->limits.stack_bytes = DEFAULT_STACK_MB * MB;
    run->arguments.push_back(command);
    bool exporting = strcmp(command, "export") == 0;
    for (int i = 1; i < argc; i++) {
        int taken = take_limit(argc, argv, &i, run, error);
        if (taken < 0) return false;
        if (taken > 0) continue;
        run->arguments.push_back(argv[i]);
        if (is_value_option(argv[i]) && i + 1 < argc) {
            bool output = strcmp(argv[i], "-o") == 0 || strcmp(argv[i], "--output") == 0;
            run->arguments.push_back(argv[++i]);
            if (output && exporting) run->file = argv[i];
        } else if (argv[i][0] != '-' && !exporting && run->file.empty()) {
            run->file = argv[i];
        }
    }
#ifdef ORJ_ADDRESS_SANITIZER
    // The sanitizer reserves terabytes of address space up front: no limit can hold it.
    run->limits.memory_bytes = 0;
#endif
    return true;
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
            unlink(line.c_str() + strlen(MODEL_LIBRARY_TEMPORARY));
        if (line == MODEL_LIBRARY_OUT_OF_MEMORY) out_of_memory = true;
        start = end + 1;
    }
    return out_of_memory;
}

bool is_interruption(int signal)
{
    return signal == SIGINT || signal == SIGTERM || signal == SIGHUP || signal == SIGQUIT;
}

}  // namespace

int run_model_library(const std::string &program, const char *command, int argc, char **argv)
{
    LibraryRun run;
    std::string problem;
    if (!parse_run(command, argc, argv, &run, &problem)) {
        fprintf(stderr, "orj %s: %s\n", command, problem.c_str());
        return 2;
    }
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
        signal(result.signal, SIG_DFL);
        raise(result.signal);
        return 128 + result.signal;
    }
    if (out_of_memory)
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
