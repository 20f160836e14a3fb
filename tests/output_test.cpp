// Writing outputs: nothing is replaced until it is whole, a failure leaves
// the old file and no temporary one, special files and links are refused
// without waiting, one file under two names is one file, a set committed by
// two writers at once is never mixed; the image writers give back what they
// were given.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "orj/core/base/output_file.h"
#include "orj/core/image/image_write.h"
#include "tests/support/test_support.h"

using namespace orj;

namespace {

namespace fs = std::filesystem;

int entries(const std::string &dir)
{
    int count = 0;
    for (const auto &entry : fs::directory_iterator(dir)) count += entry.path().filename() != "filler";
    return count;
}

TEST(OutputFile, ReplacesTheOldFileOnlyWhenWhole)
{
    std::string dir = make_temp_dir("output");
    std::string path = dir + "/out.txt";
    write_file(path, "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    Error error;
    ASSERT_EQ(write_output_file(path.c_str(), "new", 3, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(read_file(path), "new");
    if (have_posix_shell()) {  // Windows keeps only a read-only bit
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }

    // Written but discarded: the old file stays, the temporary goes.
    OutputFile output;
    ASSERT_EQ(output_file_begin(path.c_str(), &output, &error), ERROR_NONE);
    ASSERT_EQ(output_file_write(&output, "partial", 7, &error), ERROR_NONE);
    output_file_discard(&output);
    EXPECT_EQ(read_file(path), "new");
    EXPECT_EQ(entries(dir), 1);

    // Staged, then written through a stream of its own (as the model
    // library's writers do): committed with what that stream wrote.
    ASSERT_EQ(output_file_begin(path.c_str(), &output, &error), ERROR_NONE);
    FILE *own = fopen(output.temp_path.c_str(), "wb");
    ASSERT_NE(own, nullptr) << strerror(errno);
    fputs("staged", own);
    fclose(own);
    ASSERT_EQ(output_file_commit(&output, &error), ERROR_NONE) << error.message;
    EXPECT_EQ(read_file(path), "staged");

    std::string missing = dir + "/no/such/out.txt";
    EXPECT_EQ(write_output_file(missing.c_str(), "x", 1, &error), ERROR_CANNOT_WRITE);
    EXPECT_EQ(error.message, missing + ": cannot be written: No such file or directory");
    EXPECT_EQ(check_output_path(missing.c_str(), &error), ERROR_CANNOT_WRITE);
}

TEST(OutputFile, SpecialFilesAndLinksAreRefusedWithoutWaiting)
{
    if (!have_posix_shell()) GTEST_SKIP() << "FIFOs and symbolic links are POSIX cases";
    std::string dir = make_temp_dir("output-special");
    write_file(dir + "/target", "kept");
    ASSERT_EQ(run_shell("mkfifo '" + dir + "/fifo' && ln -s target '" + dir + "/link' && ln -s gone '" + dir +
                        "/dangling' && mkdir '" + dir + "/folder'"),
              0);
    struct Case {
        const char *name, *what;
    } cases[] = {{"fifo", "is a FIFO"},
                 {"link", "is a symbolic link"},
                 {"dangling", "is a symbolic link"},
                 {"folder", "is a directory"}};
    for (const Case &c : cases) {
        std::string path = dir + "/" + c.name;
        Error error;
        double start = now_seconds();
        EXPECT_EQ(check_output_path(path.c_str(), &error), ERROR_REFUSED) << c.name;
        EXPECT_EQ(write_output_file(path.c_str(), "x", 1, &error), ERROR_REFUSED) << c.name;
        EXPECT_LT(now_seconds() - start, 5.0) << c.name;
        EXPECT_EQ(error.message, path + ": " + c.what + ", not a regular file: refused, nothing written");
    }
    EXPECT_EQ(read_file(dir + "/target"), "kept");
    EXPECT_FALSE(file_exists_at(dir + "/gone"));
    EXPECT_EQ(entries(dir), 5);
}

TEST(OutputFile, OneFileUnderTwoNamesIsRefused)
{
    std::string dir = make_temp_dir("output-names");
    write_file(dir + "/scene.orj", "scene");
    Error error;
    EXPECT_EQ(check_output_paths({dir + "/scene.orj"}, {dir + "/./scene.orj"}, &error), ERROR_REFUSED);
    EXPECT_EQ(error.message,
              dir + "/./scene.orj: the output is the input " + dir + "/scene.orj: refused, nothing written");
    fs::create_directory(dir + "/sub");
    EXPECT_EQ(check_output_paths({}, {dir + "/new.png", dir + "/sub/../new.png"}, &error), ERROR_REFUSED);
    if (have_posix_shell()) {
        ASSERT_EQ(run_shell("ln '" + dir + "/scene.orj' '" + dir + "/hard.orj'"), 0);
        EXPECT_EQ(check_output_paths({dir + "/scene.orj"}, {dir + "/hard.orj"}, &error), ERROR_REFUSED);
    }
    EXPECT_EQ(check_output_paths({dir + "/scene.orj"}, {dir + "/other.orj"}, &error), ERROR_NONE);
}

TEST(OutputFile, FullDiskLeavesEveryOldFile)
{
    std::string reason;
    std::string dir = make_small_disk("output-full", &reason);
    if (dir.empty()) GTEST_SKIP() << reason;
    write_file(dir + "/a", "old a");
    write_file(dir + "/b", "old b");
    fill_small_disk(dir);
    std::string big(64 * 1024, 'x');
    Error error;
    EXPECT_EQ(write_output_file((dir + "/a").c_str(), big.data(), big.size(), &error), ERROR_CANNOT_WRITE);
    EXPECT_EQ(error.message, dir + "/a: cannot be written: No space left on device");

    // A set: the first file fits, the second does not, and neither is replaced.
    OutputFile a, b;
    ASSERT_EQ(output_file_begin((dir + "/a").c_str(), &a, &error), ERROR_NONE) << error.message;
    ASSERT_EQ(output_file_begin((dir + "/b").c_str(), &b, &error), ERROR_NONE) << error.message;
    output_file_write(&a, "", 0, &error);
    output_file_write(&b, big.data(), big.size(), &error);
    OutputFile *set[2] = {&a, &b};
    EXPECT_EQ(output_files_commit(set, 2, &error), ERROR_CANNOT_WRITE);
    EXPECT_EQ(error.message, dir + "/b: cannot be written: No space left on device");
    EXPECT_EQ(read_file(dir + "/a"), "old a");
    EXPECT_EQ(read_file(dir + "/b"), "old b");
    EXPECT_EQ(entries(dir), 2);
}

// Two writers commit the same pair at once, many times over: after each
// round the pair is one writer's, whichever came last.
TEST(OutputFile, TwoWritersOfOneSetNeverMixIt)
{
    std::string dir = make_temp_dir("output-set");
    std::string paths[2] = {dir + "/sprite.jpg", dir + "/sprite.anim"};
    for (int round = 0; round < 100; round++) {
        auto commit = [&](int writer) {
            std::string text = std::to_string(round) + "/" + std::to_string(writer);
            OutputFile files[2];
            OutputFile *set[2] = {&files[0], &files[1]};
            for (int i = 0; i < 2; i++) {
                output_file_begin(paths[i].c_str(), &files[i], nullptr);
                output_file_write(&files[i], text.data(), text.size(), nullptr);
            }
            output_files_commit(set, 2, nullptr);
        };
        std::thread first(commit, 0), second(commit, 1);
        first.join();
        second.join();
        ASSERT_EQ(read_file(paths[0]), read_file(paths[1])) << "round " << round;
    }
}

TEST(ImageWrite, TgaAndPngGiveBackWhatTheyWereGiven)
{
    Image rgba = {3, 2, true, {}};
    for (int i = 0; i < 6; i++)
        rgba.rgba.insert(rgba.rgba.end(), {(uint8_t)(40 * i), 7, (uint8_t)(250 - i), (uint8_t)(i * 50)});
    Image rgb = rgba;
    rgb.has_alpha = false;
    for (size_t i = 3; i < rgb.rgba.size(); i += 4) rgb.rgba[i] = 255;
    Error error;
    for (const Image *image : {&rgba, &rgb}) {
        std::vector<uint8_t> tga, png;
        ASSERT_EQ(encode_tga(*image, "t.tga", &tga, &error), ERROR_NONE);
        ASSERT_EQ(encode_png(*image, "t.png", &png, &error), ERROR_NONE);
        // Rows bottom first, blue green red (alpha): the bottom-left pixel comes first.
        int depth = image->has_alpha ? 4 : 3;
        ASSERT_EQ(tga.size(), 18u + 6u * depth);
        EXPECT_EQ(tga[16], 8 * depth);
        EXPECT_EQ(tga[17], image->has_alpha ? 8 : 0);
        EXPECT_EQ(tga[18], image->rgba[3 * 4 + 2]);
        EXPECT_EQ(tga[20], image->rgba[3 * 4 + 0]);
        for (const std::vector<uint8_t> *bytes : {&tga, &png}) {
            Image back;
            ASSERT_EQ(decode_image(bytes->data(), bytes->size(), "back", &back, &error), ERROR_NONE) << error.message;
            EXPECT_EQ(back.width, 3);
            EXPECT_EQ(back.height, 2);
            EXPECT_EQ(back.has_alpha, image->has_alpha);
            EXPECT_EQ(back.rgba, image->rgba);
        }
    }
    Image wide = {65536, 1, false, std::vector<uint8_t>(65536 * 4)};
    std::vector<uint8_t> tga;
    EXPECT_EQ(encode_tga(wide, "wide.tga", &tga, &error), ERROR_TOO_LARGE);
}

}  // namespace
