// "orj import" against hostile models and careless paths: each kind of fault
// on a small model made here. A refused input ends with a message naming
// the file, a non-zero status and no file written; a repaired one imports.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <assimp/scene.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "orj/core/scene/scene_reader.h"
#include "tests/support/test_support.h"
#include "importer/orj_import_files.h"
#include "importer/orj_import_guard.h"

using namespace orj;

namespace {

// A test's own folder, removed when the test ends.
struct Scratch {
    std::string path = make_temp_dir("import_hostile");
    ~Scratch() { run_shell("rm -rf '" + path + "'"); }
};

ProgramResult run_import(const std::vector<std::string> &arguments)
{
    std::vector<std::string> argv = {binary_path("app/orj"), "import"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return run_program(argv, 30);
}

std::set<std::string> files_in(const std::string &dir)
{
    std::set<std::string> names;
    DIR *listing = opendir(dir.c_str());
    for (struct dirent *entry; listing && (entry = readdir(listing));)
        if (entry->d_name[0] != '.') names.insert(entry->d_name);
    if (listing) closedir(listing);
    return names;
}

std::string collada(const std::string &scene, const std::string &library = "")
{
    return "<?xml version=\"1.0\"?>\n<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
           "<asset><up_axis>Y_UP</up_axis></asset>\n" +
           library + "<library_visual_scenes><visual_scene id=\"s\">" + scene +
           "</visual_scene></library_visual_scenes>\n"
           "<scene><instance_visual_scene url=\"#s\"/></scene>\n</COLLADA>\n";
}

// A glTF whose nodes are given, with one triangle in a buffer at buffer_uri.
std::string gltf(const std::string &nodes, const std::string &buffer_uri)
{
    return "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[" + nodes +
           "],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0}}]}],"
           "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":3,\"type\":\"VEC3\","
           "\"min\":[0,0,0],\"max\":[1,1,0]}],"
           "\"bufferViews\":[{\"buffer\":0,\"byteLength\":36}],"
           "\"buffers\":[{\"uri\":\"" +
           buffer_uri + "\",\"byteLength\":36}]}";
}

std::string triangle_bytes()
{
    const float corners[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    return std::string((const char *)corners, sizeof corners);
}

int polygons_of(const std::string &scene_path)
{
    Scene scene;
    Error error;
    if (read_scene_file(&scene, scene_path.c_str(), &error) != ERROR_NONE) return -1;
    int polygons = scene.polygon_count;
    free_scene_records(&scene);
    return polygons;
}

TEST(ImportHostile, ModelsThatWouldCrashTheReaderAreRefusedByName)
{
    Scratch scratch;
    const std::string &dir = scratch.path;
    std::string deep;
    for (int i = 0; i < 20000; i++) deep += "<node id=\"n" + std::to_string(i) + "\">";
    for (int i = 0; i < 20000; i++) deep += "</node>";
    write_file(dir + "/deep.dae", collada(deep));
    // A node that instances a library node instancing it back, and one that instances its own ancestor.
    write_file(dir + "/cycle.dae", collada("<node id=\"r\"><instance_node url=\"#a\"/></node>",
                                           "<library_nodes><node id=\"a\"><instance_node url=\"#b\"/></node>"
                                           "<node id=\"b\"><instance_node url=\"#a\"/></node></library_nodes>\n"));
    write_file(dir + "/ancestor.xml",
               collada("<node id=\"r\"><node id=\"c\"><instance_node url=\"#r\"/></node></node>"));
    ASSERT_EQ(mkfifo((dir + "/pipe.obj").c_str(), 0600), 0);  // would block the reader for ever
    for (const char *name : {"deep.dae", "cycle.dae", "ancestor.xml", "pipe.obj"}) {
        SCOPED_TRACE(name);
        ProgramResult result = run_import({dir + "/" + name, "-o", dir + "/out.orj"});
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_NE(result.err.find(dir + "/" + name + ":"), std::string::npos) << result.err;
        EXPECT_FALSE(file_exists_at(dir + "/out.orj"));
    }
}

TEST(ImportHostile, BrokenIndicesAreDroppedAndDeepTreesImport)
{
    Scratch scratch;
    const std::string &dir = scratch.path;
    write_file(dir + "/bad.ply",
               "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
               "element face 2\nproperty list uchar int vertex_indices\nend_header\n"
               "0 0 0\n1 0 0\n0 1 0\n3 0 1 99999\n3 0 1 2\n");
    ProgramResult result = run_import({dir + "/bad.ply", "-o", dir + "/bad.orj"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("1 faces naming vertices their mesh does not have dropped"), std::string::npos)
        << result.err;
    EXPECT_EQ(polygons_of(dir + "/bad.orj"), 1);

    // 5000 nodes, each the only child of the one before, the last holding the triangle.
    std::string nodes;
    for (int i = 0; i + 1 < 5000; i++) nodes += "{\"children\":[" + std::to_string(i + 1) + "]},";
    nodes += "{\"mesh\":0}";
    write_file(dir + "/deep.gltf", gltf(nodes, "deep.bin"));
    write_file(dir + "/deep.bin", triangle_bytes());
    result = run_import({dir + "/deep.gltf", "-o", dir + "/deep.orj"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(polygons_of(dir + "/deep.orj"), 1);

    // Bone weights and morph targets naming vertices the mesh lacks go too.
    aiScene scene;
    scene.mNumMeshes = 1;
    scene.mMeshes = new aiMesh *[1] { new aiMesh };
    aiMesh &mesh = *scene.mMeshes[0];
    mesh.mNumVertices = 3;
    mesh.mVertices = new aiVector3D[3];
    mesh.mNumBones = 1;
    mesh.mBones = new aiBone *[1] { new aiBone };
    mesh.mBones[0]->mNumWeights = 2;
    mesh.mBones[0]->mWeights = new aiVertexWeight[2]{{2, 1.0f}, {7, 1.0f}};
    mesh.mNumAnimMeshes = 1;
    mesh.mAnimMeshes = new aiAnimMesh *[1] { new aiAnimMesh };
    mesh.mAnimMeshes[0]->mNumVertices = 2;
    mesh.mAnimMeshes[0]->mVertices = new aiVector3D[2];
    MeshRepairs repairs;
    repair_meshes(&scene, &repairs);
    EXPECT_EQ(repairs.weights_dropped, 1);
    EXPECT_EQ(mesh.mBones[0]->mNumWeights, 1u);
    EXPECT_EQ(repairs.morphs_dropped, 1);
    EXPECT_EQ(mesh.mNumAnimMeshes, 0u);
}

TEST(ImportHostile, ReferencesStayInsideTheModelsFolder)
{
    Scratch scratch;
    const std::string &dir = scratch.path;
    std::string folder = dir + "/model";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((folder + "/maps").c_str(), 0755), 0);
    write_file(dir + "/secret.bin", triangle_bytes());
    write_file(folder + "/up.gltf", gltf("{\"mesh\":0}", "../secret.bin"));
    ProgramResult result = run_import({folder + "/up.gltf", "-o", dir + "/up.orj"});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("secret.bin' lies outside the model's folder"), std::string::npos) << result.err;
    EXPECT_FALSE(file_exists_at(dir + "/up.orj"));
    result = run_import({folder + "/up.gltf", "-o", dir + "/up.orj", "--allow-outside-refs"});
    EXPECT_EQ(result.status, 0) << result.err;

    // Texture references: inside (also by the last component of a foreign path) or refused.
    write_file(folder + "/maps/wood.png", "x");
    write_file(folder + "/model.obj", "");
    write_file(dir + "/outside.png", "x");
    ASSERT_EQ(symlink((dir + "/outside.png").c_str(), (folder + "/link.png").c_str()), 0);
    ModelFolder files;
    Error error;
    ASSERT_EQ(open_model_folder(&files, (folder + "/model.obj").c_str(), false, &error), ERROR_NONE);
    std::string path;
    EXPECT_EQ(resolve_texture_reference(&files, "maps\\wood.png", &path, &error), ERROR_NONE);
    EXPECT_EQ(path, folder + "/maps/wood.png");
    EXPECT_EQ(resolve_texture_reference(&files, "C:\\art\\maps\\wood.png", &path, &error), ERROR_CANNOT_OPEN);
    EXPECT_EQ(resolve_texture_reference(&files, "/etc/wood.png", &path, &error), ERROR_CANNOT_OPEN);
    for (const std::string &outside : {std::string("../outside.png"), dir + "/outside.png", std::string("link.png")}) {
        EXPECT_EQ(resolve_texture_reference(&files, outside, &path, &error), ERROR_CANNOT_OPEN) << outside;
        EXPECT_NE(error.message.find("outside the model's folder"), std::string::npos) << error.message;
    }
    EXPECT_EQ(resolve_texture_reference(&files, "maps", &path, &error), ERROR_CANNOT_OPEN);  // a directory
    files.allow_outside = true;
    EXPECT_EQ(resolve_texture_reference(&files, "../outside.png", &path, &error), ERROR_NONE);
}

TEST(ImportHostile, OutputsThatAreTheModelOrEachOtherAreRefused)
{
    Scratch scratch;
    const std::string &dir = scratch.path;
    std::string model = dir + "/m.gltf", original = gltf("{\"mesh\":0}", "m.bin");
    write_file(model, original);
    write_file(dir + "/m.bin", triangle_bytes());
    ASSERT_EQ(link(model.c_str(), (dir + "/hard.gltf").c_str()), 0);
    ASSERT_EQ(symlink(model.c_str(), (dir + "/soft.gltf").c_str()), 0);
    std::set<std::string> before = files_in(dir);
    const std::vector<std::vector<std::string>> collisions = {
        {model, "-o", model},
        {model, "-o", dir + "/../" + dir.substr(dir.rfind('/') + 1) + "/m.gltf"},
        {model, "-o", dir + "/hard.gltf"},
        {model, "-o", dir + "/soft.gltf"},
        {model, "-o", dir + "/s.orj", "--texture-out", model},
        {model, "-o", dir + "/s.orj", "--texture-out", dir + "/./s.orj"},
    };
    for (const std::vector<std::string> &args : collisions) {
        SCOPED_TRACE(args[2] + " " + (args.size() > 3 ? args[4] : ""));
        ProgramResult result = run_import(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find("refused"), std::string::npos) << result.err;
    }
    EXPECT_EQ(files_in(dir), before);
    EXPECT_EQ(read_file(model), original);

    // A model of no size gets no absurd scale suggestion.
    write_file(dir + "/point.obj", "v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n");
    ProgramResult result = run_import({dir + "/point.obj", "-o", dir + "/point.orj"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err.find("--scale 1e"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("lie at one point"), std::string::npos) << result.err;
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TEST_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TEST_ADDRESS_SANITIZER 1
#endif
#ifdef TEST_ADDRESS_SANITIZER
const bool SANITIZED = true;
#else
const bool SANITIZED = false;
#endif

// The fuzzer's regressions of the contained library (first byte: the
// format), each a model that crashed, looped or ran away with memory.
TEST(ImportHostile, ModelLibraryFaultsEndWithTheirCauseAndLeaveNoFile)
{
    Scratch scratch;
    const std::string &dir = scratch.path;
    const char *extensions[] = {"ply", "x", "gltf", "glb"};
    const struct {
        const char *name;
        const char *said;
    } cases[] = {
        {"binary_ply_crash", "the model library failed on"},
        {"binary_x_crash", "the model library failed on"},
        {"ascii_ply_endless_loop", "used up its 2 s of processor time (--max-cpu SECONDS raises"},
        {"binary_x_runaway_memory", "ran out of memory within its limit of 512 MB (--max-memory MB raises"},
        {"glb_chunk_length_2gb", "the binary glTF header says 4696 bytes (its first chunk 2147483648)"},
    };
    for (const auto &fault : cases) {
        SCOPED_TRACE(fault.name);
#ifdef TEST_ADDRESS_SANITIZER
        // The sanitizer's reserved address space takes no limit: nothing would stop the memory.
        if (strstr(fault.name, "memory")) continue;
#endif
        std::string bytes = read_file(source_path(std::string("fuzz/regressions/model_library/") + fault.name));
        ASSERT_FALSE(bytes.empty());
        std::string model = dir + "/model." + extensions[(unsigned char)bytes[0]];
        write_file(model, bytes.substr(1));
        ProgramResult result = run_import({model, "-o", dir + "/out.orj", "--max-cpu", "2", "--max-memory", "512"});
        EXPECT_EQ(result.status, 1) << result.err;
        // The sanitizer takes a crash itself and ends the process with its own report and status 1.
        bool sanitizer_took_it = SANITIZED && result.err.find("AddressSanitizer") != std::string::npos;
        if (!sanitizer_took_it) {
            EXPECT_NE(result.err.find(model), std::string::npos) << result.err;
            EXPECT_NE(result.err.find(fault.said), std::string::npos) << result.err;
        }
        EXPECT_EQ(files_in(dir), std::set<std::string>{model.substr(dir.size() + 1)});
        unlink(model.c_str());
    }
    // Run alone, orj-import is contained the same way.
    std::string bytes = read_file(source_path("fuzz/regressions/model_library/binary_ply_crash"));
    write_file(dir + "/crash.ply", bytes.substr(1));
    ProgramResult result = run_program({binary_path("app/orj-import"), dir + "/crash.ply", "-o", dir + "/out.orj"}, 30);
    EXPECT_EQ(result.status, 1) << result.err;
    if (!SANITIZED) {
        EXPECT_NE(result.err.find("the model library failed on " + dir + "/crash.ply: it ended with SIG"),
                  std::string::npos)
            << result.err;
    }
    EXPECT_FALSE(file_exists_at(dir + "/out.orj"));
}

// Nesting deep enough to overflow a usual stack imports within the library's own.
TEST(ImportHostile, DeeplyNestedModelsImport)
{
    Scratch scratch;
    const std::string &dir = scratch.path;
    std::string nodes;
    for (int i = 0; i + 1 < 20000; i++) nodes += "{\"children\":[" + std::to_string(i + 1) + "]},";
    write_file(dir + "/chain.gltf", gltf(nodes + "{\"mesh\":0}", "one.bin"));
    std::string extras = gltf("{\"mesh\":0}", "one.bin");
    extras.insert(extras.size() - 1, ",\"extras\":" + std::string(175000, '[') + std::string(175000, ']'));
    write_file(dir + "/extras.gltf", extras);
    write_file(dir + "/one.bin", triangle_bytes());
    std::string frames = "xof 0303txt 0032\n";
    for (int i = 0; i < 40000; i++) frames += "Frame f {\n";
    write_file(dir + "/frames.x", frames + std::string(40000 * 2, '}'));
    for (const char *name : {"chain.gltf", "extras.gltf", "frames.x"}) {
        SCOPED_TRACE(name);
        ProgramResult result = run_import({dir + "/" + name, "-o", dir + "/out.orj"});
        // The frames hold no mesh: read through, then refused for having nothing to draw.
        bool empty = std::string(name) == "frames.x";
        EXPECT_EQ(result.status, empty ? 1 : 0) << result.err;
        if (empty) {
            EXPECT_NE(result.err.find("nothing to draw"), std::string::npos) << result.err;
        }
    }
}

// Thousands of animated nodes over a long animation make a scene file the
// reader refuses: refused before the frames are sampled, with what to change.
TEST(ImportHostile, ScenesTooLargeForTheReaderAreRefusedWithTheFigures)
{
    Scratch scratch;
    const std::string &dir = scratch.path;
    std::string nodes = "{\"children\":[", channels;
    for (int i = 1; i <= 2000; i++) {
        nodes += std::to_string(i) + (i < 2000 ? "," : "]}");
        channels += std::string(i > 1 ? "," : "") + "{\"sampler\":0,\"target\":{\"node\":" + std::to_string(i) +
                    ",\"path\":\"translation\"}}";
    }
    for (int i = 1; i <= 2000; i++) nodes += ",{\"mesh\":0}";
    // Every node moves between two keys 4000 s apart: 100000 frames at 25 a second.
    std::string model =
        "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[" + nodes +
        "],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0}}]}],\"accessors\":["
        "{\"bufferView\":0,\"componentType\":5126,\"count\":3,\"type\":\"VEC3\",\"min\":[0,0,0],\"max\":[1,1,0]},"
        "{\"bufferView\":1,\"componentType\":5126,\"count\":2,\"type\":\"SCALAR\",\"min\":[0],\"max\":[4000]},"
        "{\"bufferView\":2,\"componentType\":5126,\"count\":2,\"type\":\"VEC3\"}],\"bufferViews\":["
        "{\"buffer\":0,\"byteLength\":36},{\"buffer\":0,\"byteOffset\":36,\"byteLength\":8},"
        "{\"buffer\":0,\"byteOffset\":44,\"byteLength\":24}],\"buffers\":[{\"uri\":\"anim.bin\",\"byteLength\":68}],"
        "\"animations\":[{\"samplers\":[{\"input\":1,\"output\":2}],\"channels\":[" +
        channels + "]}]}";
    write_file(dir + "/long.gltf", model);
    const float keys[8] = {0, 4000, 0, 0, 0, 1, 1, 1};
    write_file(dir + "/anim.bin", triangle_bytes() + std::string((const char *)keys, sizeof keys));
    ProgramResult result = run_import({dir + "/long.gltf", "-o", dir + "/out.orj"});
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("objects over 100000 frames make a scene file of at least"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("import fewer frames (--frames 53"), std::string::npos) << result.err;
    EXPECT_FALSE(file_exists_at(dir + "/out.orj"));
    result = run_import({dir + "/long.gltf", "-o", dir + "/out.orj", "--frames", "50"});
    EXPECT_EQ(result.status, 0) << result.err;
}

}  // namespace
