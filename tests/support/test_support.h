// Helpers shared by the tests: paths, files and running the engine's programs.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include <string>
#include <vector>

// A path below the source tree or the build tree.
std::string source_path(const std::string &relative);
std::string binary_path(const std::string &relative);

// A fresh, empty directory for one test's files; removed with its contents
// when the test program ends.
std::string make_temp_dir(const std::string &tag);

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &contents);
bool file_exists_at(const std::string &path);

struct ProgramRun {
    pid_t pid;
    std::string stdout_path;
    std::string stderr_path;
};

struct ProgramSetting {
    std::string cwd;                     // empty: the test's own
    std::vector<std::string> unset_env;  // variables the program must not see
};

// Running programs (test_programs.cpp) is POSIX only: under Windows the
// programs are driven from the Linux side (tests/windows/).

// Starts a program (argv[0] is its path) with its output going to files in dir.
ProgramRun start_program(const std::vector<std::string> &argv, const std::string &dir,
                         const ProgramSetting &setting = ProgramSetting());

// Waits at most timeout_seconds; returns the exit status, or -1 after killing
// a program that did not end in time, or 128 + signal when a signal ended it.
int wait_program(const ProgramRun &run, double timeout_seconds);

struct ProgramResult {
    int status;
    std::string out;
    std::string err;
};

// start_program, wait_program and read both outputs.
ProgramResult run_program(const std::vector<std::string> &argv, double timeout_seconds,
                          const ProgramSetting &setting = ProgramSetting());

// Runs a shell command line, returning its exit status.
int run_shell(const std::string &command);

// False where there is no POSIX shell, FIFOs or symbolic links (Windows):
// tests that need them skip.
bool have_posix_shell();

// A folder on a small file system of its own (a 256 KiB tmpfs, which needs
// root), for full-disk cases: write what must survive, then fill_small_disk.
// Empty, with why in *reason, where it cannot be made; unmounted when the
// test program ends.
std::string make_small_disk(const std::string &tag, std::string *reason);
// Fills the small disk's last free byte: every write after it fails.
void fill_small_disk(const std::string &dir);

// Waits (at most timeout_seconds) until a window is mapped on the test's display.
bool wait_for_window(double timeout_seconds);

// Waits until a viewer started with --progress names its renderer on standard
// error: it has loaded everything and is about to run its first pass, so keys
// sent from then on reach the passes, not the loading. False at once when the
// viewer ends first (its standard error says why).
bool wait_until_playing(const ProgramRun &run, double timeout_seconds);

// Reads any PNG as 8-bit RGB, top row first. False when it cannot be read.
bool read_png_rgb(const char *path, int *width, int *height, std::vector<uint8_t> *rgb);

// Seconds since an arbitrary start, monotonic.
double now_seconds();
