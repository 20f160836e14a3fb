/// @file
/// The one command-line reader of every program of the engine: options as
/// "--name VALUE" or "--name=VALUE", `-h` and `--help`, `--version`, and the same
/// answers everywhere (the usage on standard output for help, "PROGRAM
/// VERSION" for --version, "PROGRAM: what was wrong" and the usage on
/// standard error, status 2, for a bad option).
///
/// @code
/// CommandLine *line = command_line_create();
/// command_line_count(line, "--frames", &frames, 1, 1000, "--frames needs a count from 1 to 1000");
/// std::string error;
/// OptionsResult result = command_line_parse(line, argc, argv, &error);
/// command_line_destroy(line);
/// int status = command_line_answer("example", result, error, usage);
/// if (status >= 0) return status;
/// @endcode
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orj {

/// What reading a command line came to.
enum OptionsResult {
    OPTIONS_RUN,      ///< the options were read: run
    OPTIONS_HELP,     ///< `-h` or `--help`: show the usage
    OPTIONS_VERSION,  ///< `--version`: show the version
    OPTIONS_BAD,      ///< an option or argument was wrong: the error says which
};

/// The options a program takes, where their values go and what to say when
/// one is wrong. Opaque; owned by its creator; the targets it is given must
/// outlive command_line_parse.
struct CommandLine;

/// A command line that takes no options yet (only `-h`, `--help` and `--version`).
/// Free it with command_line_destroy.
CommandLine *command_line_create();
/// Frees line (and nothing the targets point to).
void command_line_destroy(CommandLine *line);

/// @name Options
/// NAMES is one name or several separated by commas ("-o,--output"). Every
/// option may be given more than once: the last one counts. A value that is
/// missing or fails its check makes command_line_parse fail with ERROR. A
/// target keeps its value when its option is not given.
/// @{

/// Non-empty text; *value points into argv (which outlives the options).
void command_line_text(CommandLine *line, const char *names, const char **value, const std::string &error);
/// A whole number from low to high, in decimal digits and nothing else.
void command_line_count(CommandLine *line, const char *names, int32_t *value, int32_t low, int32_t high,
                        const std::string &error);
/// A finite number at most high and at least low (above low when low_included is false).
void command_line_number(CommandLine *line, const char *names, double *value, double low, bool low_included,
                         double high, const std::string &error);
/// Takes no value; sets *value to set_to. Several flags may share a target:
/// the last one given counts.
void command_line_flag(CommandLine *line, const char *names, int *value, int set_to);
/// Takes no value; sets *value to true.
void command_line_flag(CommandLine *line, const char *names, bool *value);
/// The arguments that are not options, in order (pointers into argv). Without
/// it, every such argument is refused.
void command_line_arguments(CommandLine *line, std::vector<const char *> *arguments);
/// @}

/// Reads argv[1..argc-1]. `--version` wins over everything, then `-h` or `--help`;
/// else OPTIONS_RUN with the targets filled, or OPTIONS_BAD with *error
/// saying what was wrong (the first bad option, then the first unknown one).
OptionsResult command_line_parse(CommandLine *line, int argc, char **argv, std::string *error);

/// What a program does with the result: OPTIONS_HELP prints usage on standard
/// output, OPTIONS_VERSION "PROGRAM VERSION", both returning 0; OPTIONS_BAD
/// prints "PROGRAM: ERROR" and the usage on standard error and returns 2 (a
/// usage with paragraphs is cut to its first, followed by where to read the
/// rest); OPTIONS_RUN returns -1: carry on.
int command_line_answer(const char *program, OptionsResult result, const std::string &error, const char *usage);

/// Parses only `-h`, `--help` and `--version` (and no other option or argument
/// when arguments is null) and answers as command_line_answer: for programs
/// whose only inputs are plain arguments.
int command_line_answer_plain(const char *program, int argc, char **argv, const char *usage,
                              std::vector<const char *> *arguments);

}  // namespace orj
