// The scene reader on well-formed files: values, quirks of the line grammar,
// hierarchy linking and the parent-relative fix-up.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "orj/core/scene/scene_reader.h"
#include "tests/scene_test_files.h"

using namespace orj;

namespace {

struct ReadScene {
    Scene scene;
    Error error;
    bool ok;
    explicit ReadScene(const std::string &text)
    {
        ok = read_scene_text(&scene, text.data(), text.size(), "t.orj", &error) == ERROR_NONE;
    }
    ~ReadScene() { free_scene_records(&scene); }
    const SceneObject &operator[](int i) const { return scene.objects[i]; }
};

void expect_vector(const Vector3 &v, float x, float y, float z)
{
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST(SceneReader, WorkedExampleReadsBackFieldByField)
{
    ReadScene r(worked_example_text());
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_EQ(r.scene.object_count, 2);
    EXPECT_EQ(r.scene.frame_count, 2);
    EXPECT_EQ(r.scene.polygon_count, 3);

    const SceneObject &plane = r[0];
    EXPECT_STREQ(plane.name, "Plano");
    EXPECT_STREQ(plane.type_name, "Mesh");
    EXPECT_EQ(plane.kind, Mesh);
    EXPECT_EQ(plane.vertex_count, 4);
    EXPECT_EQ(plane.face_count, 2);
    EXPECT_EQ(plane.quad_count, 1);
    EXPECT_EQ(plane.triangle_count, 1);
    expect_vector(plane.vertices[2], 1, 1, 0);
    expect_vector(plane.normals[3], 0, 0, 1);
    const Quad &quad = plane.quads[0];
    EXPECT_EQ(std::vector<int>(quad.corners, quad.corners + 4), (std::vector<int>{0, 1, 2, 3}));
    float quad_tex[8] = {0, 1, 1, 1, 1, 0, 0, 0};
    EXPECT_EQ(memcmp(quad.tex_coords, quad_tex, sizeof quad_tex), 0);
    const Triangle &triangle = plane.triangles[0];
    EXPECT_EQ(std::vector<int>(triangle.corners, triangle.corners + 3), (std::vector<int>{0, 2, 3}));
    float triangle_tex[6] = {0, 1, 1, 0, 0, 0};
    EXPECT_EQ(memcmp(triangle.tex_coords, triangle_tex, sizeof triangle_tex), 0);
    expect_vector(plane.locations[1], 0, 0, 0.5f);
    expect_vector(plane.rotations[0], 0, 0, 0);
    EXPECT_EQ(plane.rotations[1].z, (float)(1.5708f * 57.29746936176985));
    EXPECT_NEAR(plane.rotations[1].z, 90.0029, 1e-4);
    expect_vector(plane.scales[1], 1, 1, 1);
    EXPECT_STREQ(plane.parent_name, "none");
    EXPECT_EQ(plane.is_root, 1);
    ASSERT_EQ(plane.child_count, 1);
    EXPECT_EQ(plane.children[0], 1);
    EXPECT_EQ(plane.display_list, 0u);

    const SceneObject &camera = r[1];
    EXPECT_STREQ(camera.name, "Camera");
    EXPECT_EQ(camera.kind, Camera);
    EXPECT_EQ(camera.vertex_count, 0);
    EXPECT_EQ(camera.face_count, 0);
    EXPECT_EQ(camera.vertices, nullptr);
    EXPECT_EQ(camera.quads, nullptr);
    EXPECT_STREQ(camera.parent_name, "Plano");
    EXPECT_EQ(camera.is_root, 0);
    EXPECT_EQ(camera.parent, 0);
    EXPECT_EQ(camera.child_count, 0);
    expect_vector(camera.locations[0], 0, -5, 1);
    expect_vector(camera.locations[1], 0, -5, 1.5f);
    EXPECT_EQ(camera.rotations[0].x, (float)(1.5708f * 57.29746936176985));
}

TEST(SceneReader, CrlfLineEndsReadLikeNewlines)
{
    std::string text = worked_example_text();
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    ReadScene r(crlf);
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_STREQ(r[0].name, "Plano");
    EXPECT_EQ(r[0].is_root, 1);
    EXPECT_STREQ(r[1].parent_name, "Plano");
    EXPECT_EQ(r[1].parent, 0);
}

TEST(SceneReader, LastLineWithoutNewlineEndsAtEndOfFile)
{
    std::string text = worked_example_text();
    text.pop_back();
    ReadScene r(text);
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_STREQ(r[1].parent_name, "Plano");

    ReadScene root_last(" 1\n 0\n A\n Lamp\n None");
    ASSERT_TRUE(root_last.ok) << root_last.error.message;
    EXPECT_EQ(root_last[0].is_root, 1);
}

TEST(SceneReader, LeadingCharactersAreSkippedWhateverTheyHold)
{
    // "12" is 2 objects; the frame line's first two characters are lost too.
    ReadScene r("12\n-1\n A\n Lamp\n991 2 3 4 5 6 7 8 9\n None\n B\n Camera\n  1 2 3 4 5 6 7 8 9 trailing\n None\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_EQ(r.scene.object_count, 2);
    EXPECT_EQ(r.scene.frame_count, 1);
    expect_vector(r[0].locations[0], 1, 2, 3);
    EXPECT_EQ(r[0].scales[0].z, 9.0f);
    EXPECT_EQ(r[0].kind, Lamp);
    expect_vector(r[1].scales[0], 7, 8, 9);
}

TEST(SceneReader, NoneMarkerMatchesExactly)
{
    // " None " and "None" are parent lines too short to name anything.
    ReadScene trailing(" 1\n 0\n A\n Lamp\n None \n");
    EXPECT_FALSE(trailing.ok);
    EXPECT_EQ(trailing.error.message, "t.orj:5: parent line shorter than 13 characters");

    // A longer line that is not exactly " None" names a parent, here "None  ".
    ReadScene named(" 1\n 0\n A\n Lamp\n parent: 'None  '.\n");
    ASSERT_TRUE(named.ok) << named.error.message;
    EXPECT_EQ(named[0].is_root, 0);
    EXPECT_STREQ(named[0].parent_name, "None  ");
    EXPECT_EQ(named[0].parent, -1);
}

TEST(SceneReader, NamesKeepTrailingSpacesAndParentsMustMatchThem)
{
    ReadScene r(" 3\n 0\n A \n Lamp\n None\n B\n Lamp\n xxxxxxxxxA xx\n C\n Lamp\n xxxxxxxxxAxx\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_STREQ(r[0].name, "A ");
    EXPECT_EQ(r[0].child_count, 1);
    EXPECT_EQ(r[0].children[0], 1);
    EXPECT_EQ(r[1].parent, 0);
    EXPECT_STREQ(r[2].parent_name, "A");
    EXPECT_EQ(r[2].parent, -1);
}

TEST(SceneReader, TypeWordsOtherThanTheThreeHaveNoKindAndNoMeshBlock)
{
    ReadScene r(" 2\n 1\n A\n Mesh \n  0 0 0 0 0 0 1 1 1\n None\n B\n Light\n  0 0 0 0 0 0 1 1 1\n None\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_STREQ(r[0].type_name, "Mesh ");
    EXPECT_EQ(r[0].kind, NoKind);
    EXPECT_EQ(r[1].kind, NoKind);
    EXPECT_EQ(r.scene.polygon_count, 0);
}

TEST(SceneReader, FacesThatAreNotFourCornersAreTriangles)
{
    std::string text = " 1\n 0\n M\n Mesh\n 4\n 4\n";
    for (int v = 0; v < 4; v++) text += "  " + std::to_string(v) + " 0 0\n  0 0 1\n";
    text += "3\n  1 2 3 4\n5\n  2 3 4 1\n0\n  4 3 2\n4\n  1 2 3 4\n";
    text += "  0 0.25 1 0 1 1 junk\n  0 0 1 0 1 1 0 1\n  0 0 0 0 0 0\n  0 0 0 0 0 0 0 0\n None\n";
    ReadScene r(text);
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_EQ(r[0].triangle_count, 3);
    EXPECT_EQ(r[0].quad_count, 1);
    EXPECT_EQ(r.scene.polygon_count, 5);
    EXPECT_EQ(r[0].triangles[0].corners[2], 2);
    EXPECT_EQ(r[0].triangles[1].corners[0], 1);
    EXPECT_EQ(r[0].triangles[2].corners[0], 3);
    EXPECT_EQ(r[0].triangles[0].tex_coords[0].t, 0.75f);
    EXPECT_EQ(r[0].triangles[1].tex_coords[2].t, 0.0f);
}

TEST(SceneReader, EmptyCountsAreValid)
{
    ReadScene empty(" 0\n 0\n");
    ASSERT_TRUE(empty.ok) << empty.error.message;
    EXPECT_EQ(empty.scene.objects, nullptr);

    ReadScene mesh(" 1\n 0\n M\n Mesh\n 0\n 0\n None\n");
    ASSERT_TRUE(mesh.ok) << mesh.error.message;
    EXPECT_EQ(mesh[0].kind, Mesh);
    EXPECT_EQ(mesh[0].locations, nullptr);
    EXPECT_EQ(mesh.scene.polygon_count, 0);
}

TEST(SceneReader, RotationsUseTheFormatsFactor)
{
    ReadScene r(" 1\n 1\n A\n Lamp\n  0 0 0 3.1415 3.14159265 -1e-3 1 1 1\n None\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_EQ(r[0].rotations[0].x, 180.0f);
    EXPECT_EQ(r[0].rotations[0].y, 180.00531f);
    EXPECT_EQ(r[0].rotations[0].z, (float)(-1e-3f * 57.29746936176985));
}

TEST(SceneReader, NumbersReadAsScanfReadsThem)
{
    ReadScene r(" 1\n 1\n A\n Lamp\n  +1.5 -.25 1e2 inf -nan 0x1p3 1e 2 3\n None\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    expect_vector(r[0].locations[0], 1.5f, -0.25f, 100);
    EXPECT_TRUE(std::isinf(r[0].rotations[0].x));
    EXPECT_TRUE(std::isnan(r[0].rotations[0].y));
    EXPECT_EQ(r[0].rotations[0].z, (float)(8.0f * 57.29746936176985));
    // "1e" is one number (1), as sscanf swallows the dangling exponent.
    expect_vector(r[0].scales[0], 1, 2, 3);
}

static bool same_bits(float a, float b) { return memcmp(&a, &b, sizeof a) == 0; }

// Lines as writers make them are read in one go, others and the lines near
// the end of the text through the general path: the same line must read the
// same to the bit either way. Each line is repeated; the last copies stand
// near the end and take the general path.
TEST(SceneReader, LinesReadAlikeInOneGoAndThroughTheGeneralPath)
{
    const char *real_lines[] = {"  0.003906 -0.030000 1.000000 7.55 -.5 5. 0 -0 00000001.5",
                                "  16777216 16777217 0.12345678 1.2345678 12345678 1234567.8 0.00000001 -9.9999999 0.1",
                                "  1e5 -1.5E-3 +2.5 0x10 inf -nan 1e 3.4028236e38 1e-40",
                                "  1  2\t3 4 5 6 7 8 9 trailing words",
                                "  1.5 2.5 3.5 4.5 5.5 6.5 7.5 8.5 9.5\r",
                                "xx0.25 0.5 0.75 1 1.25 1.5 1.75 2 2.25 ",
                                "  -0.000001 99999999 .0 -. 1 2 3 4 5"};
    for (const char *line : real_lines) {
        const int frames = 12;
        std::string text = " 1\n " + std::to_string(frames) + "\n A\n Lamp\n";
        for (int f = 0; f < frames; f++) text += std::string(line) + "\n";
        text += " None\n";
        ReadScene r(text);
        if (!r.ok) {
            // A line the general path refuses is refused on its first copy.
            EXPECT_NE(r.error.message.find("t.orj:5:"), std::string::npos) << line << ": " << r.error.message;
            continue;
        }
        const SceneObject &o = r[0];
        for (int f = 0; f < frames - 1; f++) {
            const float *got[3] = {&o.locations[f].x, &o.rotations[f].x, &o.scales[f].x};
            const float *want[3] = {&o.locations[frames - 1].x, &o.rotations[frames - 1].x, &o.scales[frames - 1].x};
            for (int v = 0; v < 3; v++)
                for (int c = 0; c < 3; c++)
                    EXPECT_TRUE(same_bits(got[v][c], want[v][c])) << line << ", frame " << f << ", value " << 3 * v + c;
        }
    }

    const char *corner_lines[] = {"3\n  1 2 3",     "4\n  3 2 1 2",    "3\n  0000003 1 2", "3\n  00000003 1 2",
                                  "3\n  1\t2 3",    "3\r\n  1 2 3\r",  "4\n  +1 2 3 1",    "+4\n  1 2 3 1",
                                  "4 \n  1  2 3 1", "04\n  2 3 1 2 9", "5\n  1 2 3 x"};
    for (const char *face : corner_lines) {
        const int faces = 12;
        std::string text = " 1\n 0\n M\n Mesh\n 3\n " + std::to_string(faces) + "\n";
        for (int v = 0; v < 3; v++) text += "  0 0 0\n  0 0 1\n";
        for (int k = 0; k < faces; k++) text += std::string(face) + "\n";
        for (int k = 0; k < faces; k++) text += "  0 0 0 0 0 0 0 0\n";
        text += " None\n";
        ReadScene r(text);
        ASSERT_TRUE(r.ok) << face << ": " << r.error.message;
        const SceneObject &o = r[0];
        bool quads = o.quad_count > 0;
        ASSERT_EQ(quads ? o.quad_count : o.triangle_count, faces) << face;
        for (int k = 0; k < faces - 1; k++)
            for (int c = 0; c < (quads ? 4 : 3); c++)
                EXPECT_EQ(quads ? o.quads[k].corners[c] : o.triangles[k].corners[c],
                          quads ? o.quads[faces - 1].corners[c] : o.triangles[faces - 1].corners[c])
                    << face << ", face " << k;
    }
}

// Chain R -> A -> B, A moving: every frame is offset by the parent's frame 0.
TEST(SceneReader, FixUpUsesTheParentsFirstFrameDownAChain)
{
    ReadScene r(" 3\n 2\n"
                " B\n Lamp\n  10 10 10 0 0 0 1 1 1\n  20 20 20 0 0 0 1 1 1\n xxxxxxxxxAxx\n"
                " R\n Lamp\n  1 2 3 0 0 0 1 1 1\n  7 7 7 0 0 0 1 1 1\n None\n"
                " A\n Lamp\n  4 4 4 0 0 0 1 1 1\n  100 100 100 0 0 0 1 1 1\n xxxxxxxxxRxx\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    expect_vector(r[1].locations[0], 1, 2, 3);
    expect_vector(r[1].locations[1], 7, 7, 7);
    expect_vector(r[2].locations[0], 3, 2, 1);
    expect_vector(r[2].locations[1], 99, 98, 97);
    expect_vector(r[0].locations[0], 6, 6, 6);
    expect_vector(r[0].locations[1], 16, 16, 16);
}

TEST(SceneReader, ObjectsNamingEachOtherOutsideTheTreeStayAsRead)
{
    ReadScene r(" 2\n 1\n A\n Lamp\n  5 5 5 0 0 0 1 1 1\n xxxxxxxxxBxx\n"
                " B\n Lamp\n  6 6 6 0 0 0 1 1 1\n xxxxxxxxxAxx\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_EQ(r[0].parent, 1);
    EXPECT_EQ(r[1].parent, 0);
    expect_vector(r[0].locations[0], 5, 5, 5);
    expect_vector(r[1].locations[0], 6, 6, 6);
}

TEST(SceneReader, NamesakesShareChildrenAndTheLaterOneIsTheParent)
{
    // Two roots named P; C is listed under both and adjusted under each, both
    // times by the later P's frame 0.
    ReadScene r(" 3\n 1\n"
                " P\n Lamp\n  1 1 1 0 0 0 1 1 1\n None\n"
                " C\n Lamp\n  10 10 10 0 0 0 1 1 1\n xxxxxxxxxPxx\n"
                " P\n Lamp\n  2 3 4 0 0 0 1 1 1\n None\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_EQ(r[1].parent, 2);
    ASSERT_EQ(r[0].child_count, 1);
    ASSERT_EQ(r[2].child_count, 1);
    EXPECT_EQ(r[0].children[0], 1);
    expect_vector(r[1].locations[0], 6, 4, 2);
}

TEST(SceneReader, FacesAndChildrenGrowPastTheOldFixedCapacities)
{
    std::string text = " 1002\n 0\n M\n Mesh\n 3\n 10001\n";
    for (int v = 0; v < 3; v++) text += "  0 0 0\n  0 0 1\n";
    for (int k = 0; k < 10001; k++) text += "3\n  1 2 3\n";
    for (int k = 0; k < 10001; k++) text += "  0 0 0 0 0 0\n";
    text += " None\n";
    for (int i = 0; i < 1001; i++) text += " c" + std::to_string(i) + "\n Lamp\n xxxxxxxxxMxx\n";
    ReadScene r(text);
    ASSERT_TRUE(r.ok) << r.error.message;
    EXPECT_EQ(r[0].triangle_count, 10001);
    EXPECT_EQ(r[0].child_count, 1001);
    EXPECT_EQ(r[0].children[1000], 1001);
}

}  // namespace
