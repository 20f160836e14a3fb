// orj bench compare: runs two set-ups of the viewer's benchmark in turn and
// says, with a 95 % confidence interval, whether the second is faster.
#include <signal.h>
#include <stdlib.h>
#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/orj_bench.h"
#include "app/results_store.h"
#include "orj/core/base/child_process.h"
#include "orj/core/base/command_line.h"
#include "orj/core/base/output_file.h"
#include "orj/core/base/signals.h"
#include "orj/core/base/temporary_folder.h"
#include "orj/core/viewer/benchmark.h"
#include "orj/core/viewer/compare.h"

#ifndef _WIN32
extern char **environ;
#endif

namespace orj {

using nlohmann::json;

static const char *compare_usage =
    "usage: orj bench compare [options] A B\n"
    "Runs the viewer's benchmark with set-ups A and B in turn (A B, B A, A B, ...) and prints\n"
    "the ratio B/A of their median polygons per second with a 95 % confidence interval and a\n"
    "verdict: faster, slower or no difference (B against A).\n"
    "A set-up is a string of environment assignments and viewer options\n"
    "(\"GALLIUM_DRIVER=softpipe\", \"--scene big.orj\", \"\" for the defaults), a results file\n"
    "(FILE.json: a viewer's --report-json or orj bench history --json), or runs kept in the\n"
    "history (\"runs:3,5,7-9\"). Stored runs are compared as two sets, not in pairs.\n"
    "  --runs N          runs of each set-up (default 6, at least 6: fewer cannot give 95 %)\n"
    "  --seconds S       seconds a run (default 5)\n"
    "  --copies N        a fixed load of N copies (default: the count settles)\n"
    "  --pace slot|none  passes paced to 40 ms slots (default) or back to back\n"
    "  --json PATH       the comparison and every run as JSON (- for standard output)\n"
    "  --db PATH         the history that runs:... names (default: the viewer's)\n"
    "  --viewer PATH     the viewer to run (default: the one beside orj)\n"
    "  --quiet           no progress lines on standard error\n"
    "A set-up's options come after compare's, so they win; it runs in this directory. Set-ups\n"
    "that start with - come after -- (orj bench compare -- \"\" --fullscreen).\n";

enum {
    COMPARE_DEFAULT_RUNS = 6
};

struct CompareOptions {
    int32_t runs;
    double seconds;
    int32_t copies;    // 0: the count settles
    const char *pace;  // null: the viewer's default
    const char *json_path;
    const char *db_path;  // null: the default history
    const char *viewer;   // null: beside this program
    bool quiet;
    std::vector<const char *> setups;
};

struct Setup {
    std::string text;
    bool stored;                           // runs read from a file or the history
    std::vector<std::string> environment;  // NAME=VALUE, for a live set-up
    std::vector<std::string> options;      // the viewer's options
    std::vector<json> runs;                // the runs' reports, in the order taken
};

// -1 to run, else the status to end with (help, version, a bad option).
static int parse_compare_options(int argc, char **argv, CompareOptions *options)
{
    *options = {COMPARE_DEFAULT_RUNS, 5.0, 0, nullptr, nullptr, nullptr, nullptr, false, {}};
    CommandLine *line = command_line_create();
    command_line_count(line, "--runs", &options->runs, COMPARE_MIN_PAIRS, COMPARE_MAX_RUNS,
                       "--runs needs a number from " + std::to_string((int)COMPARE_MIN_PAIRS) + " to " +
                           std::to_string((int)COMPARE_MAX_RUNS) + " (fewer pairs cannot give 95 %)");
    command_line_number(line, "--seconds", &options->seconds, 0.0, false, 86400.0,
                        "--seconds needs a number of seconds above 0");
    command_line_count(line, "--copies", &options->copies, 1, RAMP_MAX_COPIES,
                       "--copies needs a number of copies from 1 to " + std::to_string((int)RAMP_MAX_COPIES));
    command_line_text(line, "--pace", &options->pace, "--pace needs slot or none");
    command_line_text(line, "--json", &options->json_path, "--json needs a path");
    command_line_text(line, "--db", &options->db_path, "--db needs a path");
    command_line_text(line, "--viewer", &options->viewer, "--viewer needs a path");
    command_line_flag(line, "--quiet", &options->quiet);
    command_line_arguments(line, &options->setups);
    std::string error;
    OptionsResult result = command_line_parse(line, argc, argv, &error);
    command_line_destroy(line);
    if (result == OPTIONS_RUN && options->pace && strcmp(options->pace, "slot") != 0 &&
        strcmp(options->pace, "none") != 0) {
        result = OPTIONS_BAD;
        error = "--pace needs slot or none";
    }
    if (result == OPTIONS_RUN && options->setups.size() != 2) {
        result = OPTIONS_BAD;
        error = "give two set-ups, A and B (\"\" for the defaults; after -- when one starts with -)";
    }
    return command_line_answer("orj bench compare", result, error, compare_usage);
}

// Splits a set-up into words: blanks separate them, '...' and "..." quote,
// a backslash outside single quotes takes the next character as it is.
static bool split_words(const std::string &text, std::vector<std::string> *words, std::string *error)
{
    std::string word;
    bool in_word = false;
    char quote = 0;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < text.size()) word += text[++i];
            else word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            in_word = true;
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
            in_word = true;
        } else if (isspace((unsigned char)c)) {
            if (in_word) words->push_back(word);
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (quote) {
        *error = "a quote is not closed";
        return false;
    }
    if (in_word) words->push_back(word);
    return true;
}

static bool is_assignment(const std::string &word)
{
    size_t equals = word.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    if (isdigit((unsigned char)word[0])) return false;
    for (size_t i = 0; i < equals; i++)
        if (!isalnum((unsigned char)word[i]) && word[i] != '_') return false;
    return true;
}

// A run's id: decimal digits only.
static bool parse_id(const std::string &text, int64_t *id)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *id = strtoll(text.c_str(), nullptr, 10);
    return true;
}

// "3,5,7-9" into ids; false when malformed.
static bool parse_run_ids(const std::string &text, std::vector<int64_t> *ids)
{
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        size_t dash = item.find('-');
        int64_t first = 0, last = 0;
        if (!parse_id(item.substr(0, dash), &first)) return false;
        last = first;
        if (dash != std::string::npos && !parse_id(item.substr(dash + 1), &last)) return false;
        if (last < first || last - first >= COMPARE_MAX_RUNS) return false;
        for (int64_t id = first; id <= last; id++) ids->push_back(id);
    }
    return !ids->empty() && ids->size() <= COMPARE_MAX_RUNS;
}

// The runs of a results file or of the history.
static bool read_stored(Setup *setup, const CompareOptions *options, std::string *error)
{
    json runs;
    if (setup->text.compare(0, 5, "runs:") == 0) {
        std::vector<int64_t> ids;
        if (!parse_run_ids(setup->text.substr(5), &ids)) {
            *error = setup->text + ": give run ids as runs:3,5,7-9";
            return false;
        }
        std::string path;
        if (options->db_path) path = options->db_path;
        else if (!default_results_path(&path)) {
            *error = "no history: " RESULTS_PLACE_UNKNOWN " (give --db PATH)";
            return false;
        }
        ResultsStore store;
        Error failure;
        std::string text;
        if (results_open(&store, path.c_str(), false, false, &failure) == ERROR_NONE)
            results_read(&store, ids, &text, &failure);
        results_close(&store);
        if (failure.kind != ERROR_NONE) {
            *error = failure.message;
            return false;
        }
        runs = json::parse(text);
    } else {
        std::ifstream file(setup->text, std::ios::binary);
        runs = json::parse(file, nullptr, false);
        if (!file.is_open() || runs.is_discarded()) {
            *error = setup->text + ": cannot be read as a JSON results file";
            return false;
        }
        if (runs.is_object()) runs = json::array({runs});
    }
    for (const json &run : runs)
        if (!run.is_object() || !run.contains("polygons_per_second_median") ||
            !run["polygons_per_second_median"].is_number()) {
            *error = setup->text + ": a run without polygons_per_second_median";
            return false;
        }
    setup->runs.assign(runs.begin(), runs.end());
    return true;
}

static bool prepare_setup(Setup *setup, const CompareOptions *options, std::string *error)
{
    std::vector<std::string> words;
    if (!split_words(setup->text, &words, error)) {
        *error = "\"" + setup->text + "\": " + *error;
        return false;
    }
    setup->stored = words.size() == 1 && (words[0].compare(0, 5, "runs:") == 0 ||
                                          (words[0].size() > 5 && words[0].substr(words[0].size() - 5) == ".json"));
    if (setup->stored) {
        setup->text = words[0];
        return read_stored(setup, options, error);
    }
    size_t i = 0;
    for (; i < words.size() && is_assignment(words[i]); i++) setup->environment.push_back(words[i]);
    setup->options.assign(words.begin() + (long)i, words.end());
    return true;
}

// The viewer's arguments for one run of the set-up.
static std::vector<std::string> viewer_arguments(const CompareOptions *options, const Setup *setup,
                                                 const std::string &viewer, const std::string &report_path)
{
    char seconds[32];
    snprintf(seconds, sizeof seconds, "%g", options->seconds);
    std::vector<std::string> args = {viewer, "--seconds", seconds, "--quiet", "--no-save"};
    if (options->copies > 0) args.insert(args.end(), {"--copies", std::to_string(options->copies)});
    if (options->pace) args.insert(args.end(), {"--pace", options->pace});
    args.insert(args.end(), setup->options.begin(), setup->options.end());
    args.insert(args.end(), {"--report-json", report_path});
    return args;
}

// A run that outlasts its seconds by far has hung: it is ended.
static double run_deadline_seconds(const CompareOptions *options) { return 60.0 + 3.0 * options->seconds; }

static bool read_report(const std::string &report_path, json *report, std::string *error)
{
    std::ifstream file(report_path, std::ios::binary);
    *report = json::parse(file, nullptr, false);
    if (!report->is_object() || !(*report)["polygons_per_second_median"].is_number()) {
        *error = "the viewer's report cannot be read";
        return false;
    }
    return true;
}

#ifdef _WIN32

// Ctrl+C, which the viewer got as well: it ended its run, the comparison stops.
static int viewer_interrupted = 0;

static int stopping_signal() { return signal_ending_received() ? signal_ending_received() : viewer_interrupted; }

// Runs the viewer once with the set-up and reads its report into *report.
// Ctrl+C reaches the viewer too: it ends its run as A would, and the
// comparison stops after it.
static bool run_viewer(const CompareOptions *options, const Setup *setup, const std::string &report_path, json *report,
                       std::string *error)
{
    ChildCommand child;
    child.program = options->viewer ? options->viewer : find_program_beside("viewer");
    child.arguments = viewer_arguments(options, setup, child.program, report_path);
    child.environment = setup->environment;
    child.quiet = true;
    child.limits.wall_seconds = run_deadline_seconds(options);
    remove(report_path.c_str());
    ChildResult result;
    Error failure;
    if (run_child_process(child, &result, &failure) != ERROR_NONE) {
        *error = failure.message;
        return false;
    }
    if ((result.end == CHILD_EXITED && result.exit_status == 128 + SIGINT) ||
        (result.end == CHILD_SIGNALLED && result.signal == SIGINT))
        viewer_interrupted = SIGINT;
    if (result.end != CHILD_EXITED || result.exit_status != 0) {
        *error = result.end == CHILD_TIME_LIMIT ? "the viewer did not end in time and was stopped"
                 : result.end == CHILD_EXITED   ? "the viewer ended with status " + std::to_string(result.exit_status)
                                                : "the viewer ended with " + signal_name(result.signal);
        return false;
    }
    return read_report(report_path, report, error);
}

#else

static int stopping_signal() { return signal_ending_received(); }

// This process's environment with the set-up's assignments in place of
// variables of the same name.
static std::vector<std::string> run_environment(const Setup *setup)
{
    std::vector<std::string> environment;
    for (char **variable = environ; *variable; variable++) {
        std::string entry = *variable;
        bool replaced = false;
        for (const std::string &assignment : setup->environment)
            if (entry.compare(0, assignment.find('=') + 1, assignment, 0, assignment.find('=') + 1) == 0)
                replaced = true;
        if (!replaced) environment.push_back(entry);
    }
    environment.insert(environment.end(), setup->environment.begin(), setup->environment.end());
    return environment;
}

static std::vector<char *> pointers(std::vector<std::string> &texts)
{
    std::vector<char *> result;
    for (std::string &text : texts) result.push_back(&text[0]);
    result.push_back(nullptr);
    return result;
}

// Runs the viewer once with the set-up and reads its report into *report.
static bool run_viewer(const CompareOptions *options, const Setup *setup, const std::string &report_path, json *report,
                       std::string *error)
{
    std::string viewer = options->viewer ? options->viewer : find_program_beside("viewer");
    std::vector<std::string> args = viewer_arguments(options, setup, viewer, report_path);
    std::vector<std::string> environment = run_environment(setup);
    std::vector<char *> argv = pointers(args), envp = pointers(environment);

    remove(report_path.c_str());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int failed = posix_spawn(&pid, viewer.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        *error = "cannot run " + viewer + ": " + strerror(failed);
        return false;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(run_deadline_seconds(options));
    int status = 0;
    pid_t ended = 0;
    bool passed_on = false;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0) {
        // Asked to end: the viewer is asked too, and the comparison stops after it.
        if (signal_ending_received() != 0 && !passed_on) {
            kill(pid, signal_ending_received());
            passed_on = true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            *error = "the viewer did not end in time and was stopped";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ended < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = WIFEXITED(status) ? "the viewer ended with status " + std::to_string(WEXITSTATUS(status))
                                   : std::string("the viewer was ended by a signal");
        return false;
    }
    return read_report(report_path, report, error);
}

#endif

static double figure(const json &run, const char *name)
{
    return run.contains(name) && run[name].is_number() ? run[name].get<double>() : 0.0;
}

static void describe_run(char *line, size_t size, const json &run)
{
    snprintf(line, size, "%.0f polygons/s, %.1f frames/s, frame time median %.2f ms, p95 %.2f ms%s",
             figure(run, "polygons_per_second_median"), figure(run, "frames_per_second"),
             figure(run, "frame_ms_median"), figure(run, "frame_ms_p95"),
             run.value("settled", true) ? "" : ", not settled");
}

// Takes the live set-ups' runs: in pairs of alternating order when both are
// live, else the live one's runs one after another.
static bool take_runs(const CompareOptions *options, Setup setups[2], json *order, std::string *error)
{
    std::string folder;
    Error made;
    if (make_temporary_folder("orj-compare", &folder, &made) != ERROR_NONE) {
        *error = made.message + " (for the runs' reports)";
        return false;
    }
    std::string report_path = folder + "/report.json";
    bool both = !setups[0].stored && !setups[1].stored;
    int32_t total = both ? 2 * options->runs : (setups[0].stored && setups[1].stored ? 0 : options->runs);
    bool ok = true;
    for (int32_t run = 0; run < total && ok; run++) {
        int which = both ? compare_setup_of_run(run) : (setups[0].stored ? 1 : 0);
        if (!options->quiet)
            fprintf(stderr, "compare: run %d of %d: %c \"%s\"\n", run + 1, total, 'A' + which,
                    setups[which].text.c_str());
        json report;
        std::string failure;
        bool ran = run_viewer(options, &setups[which], report_path, &report, &failure);
        if (stopping_signal() != 0) {
            *error = "stopped";
            ok = false;
            break;
        }
        if (!ran) {
            *error = "run " + std::to_string(run + 1) + " (" + (char)('A' + which) + "): " + failure;
            ok = false;
            break;
        }
        report["setup"] = std::string(1, (char)('A' + which));
        report["pair"] = both ? run / 2 + 1 : (int32_t)setups[which].runs.size() + 1;
        setups[which].runs.push_back(report);
        order->push_back(report);
        if (!options->quiet) {
            char line[200];
            describe_run(line, sizeof line, report);
            fprintf(stderr, "compare: run %d of %d: %c: %s\n", run + 1, total, 'A' + which, line);
        }
    }
    remove_temporary_folder(folder);
    return ok;
}

static json setup_json(const Setup *setup) { return {{"setup", setup->text}, {"stored", setup->stored}}; }

static void print_result(const Setup setups[2], const RatioInterval *interval, bool paired, CompareVerdict verdict)
{
    for (int which = 0; which < 2; which++) {
        printf("%c: \"%s\"%s\n", 'A' + which, setups[which].text.c_str(), setups[which].stored ? " (stored runs)" : "");
        for (size_t i = 0; i < setups[which].runs.size(); i++) {
            char line[200];
            describe_run(line, sizeof line, setups[which].runs[i]);
            printf("  run %zu: %s\n", i + 1, line);
        }
    }
    printf("B/A %.3f, 95 %% interval %.3f to %.3f (exact confidence %.1f %%), %s\n", interval->ratio, interval->low,
           interval->high, 100.0 * interval->confidence,
           paired ? "from runs taken in pairs" : "from two sets of runs taken apart");
    printf("verdict: %s\n", verdict_name(verdict));
}

// To standard output for "-", else through the safe output writer.
static ErrorKind write_json(const char *path, const json &result, Error *error)
{
    std::string text = result.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    if (strcmp(path, "-") != 0) return write_output_file(path, text.data(), text.size(), error);
    if (fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0) return ERROR_NONE;
    return set_error(error, ERROR_CANNOT_WRITE, "standard output", 0, "cannot be written: %s", strerror(errno));
}

// A set-up of viewer options ("--scene big.orj") is one argument with a
// blank in it, which no option of compare's has, and every argument after
// "--" is a set-up: a blank put before such an argument keeps the reader
// from taking it for an option, and the set-up's words stay the same.
static std::vector<std::string> compare_arguments(int argc, char **argv)
{
    static const std::string valued = " --runs --seconds --copies --pace --json --db --viewer ";
    std::vector<std::string> texts;
    bool after_dashes = false;
    for (int i = 0; i < argc; i++) {
        std::string text = argv[i];
        bool value = i > 0 && valued.find(" " + std::string(argv[i - 1]) + " ") != std::string::npos;
        if (!after_dashes && !value && text == "--") {
            after_dashes = true;
            continue;
        }
        if (after_dashes || (!value && text.compare(0, 1, "-") == 0 && text.find_first_of(" \t") != std::string::npos))
            text.insert(0, " ");
        texts.push_back(text);
    }
    return texts;
}

// The interval and verdict of the runs taken, printed and written as asked; the exit status.
static int report_comparison(const CompareOptions *options, Setup setups[2], const json &runs)
{
    std::vector<double> a, b;
    for (const json &run : setups[0].runs) a.push_back(figure(run, "polygons_per_second_median"));
    for (const json &run : setups[1].runs) b.push_back(figure(run, "polygons_per_second_median"));
    bool paired = !setups[0].stored && !setups[1].stored;
    RatioInterval interval =
        paired ? paired_ratio_interval(a.data(), b.data(), (int32_t)a.size(), 0.95)
               : unpaired_ratio_interval(a.data(), (int32_t)a.size(), b.data(), (int32_t)b.size(), 0.95);
    if (!interval.found) {
        fprintf(stderr,
                "orj bench compare: %zu and %zu runs give no 95 %% interval (some figure is 0, or there are "
                "too few runs: stored sets need about 4 runs each)\n",
                a.size(), b.size());
        return 1;
    }
    CompareVerdict verdict = compare_verdict(&interval);
    if (!options->json_path || strcmp(options->json_path, "-") != 0) print_result(setups, &interval, paired, verdict);
    if (options->json_path) {
        json result = {
            {"a", setup_json(&setups[0])},       {"b", setup_json(&setups[1])},      {"paired", paired},
            {"ratio", interval.ratio},           {"ci_low", interval.low},           {"ci_high", interval.high},
            {"confidence", interval.confidence}, {"verdict", verdict_name(verdict)}, {"runs", runs}};
        Error error;
        if (write_json(options->json_path, result, &error) != ERROR_NONE) {
            fprintf(stderr, "orj bench compare: %s\n", error.message.c_str());
            return 1;
        }
    }
    return fflush(stdout) == 0 ? 0 : 1;
}

int bench_compare_main(int argc, char **argv)
{
    std::vector<std::string> texts = compare_arguments(argc, argv);
    std::vector<char *> args;
    for (std::string &text : texts) args.push_back(&text[0]);
    args.push_back(nullptr);
    CompareOptions options;
    int answer = parse_compare_options((int)texts.size(), args.data(), &options);
    if (answer >= 0) return answer;
    std::string error;
    Setup setups[2];
    for (int which = 0; which < 2; which++) {
        setups[which].text = options.setups[(size_t)which];
        size_t first = setups[which].text.find_first_not_of(" \t");
        setups[which].text.erase(0, first == std::string::npos ? setups[which].text.size() : first);
        setups[which].stored = false;
        if (!prepare_setup(&setups[which], &options, &error)) {
            fprintf(stderr, "orj bench compare: %s\n", error.c_str());
            return 1;
        }
    }
    json runs = json::array();  // in the order taken
    for (int which = 0; which < 2; which++)
        for (json run : setups[which].runs) {
            run["setup"] = std::string(1, (char)('A' + which));
            runs.push_back(run);
        }
    // A signal stops the comparison between runs, its temporary folder removed.
    install_signal_ending(SIGNALS_NOTE_FIRST);
    bool taken = take_runs(&options, setups, &runs, &error);
    if (stopping_signal() != 0) end_with_signal(stopping_signal());
    if (!taken) {
        fprintf(stderr, "orj bench compare: %s\n", error.c_str());
        return 1;
    }
    return report_comparison(&options, setups, runs);
}

}  // namespace orj
