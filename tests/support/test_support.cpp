#include "tests/support/test_support.h"

#include <png.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

static std::string env_or(const char *name, const char *fallback)
{
    const char *value = getenv(name);
    return value ? value : fallback;
}

std::string source_path(const std::string &relative)
{
    return env_or("ENGINE_SOURCE_DIR", ENGINE_DEFAULT_SOURCE_DIR) + "/" + relative;
}

std::string binary_path(const std::string &relative)
{
    return env_or("ENGINE_BINARY_DIR", ENGINE_DEFAULT_BINARY_DIR) + "/" + relative;
}

// The folders make_temp_dir made, removed with all they hold when the test
// program ends (ENGINE_KEEP_TEMP=1 keeps them for a look after a failure);
// not by a forked child, such as a death test's, that exits first.
static std::vector<std::string> temp_dirs;
static int temp_dirs_owner;

static void remove_temp_dirs()
{
    if (getpid() != temp_dirs_owner || env_or("ENGINE_KEEP_TEMP", "") == "1") return;
    for (const std::string &dir : temp_dirs) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
}

static std::string remember_temp_dir(const std::string &dir)
{
    if (temp_dirs.empty()) {
        temp_dirs_owner = getpid();
        atexit(remove_temp_dirs);
    }
    temp_dirs.push_back(dir);
    return dir;
}

std::string make_temp_dir(const std::string &tag)
{
    // The system's temporary directory (TMPDIR on POSIX, TEMP on Windows); a
    // directory that create_directory made is ours alone.
    namespace fs = std::filesystem;
    fs::path base = fs::temp_directory_path();
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; attempt++) {
        char suffix[16];
        snprintf(suffix, sizeof suffix, "%06x", (unsigned)(random() & 0xffffff));
        fs::path dir = base / ("engine-" + tag + "-" + suffix);
        std::error_code error;
        if (fs::create_directory(dir, error)) return remember_temp_dir(dir.generic_string());
    }
    throw std::runtime_error("cannot make a temporary directory in " + base.string());
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string &path, const std::string &contents)
{
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

bool file_exists_at(const std::string &path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

double now_seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool read_png_rgb(const char *path, int *width, int *height, std::vector<uint8_t> *rgb)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    image.format = PNG_FORMAT_RGB;
    rgb->resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    *width = (int)image.width;
    *height = (int)image.height;
    return true;
}

// True while pid has not ended (it may have ended without being reaped: a
// zombie counts as ended).
static bool still_running(pid_t pid)
{
    std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    size_t paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
}

bool wait_until_playing(const ProgramRun &run, double timeout_seconds)
{
    double start = now_seconds();
    while (now_seconds() - start < timeout_seconds) {
        if (read_file(run.stderr_path).find("viewer: renderer ") != std::string::npos) return true;
        // A viewer that ended before playing will never play: say so now.
        if (!still_running(run.pid)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}
