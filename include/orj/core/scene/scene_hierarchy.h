/// @file
/// Linking objects to their parents by name, checking that the walk from the
/// roots ends, and the parent-relative fix-up of locations.
#pragma once

#include <cstdint>
#include <vector>

#include "orj/core/scene/scene.h"

/// Objects on one path from a root, the root included: the modelview stack
/// holds 32 matrices, one taken by the current matrix and one by the viewer.
#define SCENE_MAX_DEPTH 30

/// How many object visits, per object, the walk from the roots may make
/// before namesakes are taken to make it explode.
#define SCENE_WALK_BUDGET_PER_OBJECT 16

namespace orj {

/// Children by parent name: links[first[i] .. first[i + 1]) are the children of
/// object i in increasing index order; parent[j] is the highest object named
/// j's parent name, -1 for a root or a parent name that matches nothing.
struct SceneLinks {
    std::vector<int32_t> first;   ///< object_count + 1 offsets into links
    std::vector<int32_t> links;   ///< the children of every object, one run per object
    std::vector<int32_t> parent;  ///< object_count parent indices (-1: none)
};

/// What the hierarchy checks found; the reader turns each into its message.
enum HierarchyProblem {
    HIERARCHY_OK,              ///< nothing wrong
    HIERARCHY_NAMED_NONE,      ///< object is named "none"
    HIERARCHY_TOO_MANY_LINKS,  ///< namesakes make more parent links than the budget
    HIERARCHY_CYCLE,           ///< object is its own ancestor on a path from a root
    HIERARCHY_TOO_DEEP,        ///< object lies deeper than SCENE_MAX_DEPTH
    HIERARCHY_WALK_TOO_LONG,   ///< the walk from the roots exceeds its budget
};

/// The outcome of a hierarchy check.
struct HierarchyCheck {
    HierarchyProblem problem;  ///< HIERARCHY_OK when the scene passed
    int32_t object;            ///< the object the problem was found at
};

/// Builds links from the names, parent names and is_root flags of the objects.
/// Fails (HIERARCHY_NAMED_NONE or HIERARCHY_TOO_MANY_LINKS) before building a
/// list that the namesakes would make too long.
HierarchyCheck link_scene_objects(const SceneObject *objects, int32_t object_count, SceneLinks *links);

/// One subtraction of the fix-up: object's locations minus parent's frame-0 location.
struct FixUpStep {
    int32_t object;  ///< the object whose locations change
    int32_t parent;  ///< the parent whose frame-0 location is subtracted
};

/// Walks from every root, in index order, through links without recursion,
/// and checks that the walk ends within the reader's limits. When steps is not
/// null it receives the subtractions make_relative makes, in its order
/// (post-order), for a scene that passes.
HierarchyCheck check_scene_walk(const SceneObject *objects, int32_t object_count, const SceneLinks *links,
                                std::vector<FixUpStep> *steps);

}  // namespace orj
