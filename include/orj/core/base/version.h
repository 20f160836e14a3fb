/// @file
/// The engine's version: one number for every program it builds. Programs
/// print it for `--version` through command_line_answer (orj/core/base/command_line.h).
///
/// The macros come from orj/core/base/version_number.h, which the build makes
/// from the project's version: ORJ_VERSION, the text "MAJOR.MINOR.PATCH", and
/// ORJ_VERSION_MAJOR, ORJ_VERSION_MINOR and ORJ_VERSION_PATCH, its parts as
/// whole numbers.
#pragma once

#include "orj/core/base/version_number.h"  // ORJ_VERSION, made from the project's version
