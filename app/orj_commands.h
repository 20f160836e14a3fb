// The subcommands of the orj scene tool; main turns their results into the exit status.
#pragma once

#include <cstdio>

#include "orj/core/scene/scene.h"

using namespace orj;

// Reads path with the scene reader; on failure prints the reader's message
// on standard error and returns false.
bool orj_read_scene(const char *path, Scene *scene);

// A short human summary of a loaded scene: counts and the object tree.
void orj_print_info(const Scene *scene, const char *path, FILE *out);

// The loaded records as JSON text (one line, newline-terminated).
void orj_print_dump(const Scene *scene, FILE *out);
