// Start-up: the CPU time of orj's scene subcommands on an empty scene against
// starting /bin/true (what any program costs to start), and the viewer's start
// to its first frame on the large generated scene against the sample scene.
// Runs alternate so that load from other processes falls on both alike;
// figures are medians, CPU times are user plus system of the child.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "orj/core/base/command_line.h"
#include "bench/bench_scenes.h"

using namespace orj;

extern char **environ;

struct ChildCost {
    double cpu;   // seconds of user and system time
    double wall;  // seconds from start to exit
    int status;
};

static double wall_seconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

// Runs argv with its output thrown away and measures it.
static ChildCost run_child(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (const std::string &arg : args) argv.push_back((char *)arg.c_str());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ChildCost cost = {0, 0, -1};
    double start = wall_seconds();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status;
        rusage usage;
        if (wait4(pid, &status, 0, &usage) == pid) {
            cost.wall = wall_seconds() - start;
            cost.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
                       usage.ru_stime.tv_usec * 1e-6;
            cost.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return cost;
}

static std::string beside_self(const std::string &relative)
{
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return relative;
    self[length] = '\0';
    std::string dir(self, (size_t)(strrchr(self, '/') - self));
    return dir + "/../" + relative;
}

int main(int argc, char **argv)
{
    const char *usage = "usage: bench_startup [--short]\n"
                        "Measures the start-up of orj's scene subcommands and of the viewer on a large scene.\n"
                        "  --short    a short run that measures nothing reliable (for the test suite)\n"
                        "  --version  print the engine's version\n";
    bool short_run = false;
    CommandLine *line = command_line_create();
    command_line_flag(line, "--short", &short_run);
    std::string error;
    OptionsResult parsed = command_line_parse(line, argc, argv, &error);
    command_line_destroy(line);
    int status = command_line_answer("bench_startup", parsed, error, usage);
    if (status >= 0) return status;
    int orj_runs = short_run ? 3 : 41, viewer_runs = short_run ? 1 : 5;
    std::string orj = beside_self("app/orj"), viewer = beside_self("app/viewer");
    std::string data = std::string(BENCH_SOURCE_DIR) + "/data/";

    char directory[] = "/tmp/bench-startup-XXXXXX";
    if (!mkdtemp(directory)) {
        perror("mkdtemp");
        return 1;
    }
    std::string empty_path = std::string(directory) + "/empty.orj", large_path = std::string(directory) + "/large.orj";
    std::string scene_text, obj_text;
    long long triangles;
    make_scene_texts(short_run ? SHORT_BENCH_SIZE : FULL_BENCH_SIZE, &scene_text, &obj_text, &triangles);
    if (!write_text(empty_path, " 0\n 0\n") || !write_text(large_path, scene_text)) {
        fprintf(stderr, "cannot write the benchmark files in %s\n", directory);
        return 1;
    }
    obj_text.clear();

    // orj's scene subcommands against a program that does nothing.
    const char *commands[] = {"check", "info", "dump"};
    std::vector<double> cpu[4], wall[4];
    bool failed = false;
    for (int run = 0; run < orj_runs; run++)
        for (int c = 0; c < 4; c++) {
            ChildCost cost = c == 0 ? run_child({"/bin/true"}) : run_child({orj, commands[c - 1], empty_path});
            failed |= cost.status != 0;
            cpu[c].push_back(cost.cpu);
            wall[c].push_back(cost.wall);
        }
    printf("start-up on an empty scene, medians of %d alternating runs (CPU / wall, ms):\n", orj_runs);
    printf("  /bin/true     %.2f / %.2f\n", median(cpu[0]) * 1e3, median(wall[0]) * 1e3);
    for (int c = 1; c < 4; c++)
        printf("  orj %-5s     %.2f / %.2f (target under 2 ms CPU)\n", commands[c - 1], median(cpu[c]) * 1e3,
               median(wall[c]) * 1e3);

    // The viewer to its first frame: one pass, then it ends.
    std::vector<double> sample_cpu, sample_wall, large_cpu, large_wall;
    for (int run = 0; run < viewer_runs; run++) {
        for (bool large : {false, true}) {
            ChildCost cost = run_child({viewer, "--scene", large ? large_path : data + "fiche.orj", "--texture",
                                        data + "texturarobot2.tga", "--passes", "1", "--no-save"});
            failed |= cost.status != 0;
            (large ? large_cpu : sample_cpu).push_back(cost.cpu);
            (large ? large_wall : sample_wall).push_back(cost.wall);
        }
    }
    printf("viewer start to first frame, medians of %d alternating runs (CPU / wall, s):\n", viewer_runs);
    printf("  sample scene                       %.3f / %.3f\n", median(sample_cpu), median(sample_wall));
    printf("  generated scene, %5.1f MB          %.3f / %.3f (target under 0.6 s)\n", scene_text.size() / 1e6,
           median(large_cpu), median(large_wall));
    printf("  the generated scene's extra        %.3f / %.3f\n", median(large_cpu) - median(sample_cpu),
           median(large_wall) - median(sample_wall));

    remove(empty_path.c_str());
    remove(large_path.c_str());
    rmdir(directory);
    if (failed) fprintf(stderr, "a program ended with a non-zero status\n");
    return failed ? 1 : 0;
}
