// The engine's version: one number for every program it builds. Programs
// print it for --version through command_line_answer (orj/core/base/command_line.h).
#pragma once

#include "orj/core/base/version_number.h"  // ORJ_VERSION, made from the project's version
