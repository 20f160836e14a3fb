// save_scene and write_scene_text: locations given as the file holds them read
// back bit for bit, parent-relative ones within the rounding of the fix-up,
// everything else bit for bit; scenes built by hand read back as meant.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "orj/core/scene/scene_reader.h"
#include "orj/core/scene/scene_writer.h"
#include "tests/scene_test_files.h"
#include "tests/support/test_support.h"

using namespace orj;

namespace {

template <typename T>
bool same_bytes(const T *a, const T *b, int32_t count)
{
    if (count <= 0) return true;
    return memcmp(a, b, (size_t)count * sizeof(T)) == 0;
}

// Locations within this much of each other's scale count as equal; 0 asks
// for the same bits. Parent-relative locations are rebuilt with one rounding
// per fix-up step, a real fault misses by a whole location.
bool near_locations(const Vector3 *a, const Vector3 *b, int32_t count, float tolerance)
{
    if (tolerance == 0) return same_bytes(a, b, count);
    for (int32_t f = 0; f < count; f++)
        for (float Vector3::*c : {&Vector3::x, &Vector3::y, &Vector3::z})
            if (!(std::fabs(a[f].*c - b[f].*c) <= tolerance)) return false;
    return true;
}

// The first difference between two scenes, floats compared by their bits
// (locations to within location_tolerance); empty when there is none.
std::string scene_difference(const Scene &a, const Scene &b, float location_tolerance = 0)
{
    if (a.object_count != b.object_count || a.frame_count != b.frame_count || a.polygon_count != b.polygon_count)
        return "counts";
    for (int32_t i = 0; i < a.object_count; i++) {
        const SceneObject &x = a.objects[i], &y = b.objects[i];
        std::string object = "object " + std::to_string(i) + ": ";
        if (strcmp(x.name, y.name) || strcmp(x.type_name, y.type_name) || strcmp(x.parent_name, y.parent_name))
            return object + "names";
        if (x.kind != y.kind || x.is_root != y.is_root || x.parent != y.parent) return object + "kind or parent";
        if (x.vertex_count != y.vertex_count || x.quad_count != y.quad_count || x.triangle_count != y.triangle_count ||
            x.face_count != y.face_count || x.child_count != y.child_count)
            return object + "counts";
        if (!same_bytes(x.vertices, y.vertices, x.vertex_count) || !same_bytes(x.normals, y.normals, x.vertex_count))
            return object + "vertices";
        if (!same_bytes(x.quads, y.quads, x.quad_count) || !same_bytes(x.triangles, y.triangles, x.triangle_count))
            return object + "faces";
        if (!near_locations(x.locations, y.locations, a.frame_count, location_tolerance)) return object + "locations";
        if (!same_bytes(x.rotations, y.rotations, a.frame_count)) return object + "rotations";
        if (!same_bytes(x.scales, y.scales, a.frame_count)) return object + "scales";
        if (!same_bytes(x.children, y.children, x.child_count)) return object + "children";
    }
    return "";
}

// Ten float steps of the largest location in the scene.
float rounding_tolerance(const Scene &scene)
{
    float largest = 1;
    for (int32_t i = 0; i < scene.object_count; i++)
        for (int32_t f = 0; f < scene.frame_count; f++)
            for (float v :
                 {scene.objects[i].locations[f].x, scene.objects[i].locations[f].y, scene.objects[i].locations[f].z})
                if (std::isfinite(v)) largest = std::fmax(largest, std::fabs(v));
    return largest * 10 * FLT_EPSILON;
}

std::string written_text(const Scene &scene, LocationSpace space)
{
    std::string text;
    Error error;
    EXPECT_EQ(write_scene_text(&scene, space, &text, &error), ERROR_NONE) << error.message;
    return text;
}

struct Loaded {
    Scene scene;
    Error error;
    bool ok;
    explicit Loaded(const std::string &text)
    {
        ok = read_scene_text(&scene, text.data(), text.size(), "t.orj", &error) == ERROR_NONE;
    }
    ~Loaded() { free_scene_records(&scene); }
};

void expect_round_trip(const std::string &text)
{
    Loaded first(text);
    ASSERT_TRUE(first.ok) << first.error.message << "\n" << text;
    std::string written = written_text(first.scene, LOCATIONS_RELATIVE);
    Loaded second(written);
    ASSERT_TRUE(second.ok) << second.error.message << "\n" << written;
    EXPECT_EQ(scene_difference(first.scene, second.scene, rounding_tolerance(first.scene)), "") << written;
}

TEST(SceneWriter, WorkedExampleRoundTripsThroughAFile)
{
    Loaded first(worked_example_text());
    ASSERT_TRUE(first.ok);
    std::string path = make_temp_dir("scene-writer") + "/example.orj";
    Error error;
    ASSERT_EQ(save_scene(&first.scene, LOCATIONS_RELATIVE, path.c_str(), &error), ERROR_NONE) << error.message;
    Scene second;
    ASSERT_EQ(read_scene_file(&second, path.c_str(), &error), ERROR_NONE) << error.message;
    EXPECT_EQ(scene_difference(first.scene, second), "");
    free_scene_records(&second);
}

TEST(SceneWriter, ChainsMovingParentsAndNamesakesRoundTrip)
{
    expect_round_trip(" 3\n 2\n"
                      " B\n Lamp\n  10.1 10 10 0 0 0 1 1 1\n  20 20.7 20 0 0 0 1 1 1\n xxxxxxxxxAxx\n"
                      " R\n Lamp\n  1.3 2 3 0 0 0 1 1 1\n  7 7 7 0 0 0 1 1 1\n None\n"
                      " A\n Lamp\n  4.9 4 4 0 0 0 1 1 1\n  100 100 100 0 0 0 1 1 1\n xxxxxxxxxRxx\n");
    expect_round_trip(" 4\n 1\n"
                      " P\n Lamp\n  1.1 1 1 0 0 0 1 1 1\n None\n"
                      " C\n Lamp\n  10.3 10 10 0 0 0 1 1 1\n xxxxxxxxxPxx\n"
                      " P\n Lamp\n  2.7 3 4e-7 0 0 0 1 1 1\n None\n"
                      " D\n Lamp\n  -8e9 1e30 0.3 0 0 0 1 1 1\n xxxxxxxxxCxx\n");
}

TEST(SceneWriter, NamesEndingInCarriageReturnsAndSpacesRoundTrip)
{
    expect_round_trip(" 2\n 0\n A\r\r\n Lamp \n None\n B \n Camera\r\n xxxxxxxxxA\rxx\n");
}

// Random floats of every kind: ordinary, huge, tiny, subnormal, signed zeros,
// infinities and NaN; moderate ones are finite and within 1e4.
float random_float(std::mt19937 &random, bool moderate = false)
{
    if (moderate) {
        if (random() % 10 == 0) return random() % 2 ? 0.0f : -0.0f;
        return std::ldexp((float)((int)(random() % 2000001) - 1000000) / 999983.0f, (int)(random() % 34) - 20);
    }
    switch (random() % 10) {
    case 0: {
        uint32_t bits = (uint32_t)random();
        float value;
        memcpy(&value, &bits, sizeof value);
        return value;
    }
    case 1: {
        float special[] = {0.0f, -0.0f, INFINITY, -INFINITY, NAN, -NAN, 1e-45f, 3.4028235e38f, 3.1415f, 1.0f};
        return special[random() % 10];
    }
    case 2:
        return std::ldexp((float)(random() % 100000) / 99991.0f, (int)(random() % 80) - 40);
    default:
        return (float)((int)(random() % 20001) - 10000) / 97.0f;
    }
}

// A random scene; names repeat only with namesakes, and locations are
// moderate unless extreme_locations. The locations as written, object by
// object and frame by frame, go to file_locations.
std::string random_scene_text(std::mt19937 &random, bool namesakes, bool extreme_locations,
                              std::vector<float> *file_locations)
{
    auto real = [&](std::string *text, bool moderate = false) {
        char buffer[40];
        float value = random_float(random, moderate);
        // Some C libraries print a negative NaN without its sign.
        if (std::isnan(value)) snprintf(buffer, sizeof buffer, " %snan", std::signbit(value) ? "-" : "");
        else snprintf(buffer, sizeof buffer, " %.9g", value);
        *text += buffer;
        return value;
    };
    int object_count = (int)(random() % 7);
    int frame_count = (int)(random() % 4);
    const char *names[] = {"a", "b", "c", "d", "a ", "e", "f"};
    std::string text = " " + std::to_string(object_count) + "\n " + std::to_string(frame_count) + "\n";
    for (int i = 0; i < object_count; i++) {
        const char *name = names[namesakes ? random() % 5 : i];
        const char *types[] = {"Mesh", "Camera", "Lamp", "Thing"};
        const char *type = types[random() % 4];
        text += std::string(" ") + name + "\n " + type + "\n";
        if (strcmp(type, "Mesh") == 0) {
            int vertex_count = 1 + (int)(random() % 5), face_count = (int)(random() % 5);
            text += " " + std::to_string(vertex_count) + "\n " + std::to_string(face_count) + "\n";
            for (int v = 0; v < 2 * vertex_count; v++) {
                text += " ";
                for (int k = 0; k < 3; k++) real(&text);
                text += "\n";
            }
            std::vector<int> corners;
            for (int k = 0; k < face_count; k++) {
                int count = (int)(random() % 6);
                corners.push_back(count == 4 ? 4 : 3);
                text += std::to_string(count) + "\n ";
                for (int c = 0; c < corners.back(); c++) text += " " + std::to_string(1 + random() % vertex_count);
                text += "\n";
            }
            for (int count : corners) {
                text += " ";
                for (int k = 0; k < 2 * count; k++) real(&text);
                text += "\n";
            }
        }
        for (int f = 0; f < frame_count; f++) {
            text += " ";
            for (int k = 0; k < 9; k++) {
                float value = real(&text, k < 3 && !extreme_locations);
                if (k < 3) file_locations->push_back(value);
            }
            text += "\n";
        }
        if (random() % 3 == 0) text += " None\n";
        else text += std::string(" parent: '") + names[random() % (namesakes ? 5 : 7)] + "'.\n";
    }
    return text;
}

// Returns how many of the scenes that loaded did not read back: written with
// their locations as the file held them, bit for bit; written parent-relative,
// to within the fix-up's rounding (moderate locations only: far-off or
// non-finite parents lose a child's location in the sum).
int random_round_trip_failures(bool namesakes, bool extreme_locations, LocationSpace space, std::string *first_failure)
{
    std::mt19937 random(12345);
    int round_trips = 0, failures = 0;
    for (int n = 0; n < 3000; n++) {
        std::vector<float> file_locations;
        std::string text = random_scene_text(random, namesakes, extreme_locations, &file_locations);
        Loaded first(text);
        // Random hierarchies may hold cycles the reader rejects.
        if (!first.ok) continue;
        round_trips++;
        std::string written;
        float tolerance = 0;
        if (space == LOCATIONS_AS_IN_FILE) {
            Loaded given(text);
            for (int32_t i = 0, k = 0; i < given.scene.object_count; i++)
                for (int32_t f = 0; f < given.scene.frame_count; f++, k += 3)
                    given.scene.objects[i].locations[f] = {file_locations[k], file_locations[k + 1],
                                                           file_locations[k + 2]};
            written = written_text(given.scene, space);
        } else {
            written = written_text(first.scene, space);
            tolerance = rounding_tolerance(first.scene);
        }
        Loaded second(written);
        std::string difference =
            second.ok ? scene_difference(first.scene, second.scene, tolerance) : second.error.message;
        if (difference.empty()) continue;
        if (failures++ == 0) *first_failure = difference + "\n" + text + "----\n" + written;
    }
    EXPECT_GT(round_trips, 1000);
    return failures;
}

TEST(SceneWriter, RandomScenesRoundTrip)
{
    for (bool namesakes : {false, true}) {
        std::string first_failure;
        EXPECT_EQ(random_round_trip_failures(namesakes, true, LOCATIONS_AS_IN_FILE, &first_failure), 0)
            << first_failure;
        EXPECT_EQ(random_round_trip_failures(namesakes, false, LOCATIONS_RELATIVE, &first_failure), 0) << first_failure;
    }
}

TEST(SceneWriter, HandBuiltScenesReadBackAsMeant)
{
    // A root mesh of one triangle at (1, 2, 3) and a lamp 1.5 above it.
    Scene scene = {};
    scene.object_count = 2;
    scene.frame_count = 1;
    SceneObject objects[2] = {};
    scene.objects = objects;
    Vector3 vertices[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    Vector3 normals[3] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    Triangle triangle = {{0, 1, 2}, {{0, 1}, {1, 1}, {0, 0.25f}}};
    Vector3 mesh_location = {1, 2, 3}, lamp_location = {0, 0, 1.5f};
    Vector3 rotation = {90, 0, -45}, scale = {1, 1, 1};
    strcpy(objects[0].name, "Body");
    strcpy(objects[0].type_name, "Mesh");
    objects[0].kind = Mesh;
    objects[0].vertices = vertices;
    objects[0].normals = normals;
    objects[0].vertex_count = 3;
    objects[0].triangles = &triangle;
    objects[0].triangle_count = 1;
    objects[0].face_count = 1;
    objects[0].locations = &mesh_location;
    objects[0].rotations = &rotation;
    objects[0].scales = &scale;
    objects[0].is_root = 1;
    strcpy(objects[0].parent_name, "none");
    strcpy(objects[1].name, "Light");
    objects[1].kind = Lamp;
    objects[1].locations = &lamp_location;
    objects[1].rotations = &rotation;
    objects[1].scales = &scale;
    strcpy(objects[1].parent_name, "Body");

    Loaded back(written_text(scene, LOCATIONS_RELATIVE));
    ASSERT_TRUE(back.ok) << back.error.message;
    EXPECT_STREQ(back.scene.objects[1].type_name, "Lamp");
    EXPECT_EQ(back.scene.objects[1].parent, 0);
    EXPECT_EQ(back.scene.polygon_count, 1);
    EXPECT_TRUE(same_bytes(back.scene.objects[0].triangles, &triangle, 1));
    EXPECT_EQ(back.scene.objects[1].locations[0].z, 1.5f);
    EXPECT_EQ(back.scene.objects[0].locations[0].y, 2.0f);
    EXPECT_EQ(back.scene.objects[1].rotations[0].x, 90.0f);
    EXPECT_EQ(back.scene.objects[1].rotations[0].z, -45.0f);
}

TEST(SceneWriter, RefusesHierarchiesTheReaderWouldReject)
{
    Loaded base(" 1\n 0\n A\n Lamp\n None\n");
    ASSERT_TRUE(base.ok);
    strcpy(base.scene.objects[0].name, "none");
    std::string path = make_temp_dir("scene-writer") + "/bad.orj";
    Error error;
    std::string text;
    EXPECT_EQ(write_scene_text(&base.scene, LOCATIONS_RELATIVE, &text, &error), ERROR_MALFORMED);
    EXPECT_EQ(save_scene(&base.scene, LOCATIONS_RELATIVE, path.c_str(), &error), ERROR_MALFORMED);
    EXPECT_EQ(error.message, path + ": the scene cannot be read back: object \"none\" is named \"none\"");
    EXPECT_NE(access(path.c_str(), F_OK), 0) << "a refused scene leaves no file";
    strcpy(base.scene.objects[0].name, "A");
    EXPECT_EQ(save_scene(&base.scene, LOCATIONS_RELATIVE, "/nonexistent/dir/x.orj", &error), ERROR_CANNOT_WRITE);
}

}  // namespace
