// read_scene_file reads through a window that is refilled as it goes: files
// larger than the window, broken anywhere, must give what the whole text gives.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "orj/core/scene/scene_reader.h"
#include "orj/core/scene/scene_writer.h"
#include "tests/support/test_support.h"

using namespace orj;

namespace {

// One mesh of count vertices in a strip (a quad then triangles), about 80
// bytes a vertex, and a camera below it.
std::string strip_scene(int count)
{
    std::string vertices, corners, textures;
    for (int v = 0; v < count; v++) {
        vertices += "  " + std::to_string(v * 0.125) + " 0.333333 -1.5e-3\n  0 0 1\n";
    }
    int faces = 0;
    for (int v = 0; v + 3 < count; v += 2, faces++) {
        bool quad = faces % 7 == 0;
        corners += quad ? "4\n  " : "3\n  ";
        corners += std::to_string(v + 1) + " " + std::to_string(v + 2) + " " + std::to_string(v + 3);
        if (quad) corners += " " + std::to_string(v + 4);
        corners += "\n";
        textures += quad ? "  0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8\n" : "  0.25 0.5 0.75 1 0 0.0625\n";
    }
    return " 2\n 1\n Tira\n Mesh\n " + std::to_string(count) + "\n " + std::to_string(faces) + "\n" + vertices +
           corners + textures +
           "  1 2 3 0 0 0.5 1 1 1\n None\n Camara\n Camera\n  0 -5 1 1.5708 0 0 1 1 1\n parent: 'Tira'.\n";
}

struct Outcome {
    ErrorKind kind;
    std::string message;
    std::string records;  // the records written back, when read
};

Outcome read_from_text(const std::string &text, const std::string &path)
{
    Scene scene;
    Error error;
    Outcome outcome = {read_scene_text(&scene, text.data(), text.size(), path.c_str(), &error), error.message, ""};
    if (outcome.kind == ERROR_NONE) write_scene_text(&scene, LOCATIONS_RELATIVE, &outcome.records, &error);
    free_scene_records(&scene);
    return outcome;
}

Outcome read_from_file(const std::string &path)
{
    Scene scene;
    Error error;
    Outcome outcome = {read_scene_file(&scene, path.c_str(), &error), error.message, ""};
    if (outcome.kind == ERROR_NONE) write_scene_text(&scene, LOCATIONS_RELATIVE, &outcome.records, &error);
    free_scene_records(&scene);
    return outcome;
}

std::string replace_line(const std::string &text, size_t line_number, const std::string &line)
{
    size_t start = 0;
    for (size_t i = 1; i < line_number; i++) start = text.find('\n', start) + 1;
    return text.substr(0, start) + line + text.substr(text.find('\n', start));
}

TEST(SceneFile, ReadsAsTheWholeTextDoesWhereverItIsBroken)
{
    std::string dir = make_temp_dir("scene-file"), path = dir + "/s.orj";
    std::string whole = strip_scene(30000);  // about 1.9 MB: the window is refilled
    ASSERT_GT(whole.size(), 1u << 20);
    size_t middle_line = 40000;  // a vertex line past the first window
    std::vector<std::string> texts = {
        whole,
        whole.substr(0, whole.size() - 1),      // no newline at the end
        whole.substr(0, (1 << 20) + 17),        // cut inside a line past the first window
        whole.substr(0, whole.size() / 2),      // cut far from the promised end
        replace_line(whole, 5, " 30001"),       // one vertex more: the next lines are misread
        replace_line(whole, 5, " 30010"),       // more vertices than the lines left hold
        replace_line(whole, 1, " 40000"),       // objects the file cannot hold
        replace_line(whole, 1, " 2000000000"),  // nor its bytes
        replace_line(whole, middle_line, "  1 2 3" + std::string(5000, ' ')),  // longer than the margin
        replace_line(whole, middle_line, "  1 2 3" + std::string(992, ' ')),   // just too long
        replace_line(whole, middle_line, "  1 x 3"),
        replace_line(whole, 5, " 30010") + std::string(5000, 'x'),  // a long last line after a broken promise
    };
    for (size_t i = 0; i < texts.size(); i++) {
        write_file(path, texts[i]);
        Outcome text = read_from_text(texts[i], path), file = read_from_file(path);
        EXPECT_EQ(file.kind, text.kind) << "case " << i << ": " << text.message;
        EXPECT_EQ(file.message, text.message) << "case " << i;
        EXPECT_TRUE(file.records == text.records) << "case " << i;
        EXPECT_EQ(text.kind == ERROR_NONE, i < 2) << "case " << i << ": " << text.message;
    }
    remove(path.c_str());
    rmdir(dir.c_str());
}

TEST(SceneFile, RefusesWhatIsNotARegularFileAtOnce)
{
    if (!have_posix_shell()) GTEST_SKIP() << "needs a FIFO";
    std::string dir = make_temp_dir("scene-file"), fifo = dir + "/pipe.orj";
    ASSERT_EQ(run_shell("mkfifo '" + fifo + "'"), 0);
    // A FIFO without a writer would block a reader that waits for one.
    EXPECT_EQ(read_from_file(fifo).message, fifo + ": not a regular file");
    EXPECT_EQ(read_from_file(dir).message, dir + ": is a directory");
    Outcome zero = read_from_file("/dev/zero");
    EXPECT_EQ(zero.kind, ERROR_CANNOT_OPEN);
    EXPECT_EQ(zero.message, "/dev/zero: not a regular file");
    remove(fifo.c_str());
    rmdir(dir.c_str());
}

}  // namespace
