// The shipped sample scene, read without a window: what the viewer and its
// benchmark rely on (cameras, lamps, frames, size, faces that survive culling,
// every camera framing the robot within the fog's reach).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "orj/core/scene/scene.h"
#include "orj/core/scene/scene_reader.h"

using namespace orj;

static std::string sample_path(const char *name)
{
    const char *source = getenv("ENGINE_SOURCE_DIR");
    return std::string(source ? source : ".") + "/data/" + name;
}

static std::string read_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Builds at other optimisation levels may round the tool's arithmetic
// differently in the last bits (the compiler folds some maths at compile
// time), so values match to a small tolerance.
static bool near(float a, float b)
{
    return a == b || std::fabs(a - b) <= 1e-5f * std::fmax(1.0f, std::fmax(std::fabs(a), std::fabs(b)));
}

static bool same_vectors(const Vector3 *a, const Vector3 *b, int32_t count)
{
    for (int32_t i = 0; i < count; i++)
        if (!near(a[i].x, b[i].x) || !near(a[i].y, b[i].y) || !near(a[i].z, b[i].z)) return false;
    return true;
}

template <typename Face, int Corners>
static bool same_faces(const Face *a, const Face *b, int32_t count)
{
    for (int32_t i = 0; i < count; i++)
        for (int c = 0; c < Corners; c++)
            if (a[i].corners[c] != b[i].corners[c] || !near(a[i].tex_coords[c].s, b[i].tex_coords[c].s) ||
                !near(a[i].tex_coords[c].t, b[i].tex_coords[c].t))
                return false;
    return true;
}

static std::string scene_difference(const Scene &a, const Scene &b)
{
    if (a.object_count != b.object_count || a.frame_count != b.frame_count || a.polygon_count != b.polygon_count)
        return "counts";
    for (int i = 0; i < a.object_count; i++) {
        const SceneObject &x = a.objects[i], &y = b.objects[i];
        bool same =
            strcmp(x.name, y.name) == 0 && x.kind == y.kind && strcmp(x.parent_name, y.parent_name) == 0 &&
            x.vertex_count == y.vertex_count && x.quad_count == y.quad_count && x.triangle_count == y.triangle_count &&
            same_vectors(x.vertices, y.vertices, x.vertex_count) &&
            same_vectors(x.normals, y.normals, x.vertex_count) && same_faces<Quad, 4>(x.quads, y.quads, x.quad_count) &&
            same_faces<Triangle, 3>(x.triangles, y.triangles, x.triangle_count) &&
            same_vectors(x.locations, y.locations, a.frame_count) &&
            same_vectors(x.rotations, y.rotations, a.frame_count) && same_vectors(x.scales, y.scales, a.frame_count);
        if (!same) return std::string("object ") + x.name;
    }
    return "";
}

// The shipped files are the tool's output: a change to the tool comes with them made again.
TEST(SampleTool, MakesTheShippedFilesAgain)
{
    const char *build = getenv("ENGINE_BINARY_DIR");
    ASSERT_NE(build, nullptr) << "run through ctest";
    char dir[] = "/tmp/engine-sample-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string made_dir = dir;
    std::string command = std::string(build) + "/samples/make_sample_scene " + made_dir + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const char *again = "run samples/make_sample_scene again (make_sample_scene data)";

    Scene made, shipped;
    Error error;
    ASSERT_EQ(read_scene_file(&made, (made_dir + "/fiche.orj").c_str(), &error), ERROR_NONE) << error.message;
    ASSERT_EQ(read_scene_file(&shipped, sample_path("fiche.orj").c_str(), &error), ERROR_NONE) << error.message;
    std::string difference = scene_difference(made, shipped);
    EXPECT_EQ(difference, "") << "fiche.orj differs from what the tool makes: " << again;
    free_scene_records(&made);
    free_scene_records(&shipped);

    std::string texture = read_bytes(made_dir + "/texturarobot2.tga");
    EXPECT_FALSE(texture.empty());
    EXPECT_TRUE(texture == read_bytes(sample_path("texturarobot2.tga"))) << "texturarobot2.tga: " << again;
    unlink((made_dir + "/fiche.orj").c_str());
    unlink((made_dir + "/texturarobot2.tga").c_str());
    rmdir(dir);
}

// Column-major 4x4 matrices, as OpenGL keeps them.
struct Matrix {
    double m[16];
};

static Matrix identity_matrix()
{
    Matrix r = {};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1;
    return r;
}

static Matrix multiply(const Matrix &a, const Matrix &b)
{
    Matrix r = {};
    for (int col = 0; col < 4; col++)
        for (int row = 0; row < 4; row++)
            for (int k = 0; k < 4; k++) r.m[col * 4 + row] += a.m[k * 4 + row] * b.m[col * 4 + k];
    return r;
}

static Matrix translation(double x, double y, double z)
{
    Matrix r = identity_matrix();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

static Matrix rotation(double degrees, int axis)
{
    double a = degrees * 3.14159265358979 / 180, c = std::cos(a), s = std::sin(a);
    Matrix r = identity_matrix();
    int i = (axis + 1) % 3, j = (axis + 2) % 3;
    r.m[i * 4 + i] = c;
    r.m[i * 4 + j] = s;
    r.m[j * 4 + i] = -s;
    r.m[j * 4 + j] = c;
    return r;
}

static Matrix scaling(double x, double y, double z)
{
    Matrix r = identity_matrix();
    r.m[0] = x;
    r.m[5] = y;
    r.m[10] = z;
    return r;
}

static void transform(const Matrix &a, const Vector3 &p, double out[3], double *w = nullptr)
{
    for (int row = 0; row < 3; row++)
        out[row] = a.m[row] * p.x + a.m[4 + row] * p.y + a.m[8 + row] * p.z + a.m[12 + row];
    if (w) *w = a.m[3] * p.x + a.m[7] * p.y + a.m[11] * p.z + a.m[15];
}

class SampleScene : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Error error;
        loaded = read_scene_file(&scene, sample_path("fiche.orj").c_str(), &error) == ERROR_NONE;
        if (!loaded) fprintf(stderr, "%s\n", error.message.c_str());
    }
    static void TearDownTestSuite()
    {
        if (loaded) free_scene_records(&scene);
    }
    void SetUp() override { ASSERT_TRUE(loaded); }

    static const SceneObject *find(const char *name)
    {
        for (int i = 0; i < scene.object_count; i++)
            if (strcmp(scene.objects[i].name, name) == 0) return &scene.objects[i];
        return nullptr;
    }

    // Where every vertex of every mesh below the roots lands at frame, in the scene's space.
    static void walk(int index, int frame, const Matrix &parent, std::vector<std::pair<int, Matrix>> *placed)
    {
        const SceneObject &o = scene.objects[index];
        const Vector3 &l = o.locations[frame], &r = o.rotations[frame], &s = o.scales[frame];
        if (s.x == 0 || s.y == 0 || s.z == 0) return;
        Matrix m = multiply(parent, translation(l.x, l.y, l.z));
        m = multiply(m, rotation(r.x, 0));
        m = multiply(m, rotation(r.y, 1));
        m = multiply(m, rotation(r.z, 2));
        m = multiply(m, scaling(s.x, s.y, s.z));
        placed->push_back({index, m});
        for (int c = 0; c < o.child_count; c++) walk(o.children[c], frame, m, placed);
    }

    static std::vector<std::pair<int, Matrix>> placed_at(int frame)
    {
        std::vector<std::pair<int, Matrix>> placed;
        for (int i = 0; i < scene.object_count; i++)
            if (scene.objects[i].is_root) walk(i, frame, identity_matrix(), &placed);
        return placed;
    }

    // The robot: every mesh with a parent or children (the floor stands alone).
    static bool is_robot(const SceneObject &o) { return o.kind == Mesh && (!o.is_root || o.child_count > 0); }

    static Scene scene;
    static bool loaded;
};

Scene SampleScene::scene;
bool SampleScene::loaded = false;

TEST_F(SampleScene, HasTheCamerasLampsAndFramesTheViewerNeeds)
{
    EXPECT_GE(scene.frame_count, 100);
    for (const char *name : {"camara", "Camera", "camara2", "camara3", "camara5"}) {
        const SceneObject *camera = find(name);
        ASSERT_NE(camera, nullptr) << name;
        EXPECT_EQ(camera->kind, Camera) << name;
        EXPECT_TRUE(camera->is_root) << name << ": a root camera's stored location is where it stands";
    }
    EXPECT_EQ(find("camara4"), nullptr) << "without camara4 the viewer starts in the benchmark grid";

    int lamps = 0, meshes = 0, quad_only = 0, triangle_only = 0;
    for (int i = 0; i < scene.object_count; i++) {
        const SceneObject &o = scene.objects[i];
        if (o.kind == Lamp) {
            lamps++;
            // The lamp's colour is its rotation in degrees: a sensible colour, not black.
            for (int f = 0; f < scene.frame_count; f++) {
                const Vector3 &c = o.rotations[f];
                EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.z >= 0 && c.x <= 2 && c.y <= 2 && c.z <= 2) << o.name;
                EXPECT_GT(c.x + c.y + c.z, 1.0f) << o.name;
            }
        }
        if (o.kind == Mesh) {
            meshes++;
            if (o.triangle_count == 0 && o.quad_count > 0) quad_only++;
            if (o.quad_count == 0 && o.triangle_count > 0) triangle_only++;
        }
    }
    EXPECT_EQ(lamps, 2);
    EXPECT_GE(meshes, 10);
    EXPECT_GE(quad_only, 1);
    EXPECT_GE(triangle_only, 1);
    EXPECT_GE(scene.polygon_count, 2000);
    EXPECT_LE(scene.polygon_count, 8000);
}

TEST_F(SampleScene, FacesTurnTheirFrontsOutwardAndMapInsideTheTexture)
{
    // Culling keeps counter-clockwise faces: the winding must agree with the normals.
    for (int i = 0; i < scene.object_count; i++) {
        const SceneObject &o = scene.objects[i];
        auto check = [&](const int32_t *corners, const TexCoord *tex, int count, int face) {
            const Vector3 &a = o.vertices[corners[0]], &b = o.vertices[corners[1]], &p2 = o.vertices[corners[2]];
            double e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, e2[3] = {p2.x - a.x, p2.y - a.y, p2.z - a.z};
            double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
            double along = 0;
            for (int k = 0; k < count; k++) {
                const Vector3 &vn = o.normals[corners[k]];
                along += n[0] * vn.x + n[1] * vn.y + n[2] * vn.z;
                EXPECT_TRUE(tex[k].s >= 0 && tex[k].s <= 1 && tex[k].t >= 0 && tex[k].t <= 1)
                    << o.name << " face " << face;
            }
            EXPECT_GT(along, 0) << o.name << " face " << face << " is turned inside out";
        };
        for (int q = 0; q < o.quad_count; q++) check(o.quads[q].corners, o.quads[q].tex_coords, 4, q);
        for (int t = 0; t < o.triangle_count; t++)
            check(o.triangles[t].corners, o.triangles[t].tex_coords, 3, o.quad_count + t);
    }
}

TEST_F(SampleScene, TheRobotFitsItsPlaceInTheBenchmarkGrid)
{
    // Copies stand 10 units apart down y and along x: the robot keeps inside that.
    for (int f = 0; f < scene.frame_count; f++) {
        double low[3] = {1e9, 1e9, 1e9}, high[3] = {-1e9, -1e9, -1e9};
        for (const auto &[index, m] : placed_at(f)) {
            const SceneObject &o = scene.objects[index];
            if (o.kind != Mesh) continue;
            for (int v = 0; v < o.vertex_count; v++) {
                double p[3];
                transform(m, o.vertices[v], p);
                for (int k = 0; k < 3; k++) {
                    low[k] = std::fmin(low[k], p[k]);
                    high[k] = std::fmax(high[k], p[k]);
                }
            }
        }
        EXPECT_LT(high[0] - low[0], 10) << "frame " << f;
        EXPECT_LT(high[1] - low[1], 10) << "frame " << f;
        EXPECT_GT(high[1] - low[1], 7) << "frame " << f << ": about 8 units tall";
        EXPECT_GT(low[1], -0.01) << "frame " << f << ": nothing sinks below the floor";
    }
}

TEST_F(SampleScene, EveryCameraFramesTheRobotWithinTheFogsReach)
{
    for (const char *name : {"camara", "Camera", "camara2", "camara3", "camara5"}) {
        const SceneObject *camera = find(name);
        ASSERT_NE(camera, nullptr);
        for (int f = 0; f < scene.frame_count; f += 10) {
            const Vector3 &l = camera->locations[f], &r = camera->rotations[f];
            Matrix view = multiply(rotation(-r.x, 0), rotation(-r.y, 1));
            view = multiply(view, rotation(-r.z, 2));
            view = multiply(view, translation(-l.x, -l.y, -l.z));
            // glFrustum(-0.5, 0.5, -0.5, 0.5, 1, ...): x and y over -z, doubled, is the screen from -1 to 1.
            double low[2] = {1e9, 1e9}, high[2] = {-1e9, -1e9}, nearest = 1e9, farthest = 0;
            for (const auto &[index, m] : placed_at(f)) {
                const SceneObject &o = scene.objects[index];
                if (!is_robot(o)) continue;
                Matrix to_eye = multiply(view, m);
                for (int v = 0; v < o.vertex_count; v++) {
                    double p[3];
                    transform(to_eye, o.vertices[v], p);
                    ASSERT_LT(p[2], -1) << name << " frame " << f << ": the robot is behind or at the eye";
                    for (int k = 0; k < 2; k++) {
                        low[k] = std::fmin(low[k], 2 * p[k] / -p[2]);
                        high[k] = std::fmax(high[k], 2 * p[k] / -p[2]);
                    }
                    nearest = std::fmin(nearest, -p[2]);
                    farthest = std::fmax(farthest, -p[2]);
                }
            }
            std::string where = std::string(name) + " frame " + std::to_string(f);
            EXPECT_GT(high[1] - low[1], 0.8) << where << ": the robot fills a good part of the window";
            EXPECT_GT(low[1], -1.05) << where;
            EXPECT_LT(high[1], 1.05) << where;
            double centre_x = (low[0] + high[0]) / 2;
            EXPECT_GT(centre_x, -1.0 / 3) << where << ": the robot stands in the middle third";
            EXPECT_LT(centre_x, 1.0 / 3) << where;
            // Fog factor exp(-(0.025 d)^2): at 25 units the robot keeps two thirds of its colour.
            EXPECT_LT(farthest, 25) << where;
            EXPECT_GT(nearest, 3) << where;
        }
    }
}

TEST_F(SampleScene, TheAnimationLoopsWithoutAJump)
{
    // The viewer plays 0, 1, ..., F-1, 1, ...: the step from F-1 back to 1 must be
    // no bigger than the largest step between neighbouring frames.
    int last = scene.frame_count - 1;
    for (int i = 0; i < scene.object_count; i++) {
        const SceneObject &o = scene.objects[i];
        auto step = [&](int a, int b) {
            double d = 0;
            const Vector3 *tracks[3] = {o.locations, o.rotations, o.scales};
            for (const Vector3 *t : tracks) {
                double angle_wrap[3] = {t[a].x - t[b].x, t[a].y - t[b].y, t[a].z - t[b].z};
                for (double &x : angle_wrap) {
                    if (t == o.rotations) x = std::remainder(x, 360.0);
                    d = std::fmax(d, std::fabs(x));
                }
            }
            return d;
        };
        double largest = 0;
        for (int f = 1; f < last; f++) largest = std::fmax(largest, step(f, f + 1));
        EXPECT_LE(step(last, 1), largest * 1.5 + 1e-3) << o.name;
        EXPECT_LE(step(0, 1), largest * 1.5 + 1e-3) << o.name;
    }
}
