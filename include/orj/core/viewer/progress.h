// A line on standard error every second while a long benchmark runs: the
// program, the seconds so far and what it is doing. A thread of its own
// prints it, so that a step that takes long still shows.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace orj {

struct BenchProgress {
    const char *program;
    std::mutex lock;  // guards stage and stopping
    std::condition_variable wake;
    char stage[160];
    bool stopping;
    std::thread printer;
};

// option: 1 on, 0 off, -1 on when standard error is a terminal.
bool progress_wanted(int option);

// Starts the printer; null when off. Pair with bench_progress_stop. A
// program that exits before stopping it leaves the record to the system.
BenchProgress *bench_progress_start(const char *program, bool on);
// What the program is doing now, printf-style; nothing when progress is null.
void bench_progress_stage(BenchProgress *progress, const char *format, ...) __attribute__((format(printf, 2, 3)));
void bench_progress_stop(BenchProgress *progress);

}  // namespace orj
