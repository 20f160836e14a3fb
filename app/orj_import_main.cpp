// orj-import: the model importer and exporter as a program of their own, so
// that the scene subcommands of orj start without the importer's libraries.
// "orj import|export|formats ..." runs it with the subcommand as its first
// argument (argv[0]); run alone, it imports.
#include <cstring>

#include "orj/core/base/version.h"
#include "importer/orj_export.h"
#include "importer/orj_import.h"

using namespace orj;

int main(int argc, char **argv)
{
    if (print_version_if_asked(argc, argv, "orj-import")) return 0;
    if (strcmp(argv[0], "export") == 0) return orj_export_main(argc, argv);
    if (strcmp(argv[0], "formats") == 0) return orj_formats_main(argc, argv);
    // The importer's options follow a first argument that names the command.
    char command_name[] = "import";
    argv[0] = command_name;
    return orj_import_main(argc, argv);
}
