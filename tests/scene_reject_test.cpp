// The scene reader on malformed files: one "PATH:LINE: message", nothing kept.
#include <gtest/gtest.h>

#include <string>

#include "orj/core/scene/scene_reader.h"
#include "tests/scene_test_files.h"

using namespace orj;

namespace {

// Reads text that must be rejected; returns the message.
std::string rejection(const std::string &text)
{
    Scene scene;
    Error error;
    bool ok = read_scene_text(&scene, text.data(), text.size(), "bad.orj", &error) == ERROR_NONE;
    EXPECT_FALSE(ok);
    EXPECT_EQ(scene.objects, nullptr);
    EXPECT_EQ(scene.object_count, 0);
    EXPECT_NE(error.kind, ERROR_CANNOT_OPEN);
    if (ok) free_scene_records(&scene);
    return error.message;
}

std::string replace_line(const std::string &text, int line_number, const std::string &line)
{
    size_t start = 0;
    for (int i = 1; i < line_number; i++) start = text.find('\n', start) + 1;
    size_t end = text.find('\n', start);
    return text.substr(0, start) + line + text.substr(end);
}

TEST(SceneReject, EarlyEndNamesTheLineAfterTheLast)
{
    std::string text = worked_example_text();
    EXPECT_EQ(rejection(""), "bad.orj:1: the file ends where the object count was expected");
    EXPECT_EQ(rejection(" 1\n"), "bad.orj:2: the file ends where the frame count was expected");
    // Every cut inside the worked example fails cleanly (and leaks nothing).
    for (size_t cut = 0; cut + 1 < text.size(); cut++) {
        if (text[cut] != '\n') continue;
        int lines = 0;
        for (size_t i = 0; i <= cut; i++) lines += text[i] == '\n';
        std::string message = rejection(text.substr(0, cut + 1));
        EXPECT_NE(message.find("bad.orj:"), std::string::npos);
        bool named_end = message.find("the file ends") != std::string::npos;
        bool counted = message.find("more lines") != std::string::npos;
        EXPECT_TRUE(named_end || counted) << message;
    }
}

TEST(SceneReject, NumbersThatDoNotParse)
{
    std::string text = worked_example_text();
    EXPECT_EQ(rejection(replace_line(text, 1, " x")), "bad.orj:1: the object count is not an integer");
    EXPECT_EQ(rejection(replace_line(text, 5, " 99999999999")), "bad.orj:5: the vertex count is not an integer");
    EXPECT_EQ(rejection(replace_line(text, 8, "  0.0 0.0")),
              "bad.orj:8: a vertex normal needs 3 numbers, number 3 does not parse");
    EXPECT_EQ(rejection(replace_line(text, 15, "four")), "bad.orj:15: the face's corner count is not an integer");
    EXPECT_EQ(rejection(replace_line(text, 20, "  0.0 0.0 1.0 1.0 0.0")),
              "bad.orj:20: a face's texture coordinates needs 6 numbers, number 6 does not parse");
    EXPECT_EQ(rejection(replace_line(text, 21, "  0.0 0.0 0.0 0.0 0.0 0.0 1.0 1.0 x")),
              "bad.orj:21: a frame line needs 9 numbers, number 9 does not parse");
}

TEST(SceneReject, NegativeAndOversizedCounts)
{
    std::string text = worked_example_text();
    EXPECT_EQ(rejection(replace_line(text, 2, " -2")), "bad.orj:2: the frame count is negative (-2)");
    EXPECT_EQ(rejection(replace_line(text, 1, " 2000000000")),
              "bad.orj:1: 2000000000 objects of 2 frames need at least 10000000000 more lines, the file has 26");
    EXPECT_EQ(rejection(replace_line(text, 6, " 5")),
              "bad.orj:5: 4 vertices and 5 faces need 26 more lines, the file has 22");
}

TEST(SceneReject, VertexNumbersOutsideTheMesh)
{
    std::string text = worked_example_text();
    EXPECT_EQ(rejection(replace_line(text, 16, "  1 2 3 5")), "bad.orj:16: vertex number 5 outside 1..4");
    EXPECT_EQ(rejection(replace_line(text, 18, "  0 1 2")), "bad.orj:18: vertex number 0 outside 1..4");
    EXPECT_EQ(rejection(replace_line(text, 18, "  1 2")),
              "bad.orj:18: the face needs 3 vertex numbers, number 3 does not parse");
}

TEST(SceneReject, OverlongLinesNamesAndWords)
{
    std::string text = worked_example_text();
    EXPECT_EQ(rejection(replace_line(text, 7, "  0 0 0" + std::string(992, ' '))),
              "bad.orj:7: line longer than 998 characters");
    EXPECT_EQ(rejection(replace_line(text, 3, " " + std::string(99, 'n'))),
              "bad.orj:3: the object name longer than 98 characters");
    EXPECT_EQ(rejection(replace_line(text, 4, " " + std::string(19, 'M'))),
              "bad.orj:4: the type word longer than 18 characters");
    EXPECT_EQ(rejection(replace_line(text, 28, " parent: '" + std::string(99, 'P') + "'.")),
              "bad.orj:28: parent name longer than 98 characters");
    EXPECT_EQ(rejection(replace_line(text, 28, " parent: ''")), "bad.orj:28: parent line shorter than 13 characters");
    EXPECT_EQ(rejection(replace_line(text, 3, "")), "bad.orj:3: the object name line is empty");
    EXPECT_EQ(rejection(replace_line(text, 3, std::string(" Pla\0no", 7))), "bad.orj:3: line holds a NUL byte");
    // In a number line a NUL ends the numbers, as it would for sscanf.
    EXPECT_EQ(rejection(replace_line(text, 7, std::string("  0.0\0 0.0 0.0", 15))),
              "bad.orj:7: a vertex position needs 3 numbers, number 2 does not parse");
    // The longest names and lines the format allows still load.
    Scene scene;
    Error error;
    std::string longest =
        replace_line(replace_line(text, 3, " " + std::string(98, 'n')), 7, "  0 0 0" + std::string(991, ' '));
    ASSERT_EQ(read_scene_text(&scene, longest.data(), longest.size(), "ok.orj", &error), ERROR_NONE) << error.message;
    EXPECT_EQ(std::string(scene.objects[0].name), std::string(98, 'n'));
    free_scene_records(&scene);
}

TEST(SceneReject, ObjectNamedNone)
{
    EXPECT_EQ(rejection(" 2\n 0\n none\n Lamp\n None\n none\n Lamp\n None\n"),
              "bad.orj:3: an object may not be named \"none\"");
}

TEST(SceneReject, CyclesThroughNamesakes)
{
    // The second A names A as its parent: reached from the root, it would be its own ancestor.
    EXPECT_EQ(rejection(" 3\n 0\n R\n Lamp\n None\n A\n Lamp\n xxxxxxxxxRxx\n A\n Lamp\n xxxxxxxxxAxx\n"),
              "bad.orj:11: object \"A\" is its own ancestor");
}

TEST(SceneReject, HierarchyDeeperThanTheMatrixStack)
{
    auto chain = [](int depth) {
        std::string text = " " + std::to_string(depth) + "\n 0\n o0\n Lamp\n None\n";
        for (int i = 1; i < depth; i++)
            text += " o" + std::to_string(i) + "\n Lamp\n xxxxxxxxxo" + std::to_string(i - 1) + "xx\n";
        return text;
    };
    Scene scene;
    Error error;
    std::string deepest = chain(30);
    ASSERT_EQ(read_scene_text(&scene, deepest.data(), deepest.size(), "ok.orj", &error), ERROR_NONE) << error.message;
    free_scene_records(&scene);
    EXPECT_EQ(rejection(chain(31)), "bad.orj:95: object \"o30\" lies deeper than 30 levels in the hierarchy");
}

TEST(SceneReject, NamesakesThatMakeTheWalkExplode)
{
    // Two objects of one name per level, each the child of both above.
    std::string text = " 40\n 0\n L0\n Lamp\n None\n L0\n Lamp\n None\n";
    for (int level = 1; level < 20; level++)
        for (int twin = 0; twin < 2; twin++)
            text += " L" + std::to_string(level) + "\n Lamp\n xxxxxxxxxL" + std::to_string(level - 1) + "xx\n";
    std::string message = rejection(text);
    EXPECT_NE(message.find("too large to walk"), std::string::npos) << message;
}

TEST(SceneReject, FileThatCannotBeOpened)
{
    Scene scene;
    Error error;
    EXPECT_NE(read_scene_file(&scene, "/nonexistent/scene.orj", &error), ERROR_NONE);
    EXPECT_EQ(error.kind, ERROR_CANNOT_OPEN);
    EXPECT_EQ(error.message, "/nonexistent/scene.orj: cannot open: No such file or directory");
    EXPECT_EQ(scene.objects, nullptr);
}

}  // namespace
