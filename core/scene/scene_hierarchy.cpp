#include "core/scene/scene_hierarchy.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

static std::string_view name_of(const char *text)
{
    return std::string_view(text, strnlen(text, 100));
}

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
    int32_t next_link;
};

HierarchyCheck check_scene_walk(const SceneObject *objects, int32_t object_count, const SceneLinks *links)
{
    size_t count = object_count > 0 ? (size_t)object_count : 0;
    std::vector<uint8_t> on_path(count, 0);
    std::vector<WalkEntry> path;
    path.reserve(SCENE_MAX_DEPTH);
    int64_t budget = (int64_t)SCENE_WALK_BUDGET_PER_OBJECT * (int64_t)count;
    int64_t visits = 0;
    for (size_t root = 0; root < count; root++) {
        if (!objects[root].is_root) continue;
        path.push_back({(int32_t)root, links->first[root]});
        on_path[root] = 1;
        visits++;
        while (!path.empty()) {
            WalkEntry &top = path.back();
            if (top.next_link == links->first[(size_t)top.object + 1]) {
                on_path[(size_t)top.object] = 0;
                path.pop_back();
                continue;
            }
            int32_t child = links->links[(size_t)top.next_link++];
            if (on_path[(size_t)child]) return {HIERARCHY_CYCLE, child};
            if (path.size() >= SCENE_MAX_DEPTH) return {HIERARCHY_TOO_DEEP, child};
            if (++visits > budget) return {HIERARCHY_WALK_TOO_LONG, child};
            on_path[(size_t)child] = 1;
            path.push_back({child, links->first[(size_t)child]});
        }
    }
    return {HIERARCHY_OK, -1};
}

std::vector<FixUpStep> list_fix_up_steps(const SceneObject *objects, int32_t object_count, const SceneLinks *links)
{
    std::vector<FixUpStep> steps;
    std::vector<WalkEntry> path;
    for (int32_t root = 0; root < object_count; root++) {
        if (!objects[root].is_root) continue;
        path.push_back({root, links->first[(size_t)root]});
        while (!path.empty()) {
            WalkEntry &top = path.back();
            if (top.next_link < links->first[(size_t)top.object + 1] && path.size() < SCENE_MAX_DEPTH) {
                int32_t child = links->links[(size_t)top.next_link++];
                path.push_back({child, links->first[(size_t)child]});
                continue;
            }
            int32_t done = top.object;
            path.pop_back();
            if (!objects[done].is_root) steps.push_back({done, links->parent[(size_t)done]});
        }
    }
    return steps;
}

void apply_fix_up_step(Scene *scene, FixUpStep step)
{
    if (scene->frame_count <= 0) return;
    SceneObject *object = &scene->objects[step.object];
    // A copy: the parent's frame 0 is read once, as it stands before this step.
    Vector3 origin = scene->objects[step.parent].locations[0];
    for (int32_t f = 0; f < scene->frame_count; f++) {
        object->locations[f].x -= origin.x;
        object->locations[f].y -= origin.y;
        object->locations[f].z -= origin.z;
    }
}

void make_relative(Scene *scene, int index)
{
    // Post-order without recursion; the reader has rejected cycles and deep trees.
    std::vector<WalkEntry> path;
    path.push_back({index, 0});
    while (!path.empty()) {
        WalkEntry &top = path.back();
        const SceneObject *object = &scene->objects[top.object];
        if (top.next_link < object->child_count && path.size() < SCENE_MAX_DEPTH) {
            int32_t child = object->children[top.next_link++];
            path.push_back({child, 0});
            continue;
        }
        int32_t done = top.object;
        path.pop_back();
        if (!scene->objects[done].is_root) apply_fix_up_step(scene, {done, scene->objects[done].parent});
    }
}
