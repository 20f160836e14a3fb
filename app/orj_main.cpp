// orj: checks, summarises and dumps scene files without opening a window.
#include <cstdio>
#include <cstring>

#include "core/scene/scene_reader.h"
#include "app/orj_commands.h"

#ifdef ORJ_IMPORT
#include "importer/orj_import.h"
#endif

static const char *usage_text =
    "usage: orj check FILE   exit 0 when FILE is a valid scene, else print why and exit 1\n"
    "       orj info FILE    counts, polygon count, frame count and the object tree\n"
    "       orj dump FILE    the loaded records as JSON\n"
#ifdef ORJ_IMPORT
    "       orj import ...   convert a model into a scene file (orj import --help)\n"
#endif
    ;

bool orj_read_scene(const char *path, Scene *scene)
{
    Error error;
    if (read_scene_file(scene, path, &error) == ERROR_NONE) return true;
    fprintf(stderr, "%s\n", error.message.c_str());
    return false;
}

int main(int argc, char **argv)
{
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "help") == 0)) {
        fputs(usage_text, stdout);
        return 0;
    }
#ifdef ORJ_IMPORT
    if (argc >= 2 && strcmp(argv[1], "import") == 0) return orj_import_main(argc - 1, argv + 1);
#endif
    if (argc != 3) {
        fputs(usage_text, stderr);
        return 2;
    }
    const char *command = argv[1];
    const char *path = argv[2];
    bool check = strcmp(command, "check") == 0;
    bool info = strcmp(command, "info") == 0;
    bool dump = strcmp(command, "dump") == 0;
    if (!check && !info && !dump) {
        fprintf(stderr, "orj: unknown command \"%s\"\n%s", command, usage_text);
        return 2;
    }

    Scene scene;
    if (!orj_read_scene(path, &scene)) return 1;
    if (info) orj_print_info(&scene, path, stdout);
    if (dump) orj_print_dump(&scene, stdout);
    free_scene_records(&scene);
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "orj: cannot write the output\n");
        return 1;
    }
    return 0;
}
