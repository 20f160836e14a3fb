// The benchmarks' generated scene, in the scene format and as OBJ text.
#include "bench/bench_scenes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "orj/core/base/output_file.h"

double cpu_seconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

static void put_number(std::string *out, float value)
{
    char buffer[32];
    std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    out->append(buffer, written.ptr);
}

static void put_numbers(std::string *out, const char *prefix, std::initializer_list<float> values)
{
    out->append(prefix);
    bool first = true;
    for (float value : values) {
        if (!first) out->push_back(' ');
        first = false;
        put_number(out, value);
    }
    out->push_back('\n');
}

void make_scene_texts(const BenchSize &size, std::string *scene, std::string *obj, long long *triangles)
{
    int n = size.grid;
    scene->append(" " + std::to_string(size.mesh_count + 2) + "\n " + std::to_string(size.frame_count) + "\n");
    long long vertex_base = 0, texture_base = 0;
    *triangles = 0;
    for (int m = 0; m < size.mesh_count; m++) {
        std::string name = "malla" + std::to_string(m);
        scene->append(" " + name + "\n Mesh\n " + std::to_string(n * n) + "\n");
        // Per row: one quad and 2 (n - 2) triangles.
        long long faces = (long long)(n - 1) * (1 + 2 * (n - 2));
        scene->append(" " + std::to_string(faces) + "\n");
        obj->append("o " + name + "\n");
        for (int y = 0; y < n; y++)
            for (int x = 0; x < n; x++) {
                float px = x * 0.01f + m, py = y * 0.01f, pz = 0.1f * std::sin(x * 0.3f) * std::cos(y * 0.2f);
                float nx = -0.03f * std::cos(x * 0.3f), ny = 0.02f * std::sin(y * 0.2f), nz = 1.0f;
                put_numbers(scene, "  ", {px, py, pz});
                put_numbers(scene, "  ", {nx, ny, nz});
                put_numbers(obj, "v ", {px, py, pz});
                put_numbers(obj, "vn ", {nx, ny, nz});
            }
        std::string corners, textures;
        for (int y = 0; y + 1 < n; y++)
            for (int x = 0; x + 1 < n; x++) {
                long long a = (long long)y * n + x + 1, b = a + 1, c = a + n + 1, d = a + n;
                float s0 = (float)x / n, t0 = (float)y / n, s1 = (float)(x + 1) / n, t1 = (float)(y + 1) / n;
                std::vector<std::vector<long long>> polygons;
                std::vector<std::vector<float>> tex;
                if (x == 0) {
                    polygons = {{a, b, c, d}};
                    tex = {{s0, t0, s1, t0, s1, t1, s0, t1}};
                } else {
                    polygons = {{a, b, c}, {a, c, d}};
                    tex = {{s0, t0, s1, t0, s1, t1}, {s0, t0, s1, t1, s0, t1}};
                }
                for (size_t p = 0; p < polygons.size(); p++) {
                    corners += polygons[p].size() == 4 ? "4\n " : "3\n ";
                    std::string face = "f";
                    for (size_t k = 0; k < polygons[p].size(); k++) {
                        long long v = polygons[p][k];
                        corners += " " + std::to_string(v);
                        texture_base++;
                        face += " " + std::to_string(vertex_base + v) + "/" + std::to_string(texture_base) + "/" +
                                std::to_string(vertex_base + v);
                        put_numbers(obj, "vt ", {tex[p][2 * k], tex[p][2 * k + 1]});
                    }
                    obj->append(face + "\n");
                    corners += "\n";
                    textures += "  ";
                    for (size_t k = 0; k < tex[p].size(); k++) {
                        if (k > 0) textures += ' ';
                        put_number(&textures, tex[p][k]);
                    }
                    textures += "\n";
                    *triangles += polygons[p].size() == 4 ? 2 : 1;
                }
            }
        scene->append(corners);
        scene->append(textures);
        vertex_base += (long long)n * n;
        for (int f = 0; f < size.frame_count; f++)
            put_numbers(scene, "  ", {(float)m, 0.01f * f, 0.0f, 0.0f, 0.0f, 0.001f * f, 1.0f, 1.0f, 1.0f});
        scene->append(" None\n");
    }
    const char *others[2][2] = {{"camara1", "Camera"}, {"luz", "Lamp"}};
    for (auto &other : others) {
        scene->append(std::string(" ") + other[0] + "\n " + other[1] + "\n");
        for (int f = 0; f < size.frame_count; f++)
            put_numbers(scene, "  ", {0.0f, -5.0f + 0.01f * f, 1.0f, 1.5708f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f});
        scene->append(" parent: 'malla0'.\n");
    }
}

bool write_text(const std::string &path, const std::string &text)
{
    return orj::write_output_file(path.c_str(), text.data(), text.size(), nullptr) == orj::ERROR_NONE;
}
