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
#include "orj/core/base/signals.h"

using namespace orj;

static int run_command(const char *command, int argc, char **argv)
{
    if (strcmp(command, "export") == 0) return orj_export_main(argc, argv);
    if (strcmp(command, "formats") == 0) return orj_formats_main(argc, argv);
    return orj_import_main(argc, argv);
}

int main(int argc, char **argv)
{
    // Ends at once, removing the temporary files of outputs not yet in place;
    // while the contained process runs, the signal is passed on to it.
    install_signal_ending(SIGNALS_END_AT_ONCE);
    const char *command = strcmp(argv[0], "export") == 0    ? "export"
                          : strcmp(argv[0], "formats") == 0 ? "formats"
                                                            : "import";
    if (!model_library_contained()) return run_model_library("/proc/self/exe", command, argc, argv);
    try {
        return run_command(command, argc, argv);
    } catch (const std::bad_alloc &) {
        // The starter set the address-space limit and names it.
        report_to_starter(MODEL_LIBRARY_OUT_OF_MEMORY);
    } catch (const std::exception &failure) {
        fprintf(stderr, "orj %s: the model library failed: %s\n", command, failure.what());
    }
    return 1;
}
