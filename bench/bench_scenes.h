// The benchmarks' generated scene and their clocks.
#pragma once

#include <string>
#include <vector>

struct BenchSize {
    int mesh_count;
    int grid;  // vertices along each side of a mesh's grid
    int frame_count;
    int runs;
};

// The sizes of a full run and of the --short run CTest makes.
static const BenchSize FULL_BENCH_SIZE = {8, 256, 250, 7};
static const BenchSize SHORT_BENCH_SIZE = {2, 60, 20, 2};

// Meshes of a wavy grid each (two triangles per cell, the first cell of each
// row a quad), a camera and a lamp, every object animated over all frames;
// the same geometry goes to the OBJ text with one vt per face corner.
void make_scene_texts(const BenchSize &size, std::string *scene, std::string *obj, long long *triangles);

bool write_text(const std::string &path, const std::string &text);

// CPU time of the calling thread, user and system, in seconds.
double cpu_seconds();

double median(std::vector<double> values);
