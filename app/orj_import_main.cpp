// orj-import: the model importer as a program of its own, so that the scene
// subcommands of orj start without the importer's libraries. "orj import ..."
// runs it with the same arguments; run alone it behaves the same.
#include "importer/orj_import.h"

int main(int argc, char **argv)
{
    // The importer's options follow a first argument that names the command.
    char command_name[] = "import";
    argv[0] = command_name;
    return orj_import_main(argc, argv);
}
