#include "orj/core/viewer/progress.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>

namespace orj {

struct BenchProgress {
    const char *program;           // the name each line starts with; not owned
    std::mutex lock;               // guards stage and stopping
    std::condition_variable wake;  // wakes the printer to stop
    char stage[160];               // what the program is doing, as the lines show it
    bool stopping;                 // set when the printer is to end
    std::thread printer;           // the thread that prints the lines
};

bool progress_wanted(int option) { return option < 0 ? isatty(STDERR_FILENO) != 0 : option != 0; }

static void print_every_second(BenchProgress *progress)
{
    auto start = std::chrono::steady_clock::now();
    auto next = start + std::chrono::seconds(1);
    std::unique_lock<std::mutex> held(progress->lock);
    while (!progress->stopping) {
        if (progress->wake.wait_until(held, next) == std::cv_status::timeout && !progress->stopping) {
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            fprintf(stderr, "%s: %.0f s, %s\n", progress->program, seconds, progress->stage);
            next += std::chrono::seconds(1);
        }
    }
}

BenchProgress *bench_progress_start(const char *program, bool on)
{
    if (!on) return nullptr;
    BenchProgress *progress = new BenchProgress;
    progress->program = program;
    snprintf(progress->stage, sizeof progress->stage, "starting");
    progress->stopping = false;
    progress->printer = std::thread(print_every_second, progress);
    return progress;
}

void bench_progress_stage(BenchProgress *progress, const char *format, ...)
{
    if (!progress) return;
    std::lock_guard<std::mutex> held(progress->lock);
    va_list args;
    va_start(args, format);
    vsnprintf(progress->stage, sizeof progress->stage, format, args);
    va_end(args);
}

void bench_progress_stop(BenchProgress *progress)
{
    if (!progress) return;
    {
        std::lock_guard<std::mutex> held(progress->lock);
        progress->stopping = true;
    }
    progress->wake.notify_all();
    progress->printer.join();
    delete progress;
}

}  // namespace orj
