// Growth of the costs that hostile scenes can make quadratic: importing
// many nodes of one name (each needs its own numbered name) and summarising
// a scene whose objects form one long cycle that no root reaches. Each is
// timed against a reference of the same size that was always linear (nodes
// of distinct names; objects that are all roots): the ratio staying level
// from 1000 to 300000 objects shows linear growth, memory effects aside.
#include <assimp/scene.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "orj/core/base/command_line.h"
#include "app/orj_commands.h"
#include "importer/orj_import_convert.h"

using namespace orj;

static double seconds_now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A model of count nodes under one root, all named "part" or each its own
// name; the root holds one triangle (a model with nothing to draw is refused).
static aiScene *model_of(int count, bool same_names)
{
    aiScene *scene = new aiScene;
    scene->mRootNode = new aiNode("root");
    aiMesh *triangle = new aiMesh;
    triangle->mNumVertices = 3;
    triangle->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    triangle->mNumFaces = 1;
    triangle->mFaces = new aiFace[1];
    triangle->mFaces[0].mNumIndices = 3;
    triangle->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    triangle->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    scene->mNumMeshes = 1;
    scene->mMeshes = new aiMesh *[1] { triangle };
    scene->mRootNode->mNumMeshes = 1;
    scene->mRootNode->mMeshes = new unsigned[1]{0};
    std::vector<aiNode *> children;
    for (int i = 0; i < count; i++) children.push_back(new aiNode(same_names ? "part" : "part" + std::to_string(i)));
    scene->mRootNode->addChildren((unsigned)count, children.data());
    return scene;
}

// Seconds for one import of the model's records (names included).
static double time_import(int count, bool same_names)
{
    aiScene *model = model_of(count, same_names);
    ImportSettings settings;
    ImportedScene imported;
    Error error;
    double start = seconds_now();
    bool ok = convert_scene(model, settings, nullptr, &imported, &error) == ERROR_NONE;
    double seconds = seconds_now() - start;
    if (!ok) {
        fprintf(stderr, "the import failed: %s\n", error.message.c_str());
        seconds = -1;
    }
    delete model;
    return seconds;
}

// Seconds for "orj info" on count objects: in a cycle, each the parent of
// the next and the last the parent of the first, so that none is reached
// from a root; or all of them roots.
static double time_info(int count, bool cycle, FILE *sink)
{
    std::vector<SceneObject> objects(count);
    std::vector<int32_t> child(count);
    Vector3 still[1] = {{0, 0, 0}};
    for (int i = 0; i < count; i++) {
        SceneObject &object = objects[i];
        memset(&object, 0, sizeof object);
        snprintf(object.name, sizeof object.name, "o%d", i);
        snprintf(object.type_name, sizeof object.type_name, "Lamp");
        object.kind = Lamp;
        object.parent = (i + 1) % count;
        snprintf(object.parent_name, sizeof object.parent_name, "o%d", object.parent);
        child[i] = (i + count - 1) % count;
        object.children = &child[i];
        object.child_count = 1;
        if (!cycle) {
            object.parent = -1;
            object.is_root = 1;
            object.child_count = 0;
        }
        object.locations = object.rotations = object.scales = still;
    }
    Scene scene = {objects.data(), count, 1, 0};
    double start = seconds_now();
    orj_print_info(&scene, "cycle.orj", sink);
    return seconds_now() - start;
}

int main(int argc, char **argv)
{
    const char *usage = "usage: bench_import_growth [--short]\n"
                        "Measures how importing same-named nodes and orj info on unreached objects grow\n"
                        "with the object count, against linear references.\n"
                        "  --short    a short run that measures nothing reliable (for the test suite)\n"
                        "  --version  print the engine's version\n";
    bool short_run = false;
    CommandLine *line = command_line_create();
    command_line_flag(line, "--short", &short_run);
    std::string error;
    OptionsResult parsed = command_line_parse(line, argc, argv, &error);
    command_line_destroy(line);
    int status = command_line_answer("bench_import_growth", parsed, error, usage);
    if (status >= 0) return status;
    std::vector<int> sizes =
        short_run ? std::vector<int>{1000, 3000, 10000} : std::vector<int>{1000, 3000, 10000, 30000, 100000, 300000};
    FILE *sink = fopen("/dev/null", "w");
    if (!sink) return 1;
    printf("microseconds per object; x: against the linear reference of the same size\n");
    printf("%8s  %28s  %28s\n", "objects", "import: same names / distinct", "info: unreached cycle / roots");
    for (int count : sizes) {
        // Small sizes are repeated so that each measures some 0.1 s or more; the best run counts.
        int runs = std::max(1, 30000 / count);
        double same = 1e30, distinct = 1e30, cycle = 1e30, roots = 1e30;
        for (int r = 0; r < runs; r++) {
            double seconds[2] = {time_import(count, true), time_import(count, false)};
            if (seconds[0] < 0 || seconds[1] < 0) return 1;
            same = std::min(same, seconds[0]);
            distinct = std::min(distinct, seconds[1]);
            cycle = std::min(cycle, time_info(count, true, sink));
            roots = std::min(roots, time_info(count, false, sink));
        }
        double per = 1e6 / count;
        printf("%8d  %6.2f / %6.2f  x%5.2f      %6.2f / %6.2f  x%5.2f\n", count, same * per, distinct * per,
               same / distinct, cycle * per, roots * per, cycle / roots);
        fflush(stdout);
    }
    printf("linear growth keeps each x level as the count grows (a quadratic cost grows it with the count)\n");
    fclose(sink);
    return 0;
}
