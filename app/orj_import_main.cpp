// orj-import: the model importer and exporter as a program of their own, so
// that the scene subcommands of orj start without the importer's libraries.
// "orj import|export|formats ..." runs it with the subcommand as its first
// argument (argv[0]); run alone, it imports. Either way the work is done in
// a contained process (app/model_library.h): run alone, it starts itself as
// that process.
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "app/model_library.h"
#include "app/orj_import_command.h"
#include "importer/orj_import_output.h"
#include "orj/core/base/child_process.h"
#include "orj/core/base/signals.h"

using namespace orj;

static int run_command(const char *command, int argc, char **argv)
{
    if (strcmp(command, "export") == 0) return orj_export_main(argc, argv);
    if (strcmp(command, "formats") == 0) return orj_formats_main(argc, argv);
    return orj_import_main(argc, argv);
}

struct ContainedRun {
    const char *command;
    int argc;
    char **argv;
};

// The command's work inside the contained process.
static int run_contained(void *context)
{
    const ContainedRun *run = (const ContainedRun *)context;
    try {
        return run_command(run->command, run->argc, run->argv);
    } catch (const std::bad_alloc &) {
        // The starter set the memory limit and names it.
        report_to_starter(MODEL_LIBRARY_OUT_OF_MEMORY);
    } catch (const std::exception &failure) {
        fprintf(stderr, "orj %s: the model library failed: %s\n", run->command, failure.what());
    }
    return 1;
}

int main(int argc, char **argv)
{
    // Ends at once, removing the temporary files of outputs not yet in place;
    // while the contained process runs, the signal is passed on to it.
    install_signal_ending(SIGNALS_END_AT_ONCE);
    const char *command = strcmp(argv[0], "export") == 0    ? "export"
                          : strcmp(argv[0], "formats") == 0 ? "formats"
                                                            : "import";
    if (!model_library_contained()) return run_model_library(find_own_program(), command, argc, argv);
    ContainedRun run = {command, argc, argv};
    // Deeply nested files need the large stack the starter asked for.
    return run_within_child_limits(run_contained, &run);
}
