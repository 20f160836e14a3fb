// orj bench history: the runs kept in the history, as a list, as JSON, or
// plotted over time by gnuplot.
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/orj_bench.h"
#include "app/results_store.h"
#include "orj/core/base/command_line.h"

namespace orj {

using nlohmann::json;

static const char *history_usage =
    "usage: orj bench history [--db PATH] [--json] [--plot PNG]\n"
    "Lists the benchmark runs kept in the history, oldest first: when, the renderer, the\n"
    "options, the median polygons per second, frames per second and frame times.\n"
    "  --db PATH    the history (default: " RESULTS_DEFAULT_PLACE ")\n"
    "  --json       the runs as JSON instead (the viewer report's fields and an id)\n"
    "  --plot PNG   also draw the median polygons per second over time, one line for\n"
    "               each renderer and set of options, with each run's slowest and\n"
    "               fastest second (needs gnuplot)\n";

static std::string text_of(const json &value) { return value.is_string() ? value.get<std::string>() : std::string(); }

static double number_of(const json &run, const char *name)
{
    return run.contains(name) && run[name].is_number() ? run[name].get<double>() : 0.0;
}

// "copies 100, pace none, 1280x720, scene big.orj": what differs from a plain run.
static std::string options_text(const json &options, bool with_seconds)
{
    std::string text;
    auto add = [&text](const std::string &part) { text += (text.empty() ? "" : ", ") + part; };
    if (!options.is_object()) return text;
    if (options.value("copies", json()).is_number()) add("copies " + std::to_string(options["copies"].get<int64_t>()));
    if (options.value("ramp", json()) == "linear") add("ramp linear");
    if (options.value("pace", json()) == "none") add("pace none");
    if (options.value("fullscreen", false)) add("fullscreen");
    else if (options.value("width", json()).is_number() && options.value("height", json()).is_number() &&
             (options["width"] != 640 || options["height"] != 480))
        add(std::to_string(options["width"].get<int64_t>()) + "x" + std::to_string(options["height"].get<int64_t>()));
    if (text_of(options.value("scene", json())) != "data/fiche.orj")
        add("scene " + text_of(options.value("scene", json())));
    if (with_seconds && options.value("seconds", json()).is_number()) {
        char seconds[32];
        snprintf(seconds, sizeof seconds, "%g s", options["seconds"].get<double>());
        add(seconds);
    }
    return text;
}

static void print_runs(const json &runs)
{
    printf("%5s  %-20s  %10s  %8s  %8s  %9s  %-28s  %s\n", "id", "time (UTC)", "polygons/s", "frames/s", "frame ms",
           "frame p95", "renderer", "options");
    for (const json &run : runs) {
        printf("%5lld  %-20s  %10.0f  %8.1f  %8.2f  %9.2f  %-28.28s  %s%s\n", (long long)run["id"].get<int64_t>(),
               text_of(run["timestamp_utc"]).c_str(), number_of(run, "polygons_per_second_median"),
               number_of(run, "frames_per_second"), number_of(run, "frame_ms_median"), number_of(run, "frame_ms_p95"),
               text_of(run["renderer"]).c_str(), options_text(run["options"], true).c_str(),
               run.value("settled", false) ? "" : " (not settled)");
    }
}

// Text in gnuplot's single quotes, where only a quote needs doubling.
static std::string gnuplot_quoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// The gnuplot script: the runs as one data block for each renderer and set
// of options (time, then the median, slowest and fastest second in millions),
// then the plot.
static std::string plot_script(const json &runs, const std::string &picture)
{
    std::map<std::string, std::string> blocks;  // series: its rows
    std::vector<std::string> order;
    for (const json &run : runs) {
        std::string options = options_text(run["options"], false);
        std::string series = text_of(run["renderer"]) + (options.empty() ? "" : ": " + options);
        if (!blocks.count(series)) order.push_back(series);
        char row[200];
        snprintf(row, sizeof row, "%s %.6f %.6f %.6f\n", text_of(run["timestamp_utc"]).c_str(),
                 number_of(run, "polygons_per_second_median") / 1e6, number_of(run, "polygons_per_second_min") / 1e6,
                 number_of(run, "polygons_per_second_max") / 1e6);
        blocks[series] += row;
    }
    std::string script = "$runs << EOD\n";
    for (size_t i = 0; i < order.size(); i++) script += (i ? "\n\n" : "") + blocks[order[i]];
    script += "EOD\n"
              "set terminal pngcairo size 1000,600 noenhanced font ',10'\n"
              "set output " +
              gnuplot_quoted(picture) +
              "\n"
              "set title 'Benchmark history: median polygons per second of each run against when it ended (UTC); "
              "bars: its slowest and fastest second'\n"
              "set xdata time\n"
              "set timefmt '%Y-%m-%dT%H:%M:%SZ'\n"
              "set format x \"%m-%d\\n%H:%M:%S\"\n"
              "set ylabel 'million polygons per second'\n"
              "set yrange [0:*]\n"
              "set offsets graph 0.03, graph 0.03, graph 0.05, 0\n"
              "set grid\n"
              "set key outside below box\n"
              "plot ";
    for (size_t i = 0; i < order.size(); i++)
        script += (i ? ", " : "") + std::string("$runs index ") + std::to_string(i) +
                  " using 1:2:3:4 with yerrorlines pointtype 7 title " + gnuplot_quoted(order[i]);
    return script + "\n";
}

// Runs gnuplot on the script; the picture appears under its name only when complete.
static bool draw_plot(const json &runs, const char *picture, std::string *error)
{
    std::string temporary = std::string(picture) + ".partial.png";
#ifdef _WIN32
    FILE *gnuplot = _popen("gnuplot", "wb");
#else
    FILE *gnuplot = popen("gnuplot", "w");
#endif
    if (!gnuplot) {
        *error = "cannot run gnuplot";
        return false;
    }
    std::string script = plot_script(runs, temporary);
    fwrite(script.data(), 1, script.size(), gnuplot);
#ifdef _WIN32
    // The command interpreter's status: gnuplot's, or 1 when it is not on the PATH.
    int status = _pclose(gnuplot);
    bool drawn = status == 0, missing = false;
#else
    int status = pclose(gnuplot);
    bool drawn = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    bool missing = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 127;
#endif
    if (!drawn) {
        remove(temporary.c_str());
        *error = missing ? "gnuplot is not installed (Debian: gnuplot-nox)" : "gnuplot could not draw the picture";
        return false;
    }
    if (rename(temporary.c_str(), picture) != 0) {
        remove(temporary.c_str());
        *error = "cannot put the picture in place";
        return false;
    }
    return true;
}

int bench_history_main(int argc, char **argv)
{
    const char *db_path = nullptr, *plot_path = nullptr;
    bool as_json = false;
    CommandLine *line = command_line_create();
    command_line_text(line, "--db", &db_path, "--db needs a path");
    command_line_text(line, "--plot", &plot_path, "--plot needs a path");
    command_line_flag(line, "--json", &as_json);
    std::string message;
    OptionsResult result = command_line_parse(line, argc, argv, &message);
    command_line_destroy(line);
    int answer = command_line_answer("orj bench history", result, message, history_usage);
    if (answer >= 0) return answer;
    std::string path;
    if (db_path) path = db_path;
    else if (!default_results_path(&path)) {
        fprintf(stderr, "orj bench history: " RESULTS_PLACE_UNKNOWN ": give --db PATH\n");
        return 1;
    }
    ResultsStore store;
    Error error;
    std::string text;
    if (results_open(&store, path.c_str(), false, false, &error) == ERROR_NONE) results_read(&store, {}, &text, &error);
    results_close(&store);
    if (error.kind != ERROR_NONE) {
        fprintf(stderr, "orj bench history: %s\n", error.message.c_str());
        return 1;
    }
    json runs = json::parse(text);
    if (as_json) fputs(text.c_str(), stdout);
    else print_runs(runs);
    std::string failure;
    if (plot_path && !draw_plot(runs, plot_path, &failure)) {
        fprintf(stderr, "orj bench history: %s: %s\n", plot_path, failure.c_str());
        return 1;
    }
    return fflush(stdout) == 0 && !ferror(stdout) ? 0 : 1;
}

}  // namespace orj
