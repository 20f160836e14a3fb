#include "orj/core/scene/scene_hierarchy.h"

#include <cassert>
#include <cstring>
#include <utility>
#include <string_view>
#include <unordered_map>

namespace orj {

static std::string_view name_of(const char *text) { return std::string_view(text, strnlen(text, 100)); }

HierarchyCheck link_scene_objects(const SceneObject *objects, int32_t object_count, SceneLinks *links)
{
    size_t count = object_count > 0 ? (size_t)object_count : 0;
    links->first.assign(count + 1, 0);
    links->links.clear();
    links->parent.assign(count, -1);

    // Objects of one name, chained in increasing index order.
    std::unordered_map<std::string_view, int32_t> first_named;
    std::vector<int32_t> next_namesake(count, -1);
    first_named.reserve(count);
    for (size_t i = 0; i < count; i++)
        if (name_of(objects[i].name) == "none") return {HIERARCHY_NAMED_NONE, (int32_t)i};
    for (int32_t i = (int32_t)count - 1; i >= 0; i--) {
        std::string_view name = name_of(objects[i].name);
        auto found = first_named.find(name);
        if (found != first_named.end()) {
            next_namesake[i] = found->second;
            found->second = i;
        } else {
            first_named.emplace(name, i);
        }
    }

    // The parent chain of every object that has one (-1 for none), counted first.
    std::vector<int32_t> parent_chain(count, -1);
    std::vector<int32_t> child_count(count, 0);
    int64_t budget = (int64_t)SCENE_WALK_BUDGET_PER_OBJECT * (int64_t)count;
    int64_t total = 0;
    for (size_t j = 0; j < count; j++) {
        if (objects[j].is_root) continue;
        auto found = first_named.find(name_of(objects[j].parent_name));
        if (found == first_named.end()) continue;
        parent_chain[j] = found->second;
        for (int32_t i = found->second; i >= 0; i = next_namesake[i]) {
            child_count[i]++;
            links->parent[j] = i;
            if (++total > budget) return {HIERARCHY_TOO_MANY_LINKS, (int32_t)j};
        }
    }
    for (size_t i = 0; i < count; i++) links->first[i + 1] = links->first[i] + child_count[i];
    links->links.resize((size_t)total);
    std::vector<int32_t> filled(links->first.begin(), links->first.end() - 1);
    for (size_t j = 0; j < count; j++)
        for (int32_t i = parent_chain[j]; i >= 0; i = next_namesake[i]) links->links[(size_t)filled[i]++] = (int32_t)j;
    return {HIERARCHY_OK, -1};
}

struct WalkEntry {
    int32_t object;
    int32_t next_child;
};

// The one walk of the hierarchy: post-order from root, without recursion,
// through children_of(object) -> {first child, count}. left(object) is called
// as each object is left, children before their parent. With on_path (all
// zeros, left so) a cycle is a problem; with visits_left, more visits than
// that many. A path deeper than SCENE_MAX_DEPTH is always one.
template <typename ChildrenOf, typename Left>
static HierarchyCheck walk_subtree(int32_t root, ChildrenOf children_of, std::vector<uint8_t> *on_path,
                                   int64_t *visits_left, Left left)
{
    std::vector<WalkEntry> path;
    path.reserve(SCENE_MAX_DEPTH);
    path.push_back({root, 0});
    if (on_path) (*on_path)[(size_t)root] = 1;
    if (visits_left) --*visits_left;
    while (!path.empty()) {
        WalkEntry &top = path.back();
        std::pair<const int32_t *, int32_t> children = children_of(top.object);
        if (top.next_child == children.second) {
            int32_t done = top.object;
            if (on_path) (*on_path)[(size_t)done] = 0;
            path.pop_back();
            left(done);
            continue;
        }
        int32_t child = children.first[top.next_child++];
        if (on_path && (*on_path)[(size_t)child]) return {HIERARCHY_CYCLE, child};
        if (path.size() >= SCENE_MAX_DEPTH) return {HIERARCHY_TOO_DEEP, child};
        if (visits_left && --*visits_left < 0) return {HIERARCHY_WALK_TOO_LONG, child};
        if (on_path) (*on_path)[(size_t)child] = 1;
        path.push_back({child, 0});
    }
    return {HIERARCHY_OK, -1};
}

HierarchyCheck check_scene_walk(const SceneObject *objects, int32_t object_count, const SceneLinks *links,
                                std::vector<FixUpStep> *steps)
{
    size_t count = object_count > 0 ? (size_t)object_count : 0;
    assert(links->first.size() == count + 1 && links->parent.size() == count);
    std::vector<uint8_t> on_path(count, 0);
    int64_t visits_left = (int64_t)SCENE_WALK_BUDGET_PER_OBJECT * (int64_t)count;
    auto children_of = [links](int32_t i) {
        int32_t first = links->first[(size_t)i];
        return std::make_pair(links->links.data() + first, links->first[(size_t)i + 1] - first);
    };
    auto left = [objects, links, steps](int32_t done) {
        if (steps && !objects[done].is_root) steps->push_back({done, links->parent[(size_t)done]});
    };
    if (steps) steps->clear();
    for (size_t root = 0; root < count; root++) {
        if (!objects[root].is_root) continue;
        HierarchyCheck check = walk_subtree((int32_t)root, children_of, &on_path, &visits_left, left);
        if (check.problem != HIERARCHY_OK) return check;
    }
    return {HIERARCHY_OK, -1};
}

// One subtraction of the fix-up: the parent's frame-0 location, read once as
// it stands before this step, from every frame of the object's locations.
static void apply_fix_up_step(Scene *scene, FixUpStep step)
{
    if (scene->frame_count <= 0) return;
    SceneObject *object = &scene->objects[step.object];
    Vector3 origin = scene->objects[step.parent].locations[0];
    for (int32_t f = 0; f < scene->frame_count; f++) {
        object->locations[f].x -= origin.x;
        object->locations[f].y -= origin.y;
        object->locations[f].z -= origin.z;
    }
}

void make_relative(Scene *scene, int index)
{
    const SceneObject *objects = scene->objects;
    auto children_of = [objects](int32_t i) { return std::make_pair(objects[i].children, objects[i].child_count); };
    auto left = [scene](int32_t done) {
        const SceneObject *object = &scene->objects[done];
        if (!object->is_root) apply_fix_up_step(scene, {done, object->parent});
    };
    // The reader has rejected cycles, long walks and deep trees.
    HierarchyCheck check = walk_subtree(index, children_of, nullptr, nullptr, left);
    assert(check.problem == HIERARCHY_OK);
    (void)check;
}

}  // namespace orj
