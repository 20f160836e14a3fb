// orj-import: the model importer and exporter as a program of their own, so
// that the scene subcommands of orj start without the importer's libraries.
// "orj import|export|formats ..." runs it with the subcommand as its first
// argument (argv[0]); run alone, it imports.
#include <cstring>

#include "app/orj_import_command.h"
#include "orj/core/base/signals.h"

using namespace orj;

int main(int argc, char **argv)
{
    // Ends at once, removing the temporary files of outputs not yet in place.
    install_signal_ending(SIGNALS_END_AT_ONCE);
    if (strcmp(argv[0], "export") == 0) return orj_export_main(argc, argv);
    if (strcmp(argv[0], "formats") == 0) return orj_formats_main(argc, argv);
    return orj_import_main(argc, argv);
}
