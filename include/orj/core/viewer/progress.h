/// @file
/// A line on standard error every second while a long benchmark runs: the
/// program, the seconds so far and what it is doing. A thread of its own
/// prints it, so that a step that takes long still shows.
#pragma once

namespace orj {

/// The progress printer, opaque: made by bench_progress_start and freed by
/// bench_progress_stop.
struct BenchProgress;

/// Whether a progress option asks for the lines: 1 on, 0 off, -1 on when
/// standard error is a terminal.
bool progress_wanted(int option);

/// Starts the printer when on; null when off. program must outlive it. Pair
/// with bench_progress_stop. A program that exits before stopping it leaves
/// the record to the system.
BenchProgress *bench_progress_start(const char *program, bool on);
/// What the program is doing now, printf-style; nothing when progress is null.
void bench_progress_stage(BenchProgress *progress, const char *format, ...) __attribute__((format(printf, 2, 3)));
/// Ends the printer, waiting for its thread, and frees progress; nothing when
/// it is null.
void bench_progress_stop(BenchProgress *progress);

}  // namespace orj
