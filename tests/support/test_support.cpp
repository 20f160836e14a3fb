#include "tests/support/test_support.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

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
        if (fs::create_directory(dir, error)) return dir.generic_string();
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
