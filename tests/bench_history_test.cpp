// The history of benchmark runs (SQLite) and orj bench: runs kept and read
// back, concurrent writers, damaged files; compare on a model machine (a
// stand-in viewer that draws at a speed its set-up gives), history as a
// list, JSON and a plot.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/results_store.h"
#include "tests/support/test_support.h"

using namespace orj;

static std::string report_text(double median, const std::string &renderer, const std::string &when)
{
    nlohmann::json report = {{"polygons_per_second_median", median},
                             {"polygons_per_second_min", median * 0.9},
                             {"polygons_per_second_max", median * 1.1},
                             {"frames_per_second", 25.0},
                             {"frame_ms_median", 2.5},
                             {"settled", true},
                             {"settled_at_seconds", 1.0},
                             {"window_samples", {median * 0.9, median * 1.1}},
                             {"renderer", renderer},
                             {"timestamp_utc", when},
                             {"options", {{"copies", nullptr}, {"scene", "data/fiche.orj"}}},
                             {"copies", 7}};
    return report.dump();
}

static void add_runs(const std::string &db, const std::vector<double> &medians, const std::string &renderer)
{
    ResultsStore store;
    Error error;
    ASSERT_EQ(results_open(&store, db.c_str(), true, true, &error), ERROR_NONE) << error.message;
    int64_t id = 0;
    for (size_t i = 0; i < medians.size(); i++) {
        std::string when = "2026-12-07T12:0" + std::to_string(i % 10) + ":00Z";
        ASSERT_EQ(results_add(&store, report_text(medians[i], renderer, when), &id, &error), ERROR_NONE)
            << error.message;
    }
    results_close(&store);
}

static nlohmann::json read_all(const std::string &db)
{
    ResultsStore store;
    Error error;
    std::string text;
    EXPECT_EQ(results_open(&store, db.c_str(), false, false, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(results_read(&store, {}, &text, &error), ERROR_NONE) << error.message;
    results_close(&store);
    return nlohmann::json::parse(text);
}

TEST(ResultsStore, KeepsRunsAndReadsThemBackWithTheReportsNames)
{
    std::string dir = make_temp_dir("history");
    std::string db = dir + "/new/folder/results.sqlite";  // folders made for the default path
    add_runs(db, {1000.0, 2000.0}, "llvmpipe");
    nlohmann::json runs = read_all(db);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1]["id"], 2);
    EXPECT_EQ(runs[1]["polygons_per_second_median"], 2000.0);
    EXPECT_EQ(runs[1]["window_samples"], nlohmann::json::array({1800.0, 2200.0}));
    EXPECT_EQ(runs[1]["settled"], true);
    EXPECT_EQ(runs[1]["copies"], 7);
    EXPECT_EQ(runs[1]["renderer"], "llvmpipe");
    EXPECT_TRUE(runs[1]["options"]["copies"].is_null());
    EXPECT_TRUE(runs[1]["frame_ms_p99"].is_null());  // not in this report

    ResultsStore store;
    Error error;
    std::string text;
    ASSERT_EQ(results_open(&store, db.c_str(), false, false, &error), ERROR_NONE);
    EXPECT_NE(results_read(&store, {1, 9}, &text, &error), ERROR_NONE);
    EXPECT_EQ(error.message, db + ": no run 9 in the history");
    results_close(&store);

    // Reading a history that is not there makes none.
    EXPECT_NE(results_open(&store, (dir + "/none.sqlite").c_str(), false, false, &error), ERROR_NONE);
    EXPECT_FALSE(file_exists_at(dir + "/none.sqlite"));
}

TEST(ResultsStore, ConcurrentWritersLoseNothing)
{
    std::string db = make_temp_dir("history") + "/results.sqlite";
    const int writers = 4, each = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < writers; w++) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ResultsStore store;
            Error error;
            int64_t id = 0;
            int failures = results_open(&store, db.c_str(), true, false, &error) != ERROR_NONE;
            for (int i = 0; i < each && !failures; i++)
                failures += results_add(&store, report_text(1000.0 * w + i, "w", "2026-12-07T12:00:00Z"), &id,
                                        &error) != ERROR_NONE;
            results_close(&store);
            _exit(failures ? 1 : 0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(read_all(db).size(), (size_t)(writers * each));
    EXPECT_EQ(run_shell("test \"$(sqlite3 '" + db + "' 'PRAGMA integrity_check')\" = ok"), 0);
}

TEST(ResultsStore, DamagedOrUnreachableFilesAreReported)
{
    std::string dir = make_temp_dir("history");
    std::string damaged = dir + "/damaged.sqlite";
    write_file(damaged, std::string(4096, 'x'));
    ResultsStore store;
    Error error;
    EXPECT_NE(results_open(&store, damaged.c_str(), true, false, &error), ERROR_NONE);
    EXPECT_EQ(error.message, damaged + ": not a history of runs: file is not a database");
    EXPECT_EQ(read_file(damaged), std::string(4096, 'x'));  // left as it was

    write_file(dir + "/file", "");
    EXPECT_NE(results_open(&store, (dir + "/file/results.sqlite").c_str(), true, true, &error), ERROR_NONE);
    EXPECT_NE(error.message.find("cannot make its folder"), std::string::npos) << error.message;

    // A file of a later layout is refused, not rewritten.
    std::string later = dir + "/later.sqlite";
    ASSERT_EQ(run_shell("sqlite3 '" + later + "' 'PRAGMA user_version = 7'"), 0);
    EXPECT_EQ(results_open(&store, later.c_str(), true, false, &error), ERROR_UNSUPPORTED);
}

// A stand-in for the viewer: it draws FAKE_SPEED polygons a second (less a
// drift of 1 % a run and a little noise that repeats every five runs), logs
// its speed and arguments, and writes the report where --report-json says.
static const char *model_viewer =
    "#!/bin/sh\n"
    "n=$(cat \"$FAKE_LOG\" 2>/dev/null | wc -l)\n"
    "{ printf '%s' \"${FAKE_SPEED:-1000000}\"; printf '|%s' \"$@\"; echo; } >>\"$FAKE_LOG\"\n"
    "[ -n \"$FAKE_FAIL\" ] && exit 3\n"
    "while [ $# -gt 1 ]; do [ \"$1\" = --report-json ] && report=$2; shift; done\n"
    "awk -v s=\"${FAKE_SPEED:-1000000}\" -v n=\"$n\" 'BEGIN { printf \"{\\\"polygons_per_second_median\\\": %.0f, "
    "\\\"frames_per_second\\\": 25, \\\"settled\\\": true}\\n\", s * (1 - 0.01 * n) * (1 + 0.02 * ((n * 3) % 5 - 2)) "
    "}' >\"$report\"\n";

struct Bench {
    std::string dir, viewer, log;
};

static Bench make_bench()
{
    Bench bench;
    bench.dir = make_temp_dir("bench");
    bench.viewer = bench.dir + "/viewer";
    bench.log = bench.dir + "/runs.log";
    write_file(bench.viewer, model_viewer);
    run_shell("chmod +x '" + bench.viewer + "'");
    setenv("FAKE_LOG", bench.log.c_str(), 1);
    return bench;
}

static ProgramResult compare(const Bench &bench, const std::vector<std::string> &args)
{
    remove(bench.log.c_str());
    std::vector<std::string> argv = {binary_path("app/orj"), "bench", "compare", "--viewer", bench.viewer};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, 60);
}

static std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

TEST(BenchCompare, RunsTheSetUpsInAlternatingPairsAndJudgesTheirRatio)
{
    Bench bench = make_bench();
    std::string json_path = bench.dir + "/compare.json";
    ProgramResult r = compare(bench, {"--seconds", "2", "--copies", "9", "--json", json_path, "",
                                      "FAKE_SPEED=1500000 --scene 'my scene.orj'"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> runs = lines_of(read_file(bench.log));
    ASSERT_EQ(runs.size(), 12u);
    // A B, B A, ...; compare's options first, the set-up's after them, the report last.
    const char *order = "ABBAABBAABBA";
    for (size_t i = 0; i < runs.size(); i++)
        EXPECT_EQ(runs[i].compare(0, 8, order[i] == 'A' ? "1000000|" : "1500000|"), 0) << i << ": " << runs[i];
    EXPECT_NE(runs[1].find("|--seconds|2|--quiet|--no-save|--copies|9|--scene|my scene.orj|--report-json|"),
              std::string::npos)
        << runs[1];
    EXPECT_NE(r.out.find("verdict: faster\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("compare: run 12 of 12: A: "), std::string::npos) << r.err;
    nlohmann::json result = nlohmann::json::parse(read_file(json_path));
    EXPECT_EQ(result["verdict"], "faster");
    EXPECT_TRUE(result["paired"].get<bool>());
    EXPECT_NEAR(result["ratio"].get<double>(), 1.5, 0.05);
    EXPECT_LT(result["ci_low"].get<double>(), result["ratio"].get<double>());
    EXPECT_GT(result["ci_low"].get<double>(), 1.0);
    ASSERT_EQ(result["runs"].size(), 12u);
    EXPECT_EQ(result["runs"][1]["setup"], "B");
    EXPECT_EQ(result["runs"][1]["pair"], 1);

    // The same machine against itself, and a slower one.
    // A set-up of options alone is one argument, even right after a flag.
    r = compare(bench, {"--quiet", "--copies 3", "FAKE_SPEED=1000000 --copies 3"});
    EXPECT_NE(r.out.find("verdict: no difference\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("A: \"--copies 3\"\n"), std::string::npos) << r.out;
    EXPECT_NE(read_file(bench.log).find("|--copies|3|--report-json|"), std::string::npos);
    EXPECT_EQ(r.err, "");
    r = compare(bench, {"--runs", "7", "FAKE_SPEED=2000000", ""});
    EXPECT_NE(r.out.find("verdict: slower\n"), std::string::npos) << r.out;
    EXPECT_EQ(lines_of(read_file(bench.log)).size(), 14u);
}

TEST(BenchCompare, FailedRunsAndBadSetUpsEndTheComparison)
{
    Bench bench = make_bench();
    ProgramResult r = compare(bench, {"--quiet", "", "FAKE_FAIL=1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "orj bench compare: run 2 (B): the viewer ended with status 3\n");
    EXPECT_EQ(compare(bench, {"--runs", "5", "", ""}).status, 2);  // 5 pairs cannot give 95 %
    EXPECT_EQ(compare(bench, {"only one"}).status, 2);
    EXPECT_EQ(compare(bench, {"--quiet", "--fullscreen", ""}).status, 2);  // a lone option needs --
    r = compare(bench, {"--quiet", "--runs", "6", "--", "", "--copies=3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("B: \"--copies=3\"\n"), std::string::npos) << r.out;
    r = compare(bench, {"", "--scene 'unclosed"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "orj bench compare: \"--scene 'unclosed\": a quote is not closed\n");
    r = compare(bench, {"", bench.dir + "/missing.json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(file_exists_at(bench.log));  // nothing ran
}

TEST(BenchHistory, ListsPlotsAndComparesStoredRuns)
{
    Bench bench = make_bench();
    std::string db = bench.dir + "/results.sqlite";
    add_runs(db, {1.00e6, 1.02e6, 0.98e6, 1.01e6, 0.99e6}, "llvmpipe (LLVM 15.0.6, 256 bits)");
    add_runs(db, {0.20e6, 0.21e6, 0.19e6, 0.20e6, 0.22e6}, "softpipe");
    ProgramResult r = run_program({binary_path("app/orj"), "bench", "history", "--db", db}, 30);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_NE(lines[10].find("   10  2026-12-07T12:04:00Z      220000"), std::string::npos) << lines[10];
    r = run_program({binary_path("app/orj"), "bench", "history", "--db", db, "--json"}, 30);
    EXPECT_EQ(nlohmann::json::parse(r.out).size(), 10u);

    // Two sets taken apart: compared unpaired, without running anything.
    r = compare(bench, {"--json", "-", "runs:1-5", "runs:6,7,8-10", "--db", db});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json result = nlohmann::json::parse(r.out);
    EXPECT_EQ(result["verdict"], "slower");
    EXPECT_FALSE(result["paired"].get<bool>());
    EXPECT_NEAR(result["ratio"].get<double>(), 0.2, 0.01);
    EXPECT_FALSE(file_exists_at(bench.log));
    r = compare(bench, {"runs:1-5", "runs:11", "--db", db});
    EXPECT_EQ(r.err, "orj bench compare: " + db + ": no run 11 in the history\n");

    std::string picture = bench.dir + "/history.png";
    r = run_program({binary_path("app/orj"), "bench", "history", "--db", db, "--plot", picture}, 60);
    ASSERT_EQ(r.status, 0) << r.err;
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(read_png_rgb(picture.c_str(), &width, &height, &rgb));
    EXPECT_EQ(width, 1000);
    EXPECT_FALSE(file_exists_at(picture + ".partial.png"));

    r = run_program({binary_path("app/orj"), "bench", "history", "--db", bench.dir + "/none.sqlite"}, 30);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("none.sqlite: no history of runs can be read here"), std::string::npos) << r.err;
}
