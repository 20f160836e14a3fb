#include "core/viewer/progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>

bool progress_wanted(int option)
{
    return option < 0 ? isatty(STDERR_FILENO) != 0 : option != 0;
}

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

void bench_progress_start(BenchProgress *progress, const char *program, bool on)
{
    progress->program = program;
    progress->on = on;
    progress->stage[0] = '\0';
    progress->stopping = false;
    if (on) progress->printer = std::thread(print_every_second, progress);
}

void bench_progress_stage(BenchProgress *progress, const char *format, ...)
{
    std::lock_guard<std::mutex> held(progress->lock);
    va_list args;
    va_start(args, format);
    vsnprintf(progress->stage, sizeof progress->stage, format, args);
    va_end(args);
}

void bench_progress_stop(BenchProgress *progress)
{
    {
        std::lock_guard<std::mutex> held(progress->lock);
        progress->stopping = true;
    }
    progress->wake.notify_all();
    if (progress->printer.joinable()) progress->printer.join();
}
