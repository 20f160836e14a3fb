// The command line is read by CLI11 (Debian's libcli11-dev, header-only),
// kept to this file: it splits "--name VALUE", "--name=VALUE" and the
// arguments; the checks of every value and the messages are the engine's.
#include "orj/core/base/command_line.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "orj/core/base/version.h"

namespace orj {

namespace {

enum OptionKind {
    OPTION_TEXT,
    OPTION_COUNT,
    OPTION_NUMBER,
    OPTION_FLAG_INT,
    OPTION_FLAG_BOOL
};

struct OptionTarget {
    CLI::Option *option;
    OptionKind kind;
    void *value;
    double low, high;  // counts and numbers
    bool low_included;
    int set_to;  // flags
    std::string error;
    size_t taken;  // results read so far: one for each time the option was given
};

}  // namespace

struct CommandLine {
    CLI::App app;
    CLI::Option *help;
    CLI::Option *version;
    std::deque<OptionTarget> options;  // stable addresses
    std::vector<std::string> argument_values;
    std::vector<const char *> *arguments;
};

CommandLine *command_line_create()
{
    CommandLine *line = new CommandLine();
    // The usage is each program's own text: CLI11's help formatter is not used.
    line->app.set_help_flag();
    // Unknown options and arguments are collected and refused with the engine's messages.
    line->app.allow_extras();
    // A path such as /tmp/x (the current drive's root on Windows) is an
    // argument, never a Windows-style option, which CLI11 reads there by default.
    line->app.allow_windows_style_options(false);
    line->help = line->app.add_flag("-h,--help");
    line->version = line->app.add_flag("--version");
    line->arguments = nullptr;
    return line;
}

void command_line_destroy(CommandLine *line) { delete line; }

static OptionTarget *add_target(CommandLine *line, const char *names, OptionKind kind, void *value,
                                const std::string &error)
{
    CLI::Option *option =
        kind == OPTION_FLAG_INT || kind == OPTION_FLAG_BOOL ? line->app.add_flag(names) : line->app.add_option(names);
    // A value option takes the next argument unless it is another option,
    // so that "--name" at the end or before an option is its own error.
    if (kind != OPTION_FLAG_INT && kind != OPTION_FLAG_BOOL) option->expected(0, 1);
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    line->options.push_back({option, kind, value, 0.0, 0.0, true, 0, error, 0});
    return &line->options.back();
}

void command_line_text(CommandLine *line, const char *names, const char **value, const std::string &error)
{
    add_target(line, names, OPTION_TEXT, value, error);
}

void command_line_count(CommandLine *line, const char *names, int32_t *value, int32_t low, int32_t high,
                        const std::string &error)
{
    OptionTarget *target = add_target(line, names, OPTION_COUNT, value, error);
    target->low = low;
    target->high = high;
}

void command_line_number(CommandLine *line, const char *names, double *value, double low, bool low_included,
                         double high, const std::string &error)
{
    OptionTarget *target = add_target(line, names, OPTION_NUMBER, value, error);
    target->low = low;
    target->low_included = low_included;
    target->high = high;
}

void command_line_flag(CommandLine *line, const char *names, int *value, int set_to)
{
    add_target(line, names, OPTION_FLAG_INT, value, "")->set_to = set_to;
}

void command_line_flag(CommandLine *line, const char *names, bool *value)
{
    add_target(line, names, OPTION_FLAG_BOOL, value, "");
}

void command_line_arguments(CommandLine *line, std::vector<const char *> *arguments)
{
    line->arguments = arguments;
    line->app.add_option("arguments", line->argument_values);
}

// CLI11 hands back copies of the values; the options keep pointers into
// argv instead. A value is a whole argument or its end (after "--name=" or
// "-o"), and any argument's end with the same text serves.
static const char *in_argv(int argc, char **argv, const std::string &value)
{
    for (int i = 1; i < argc; i++) {
        size_t length = strlen(argv[i]);
        if (length >= value.size() && value.compare(0, std::string::npos, argv[i] + length - value.size()) == 0)
            return argv[i] + length - value.size();
    }
    return nullptr;
}

static bool read_count(const std::string &text, double low, double high, int32_t *value)
{
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    errno = 0;
    char *end = nullptr;
    long long number = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || (double)number < low || (double)number > high) return false;
    *value = (int32_t)number;
    return true;
}

static bool read_number(const std::string &text, const OptionTarget &target, double *value)
{
    if (text.empty()) return false;
    errno = 0;
    char *end = nullptr;
    double number = strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(number) || number > target.high) return false;
    if (target.low_included ? !(number >= target.low) : !(number > target.low)) return false;
    *value = number;
    return true;
}

// Stores one value of the option; false (with *error) when it is wrong.
static bool take_value(OptionTarget *target, const std::string &text, int argc, char **argv, std::string *error)
{
    bool good = true;
    switch (target->kind) {
    case OPTION_TEXT: {
        const char *value = text.empty() ? nullptr : in_argv(argc, argv, text);
        good = value != nullptr;
        if (good) *(const char **)target->value = value;
        break;
    }
    case OPTION_COUNT:
        good = read_count(text, target->low, target->high, (int32_t *)target->value);
        break;
    case OPTION_NUMBER:
        good = read_number(text, *target, (double *)target->value);
        break;
    case OPTION_FLAG_INT:
    case OPTION_FLAG_BOOL:
        if (text != "true") {
            *error = target->option->get_name() + " takes no value";
            return false;
        }
        if (target->kind == OPTION_FLAG_INT) *(int *)target->value = target->set_to;
        else *(bool *)target->value = true;
        return true;
    }
    if (!good) *error = target->error;
    return good;
}

// The options in the order they were given, each value checked.
static bool take_options(CommandLine *line, int argc, char **argv, std::string *error)
{
    for (OptionTarget &target : line->options) target.taken = 0;
    for (CLI::Option *option : line->app.parse_order()) {
        for (OptionTarget &target : line->options) {
            if (target.option != option) continue;
            const std::vector<std::string> &results = option->results();
            std::string text = target.taken < results.size() ? results[target.taken] : std::string();
            target.taken++;
            if (!take_value(&target, text, argc, argv, error)) return false;
        }
    }
    return true;
}

OptionsResult command_line_parse(CommandLine *line, int argc, char **argv, std::string *error)
{
    error->clear();
    try {
        line->app.parse(argc, argv);
    } catch (const CLI::ParseError &failure) {
        *error = failure.what();
        return OPTIONS_BAD;
    }
    if (line->version->count() > 0) return OPTIONS_VERSION;
    if (line->help->count() > 0) return OPTIONS_HELP;
    if (!take_options(line, argc, argv, error)) return OPTIONS_BAD;
    for (const std::string &extra : line->app.remaining()) {
        bool option = extra.size() > 1 && extra[0] == '-';
        *error = (option ? "unknown option: " : "unexpected argument: ") + extra;
        return OPTIONS_BAD;
    }
    if (line->arguments) {
        line->arguments->clear();
        for (const std::string &argument : line->argument_values) {
            const char *value = in_argv(argc, argv, argument);
            if (!value) {
                *error = "unexpected argument: " + argument;
                return OPTIONS_BAD;
            }
            line->arguments->push_back(value);
        }
    }
    return OPTIONS_RUN;
}

int command_line_answer(const char *program, OptionsResult result, const std::string &error, const char *usage)
{
    switch (result) {
    case OPTIONS_RUN:
        return -1;
    case OPTIONS_HELP:
        fputs(usage, stdout);
        return 0;
    case OPTIONS_VERSION:
        printf("%s %s\n", program, ORJ_VERSION);
        return 0;
    case OPTIONS_BAD:
        break;
    }
    fprintf(stderr, "%s: %s\n", program, error.c_str());
    const char *rest = strstr(usage, "\n\n");
    if (rest && rest[2] != '\0')
        fprintf(stderr, "%.*s(%s --help tells more)\n", (int)(rest - usage + 1), usage, program);
    else fputs(usage, stderr);
    return 2;
}

int command_line_answer_plain(const char *program, int argc, char **argv, const char *usage,
                              std::vector<const char *> *arguments)
{
    CommandLine *line = command_line_create();
    if (arguments) command_line_arguments(line, arguments);
    std::string error;
    OptionsResult result = command_line_parse(line, argc, argv, &error);
    command_line_destroy(line);
    return command_line_answer(program, result, error, usage);
}

}  // namespace orj
