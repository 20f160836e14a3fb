#include "importer/orj_import_convert.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>

#include "orj/core/scene/scene_hierarchy.h"
#include "orj/core/scene/scene_reader.h"
#include "importer/orj_import_animation.h"
#include "importer/orj_import_deform.h"
#include "importer/orj_import_files.h"
#include "importer/orj_import_framing.h"
#include "importer/orj_import_math.h"
#include "importer/orj_import_mesh.h"
#include "importer/orj_import_names.h"

namespace orj {

namespace {

// How an object's per-frame transform is found.
enum Role {
    ROLE_NODE,          // the node's local matrix
    ROLE_FIXED,         // a fixed matrix under its parent (further meshes of a node, groups, skinned parts)
    ROLE_CAMERA,        // a root solved from the camera's world placement
    ROLE_LAMP_AT_NODE,  // a lamp standing in for its node: the light's place in the parent's frame
    ROLE_LAMP_IN_NODE,  // a lamp under its node's object: the light's place in the node's frame
};

struct Plan {
    Role role;
    int node;       // index into the node list, -1 for none
    int source;     // camera or light index
    Matrix4 fixed;  // ROLE_FIXED's matrix
};

Plan make_plan(Role role, int node, int source) { return {role, node, source, matrix_identity()}; }

struct NodeEntry {
    const aiNode *node;
    int parent;   // index into the node list, -1 for the root
    int channel;  // animation channel of the first clip, -1 for none
    std::vector<int> children;
};

// A deforming mesh as a node shows it, posed frame by frame.
struct DeformJob {
    unsigned mesh;
    int node;
};

struct Converter {
    const aiScene *source;
    ImportSettings settings;
    ImportProgress progress;
    ImportedScene *out;
    std::vector<NodeEntry> nodes;
    std::vector<Plan> plans;
    // Parents as the source nests the objects; objects[i].parent differs
    // where the hierarchy was flattened.
    std::vector<int> source_parent;
    std::unordered_map<std::string, int> camera_by_name;
    std::unordered_map<std::string, int> light_by_name;
    // Converted geometry of each source mesh, one object's worth per part.
    std::vector<MeshParts> mesh_parts;
    std::vector<bool> mesh_converted;
    std::unordered_map<std::string, int> node_by_name;
    std::vector<int> node_object;                       // the object made for each node, -1 before
    std::vector<bool> bone_nodes;                       // nodes that parts of rigid skins ride on
    std::vector<std::pair<int, int>> bone_attachments;  // object, bone node
    bool slot_used[CAMERA_SLOTS];                       // camera keys given out
    bool slot_reserved[CAMERA_SLOTS];                   // keys a camera of the model is named for
    unsigned meshes_done;
    std::vector<DeformJob> deform_jobs;
};

Matrix4 to_matrix(const aiMatrix4x4 &a)
{
    Matrix4 r;
    const ai_real *values = &a.a1;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) r.m[i][j] = values[i * 4 + j];
    return r;
}

// The node tree in depth-first order, parents before their children. The
// walk keeps its own stack: a model may nest nodes thousands deep.
void list_nodes(Converter *c, const aiNode *root)
{
    std::vector<std::pair<const aiNode *, int>> pending = {{root, -1}};  // node, parent index
    while (!pending.empty()) {
        const aiNode *node = pending.back().first;
        int parent = pending.back().second;
        pending.pop_back();
        int index = (int)c->nodes.size();
        c->nodes.push_back({node, parent, -1, {}});
        if (parent >= 0) c->nodes[parent].children.push_back(index);
        for (unsigned i = node->mChildren ? node->mNumChildren : 0; i-- > 0;)
            if (node->mChildren[i]) pending.push_back({node->mChildren[i], index});
    }
}

const MeshParts &converted_mesh(Converter *c, unsigned mesh_index)
{
    if (!c->mesh_converted[mesh_index]) {
        const aiMesh *mesh = c->source->mMeshes[mesh_index];
        ImportStats *stats = &c->out->stats;
        c->mesh_parts[mesh_index] = convert_mesh(mesh, c->settings.scale, stats);
        c->mesh_converted[mesh_index] = true;
        c->meshes_done++;
        unsigned total = c->source->mNumMeshes;
        if (c->progress && (c->meshes_done * 10 / total != (c->meshes_done - 1) * 10 / total))
            c->progress("meshes", (double)c->meshes_done / total);
    }
    return c->mesh_parts[mesh_index];
}

int add_object(Converter *c, ImportObject object, Plan plan)
{
    c->out->objects.push_back(std::move(object));
    c->plans.push_back(plan);
    return (int)c->out->objects.size() - 1;
}

ImportObject named_object(ObjectKind kind, const std::string &name, int parent)
{
    ImportObject object = {};
    object.kind = kind;
    object.material = -1;
    object.name = name;
    object.source_name = name;
    object.parent = parent;
    return object;
}

// Whether node carries the extra named key (glTF node extras).
bool has_extra(const aiNode *node, const char *key)
{
    const aiMetadata *meta = node ? node->mMetaData : nullptr;
    for (unsigned i = 0; meta && i < meta->mNumProperties; i++)
        if (strcmp(meta->mKeys[i].C_Str(), key) == 0) return true;
    return false;
}

// A camera that orj export wrote under one of the viewer's key names keeps
// it (a scene taken out and back keeps its keys); the others take the free
// keys in order. A foreign model's camera keeps no key by its name: a
// modelling tool's default "Camera" would leave the viewer's first key empty.
void add_camera(Converter *c, int node, int camera)
{
    std::string own = clean_object_name(c->source->mCameras[camera]->mName.C_Str(), "camera");
    const char *slot = nullptr;
    bool keeps_key = has_extra(c->nodes[node].node, CAMERA_KEY_EXTRA);
    for (int s = 0; s < CAMERA_SLOTS && !slot && keeps_key; s++)
        if (!c->slot_used[s] && own == camera_slot_name(s)) slot = camera_slot_name(s), c->slot_used[s] = true;
    for (int s = 0; s < CAMERA_SLOTS && !slot; s++)
        if (!c->slot_used[s] && !c->slot_reserved[s]) slot = camera_slot_name(s), c->slot_used[s] = true;
    ImportObject object = named_object(Camera, slot ? slot : own, -1);
    object.source_name = own;
    add_object(c, object, make_plan(ROLE_CAMERA, node, camera));
}

void add_lamp(Converter *c, int node, int light, int parent, Role role)
{
    const aiLight *source = c->source->mLights[light];
    ImportObject object = named_object(Lamp, clean_object_name(source->mName.C_Str(), "lamp"), parent);
    add_object(c, object, make_plan(role, node, light));
    const char *type = source->mType == aiLightSource_DIRECTIONAL ? "directional"
                       : source->mType == aiLightSource_SPOT      ? "spot"
                       : source->mType == aiLightSource_AMBIENT   ? "ambient"
                       : source->mType == aiLightSource_AREA      ? "area"
                                                                  : nullptr;
    if (type)
        c->out->stats.warnings.push_back(std::string("light '") + object.name + "' (" + type +
                                         ") becomes a point lamp at its place");
}

int find_by_name(const std::unordered_map<std::string, int> &map, const aiNode *node)
{
    auto found = map.find(node->mName.C_Str());
    return found == map.end() ? -1 : found->second;
}

// Plans the objects of one of the node's meshes: a part on a bone rides on
// it, the first other part is the node's own object (*main_index), the rest
// stand fixed under that one.
void plan_mesh(Converter *c, int node_index, unsigned mesh_index, const std::string &name, int parent_object,
               int *main_index)
{
    const aiMesh *mesh = c->source->mMeshes[mesh_index];
    const MeshParts &converted = converted_mesh(c, mesh_index);
    if (converted.deforms) {
        c->deform_jobs.push_back({mesh_index, node_index});
        return;
    }
    std::string mesh_name = clean_object_name(mesh->mName.C_Str(), name.c_str());
    for (size_t p = 0; p < converted.parts.size(); p++) {
        ImportObject object = converted.parts[p];
        int bone = converted.bones[p];
        auto bone_node = bone >= 0 ? c->node_by_name.find(mesh->mBones[bone]->mName.C_Str()) : c->node_by_name.end();
        if (bone_node != c->node_by_name.end()) {
            // A rigid skin: the part rides on its bone, through the bone's offset.
            Plan plan = make_plan(ROLE_FIXED, -1, -1);
            plan.fixed = to_matrix(mesh->mBones[bone]->mOffsetMatrix);
            for (int i = 0; i < 3; i++) plan.fixed.m[i][3] *= c->settings.scale;
            object.name = object.source_name =
                clean_object_name(mesh->mName.C_Str(), clean_object_name(bone_node->first.c_str(), "bone").c_str());
            object.parent = -1;
            int index = add_object(c, object, plan);
            c->bone_attachments.push_back({index, bone_node->second});
            continue;
        }
        if (*main_index < 0) {
            object.name = object.source_name = name;
            object.parent = parent_object;
            *main_index = add_object(c, object, make_plan(ROLE_NODE, node_index, -1));
            continue;
        }
        object.name = object.source_name = mesh_name;
        object.parent = *main_index;
        add_object(c, object, make_plan(ROLE_FIXED, -1, -1));
    }
}

// Plans the objects of one node under parent_object; returns the node's
// own object, under which its children go (-1 when it has none).
int plan_node(Converter *c, int node_index, int parent_object)
{
    const aiNode *node = c->nodes[node_index].node;
    int camera = find_by_name(c->camera_by_name, node);
    int light = find_by_name(c->light_by_name, node);
    // A camera or light alone on its node takes the node's place, unless parts ride on the node as a bone.
    bool bare = node->mNumMeshes == 0 && node->mNumChildren == 0 && !c->bone_nodes[node_index];
    if (bare && camera >= 0 && light < 0) {
        add_camera(c, node_index, camera);
        return -1;
    }
    if (bare && light >= 0 && camera < 0) {
        add_lamp(c, node_index, light, parent_object, ROLE_LAMP_AT_NODE);
        return -1;
    }

    std::string name = clean_object_name(node->mName.C_Str(), "node");
    int main_index = -1;
    for (unsigned m = 0; m < node->mNumMeshes; m++) {
        unsigned mesh_index = node->mMeshes[m];
        if (mesh_index >= c->source->mNumMeshes || !c->source->mMeshes[mesh_index]) continue;
        plan_mesh(c, node_index, mesh_index, name, parent_object, &main_index);
    }
    if (main_index < 0)
        main_index = add_object(c, named_object(Mesh, name, parent_object), make_plan(ROLE_NODE, node_index, -1));
    c->node_object[node_index] = main_index;
    if (camera >= 0) add_camera(c, node_index, camera);
    if (light >= 0) add_lamp(c, node_index, light, main_index, ROLE_LAMP_IN_NODE);
    return main_index;
}

// Plans every node, in the node list's order, each under its parent's object.
void plan_nodes(Converter *c)
{
    std::vector<int> node_parent_object(c->nodes.size(), -1);
    for (size_t n = 0; n < c->nodes.size(); n++) {
        int parent = c->nodes[n].parent;
        int main_index = plan_node(c, (int)n, parent < 0 ? -1 : node_parent_object[parent]);
        node_parent_object[n] = main_index;
    }
}

// Keeps every parent within the format's limit of children by putting the
// surplus under added grouping objects that stand at rest.
void limit_children(Converter *c)
{
    std::vector<ImportObject> &objects = c->out->objects;
    std::vector<std::vector<int>> children_of(objects.size());
    for (size_t i = 0; i < objects.size(); i++)
        if (objects[i].parent >= 0) children_of[objects[i].parent].push_back((int)i);
    size_t original_count = objects.size();
    for (size_t parent = 0; parent < original_count; parent++) {
        const std::vector<int> &children = children_of[parent];
        if ((int)children.size() <= MAX_CHILDREN_PER_OBJECT) continue;
        for (size_t start = 0; start < children.size(); start += MAX_CHILDREN_PER_OBJECT) {
            ImportObject group = named_object(Mesh, objects[parent].name, (int)parent);
            int group_index = add_object(c, group, make_plan(ROLE_FIXED, -1, -1));
            c->out->stats.group_inserted++;
            size_t end = std::min(children.size(), start + MAX_CHILDREN_PER_OBJECT);
            for (size_t k = start; k < end; k++) objects[children[k]].parent = group_index;
        }
    }
}

// Level of every object under parents, a root being level 1.
std::vector<int> object_levels(const std::vector<int> &parents)
{
    std::vector<int> level(parents.size(), 0);
    for (size_t i = 0; i < parents.size(); i++) {
        std::vector<int> path;
        int p = (int)i;
        while (p >= 0 && level[p] == 0 && path.size() <= parents.size()) {
            path.push_back(p);
            p = parents[p];
        }
        int base = p >= 0 ? level[p] : 0;
        for (size_t k = path.size(); k-- > 0;) level[path[k]] = ++base;
    }
    return level;
}

// Objects deeper than the reader takes go under their ancestor one level
// above the deepest, their transforms made relative to it while sampling.
void flatten_deep_objects(Converter *c)
{
    std::vector<ImportObject> &objects = c->out->objects;
    c->source_parent.resize(objects.size());
    for (size_t i = 0; i < objects.size(); i++) c->source_parent[i] = objects[i].parent;
    std::vector<int> level = object_levels(c->source_parent);
    // Parents before children, so that each object below the deepest level
    // kept finds its ancestor there through its parent's, in one step.
    std::vector<int> order(objects.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = (int)i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return level[a] < level[b]; });
    std::vector<int> kept_ancestor(objects.size(), -1);
    for (int i : order) {
        c->out->stats.deepest_level = std::max(c->out->stats.deepest_level, level[i]);
        if (level[i] < SCENE_MAX_DEPTH - 1) continue;
        kept_ancestor[i] = level[i] == SCENE_MAX_DEPTH - 1 ? i : kept_ancestor[c->source_parent[i]];
        if (level[i] <= SCENE_MAX_DEPTH) continue;
        objects[i].parent = kept_ancestor[i];
        c->out->stats.flattened++;
    }
}

Vector3 transform_point(const Matrix4 &m, double x, double y, double z)
{
    return {(float)(m.m[0][0] * x + m.m[0][1] * y + m.m[0][2] * z + m.m[0][3]),
            (float)(m.m[1][0] * x + m.m[1][1] * y + m.m[1][2] * z + m.m[1][3]),
            (float)(m.m[2][0] * x + m.m[2][1] * y + m.m[2][2] * z + m.m[2][3])};
}

Vector3 transform_direction(const Matrix4 &m, const aiVector3D &v)
{
    return {(float)(m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z),
            (float)(m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z),
            (float)(m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z)};
}

// A camera's or light's place in its node's frame. Some of the importer's
// readers (glTF, 3DS) copy the node's translation there as well, which
// would count it twice: a place equal to the node's own translation is
// taken for such a copy and dropped.
aiVector3D own_position(const aiVector3D &position, const aiNode *node)
{
    const aiMatrix4x4 &m = node->mTransformation;
    aiVector3D translation(m.a4, m.b4, m.c4);
    float size = std::max(1.0f, translation.Length());
    if (position.Length() > 0.0f && (position - translation).Length() <= 1e-5f * size) return aiVector3D(0, 0, 0);
    return position;
}

// A number of a node's extras as the glTF reader keeps them.
bool metadata_number(const aiMetadataEntry &entry, double *value)
{
    if (!entry.mData) return false;
    switch (entry.mType) {
    case AI_DOUBLE:
        *value = *static_cast<const double *>(entry.mData);
        return true;
    case AI_FLOAT:
        *value = *static_cast<const float *>(entry.mData);
        return true;
    case AI_INT32:
        *value = *static_cast<const int32_t *>(entry.mData);
        return true;
    case AI_UINT64:
        *value = (double)*static_cast<const uint64_t *>(entry.mData);
        return true;
    default:
        return false;
    }
}

// The engine's own colour of a lamp written by orj export (the node's extra
// LAMP_COLOUR_EXTRA, three numbers); false when the node has none.
bool exported_lamp_colour(const aiNode *node, Vector3 *colour)
{
    const aiMetadata *meta = node ? node->mMetaData : nullptr;
    for (unsigned i = 0; meta && i < meta->mNumProperties; i++) {
        if (strcmp(meta->mKeys[i].C_Str(), LAMP_COLOUR_EXTRA) != 0 || meta->mValues[i].mType != AI_AIMETADATA) continue;
        const aiMetadata *values = static_cast<const aiMetadata *>(meta->mValues[i].mData);
        double rgb[3];
        if (!values || values->mNumProperties != 3) return false;
        for (int k = 0; k < 3; k++)
            if (!metadata_number(values->mValues[k], &rgb[k]) || !std::isfinite(rgb[k]) || rgb[k] < 0.0 || rgb[k] > 1e6)
                return false;
        *colour = {(float)rgb[0], (float)rgb[1], (float)rgb[2]};
        return true;
    }
    return false;
}

// The light's colour as the lamp's rotation: 0..1, brighter lights scaled
// down (other tools' brightness has no common scale with the engine's),
// except the engine's own colour carried by a model it wrote.
Vector3 lamp_colour(const aiLight *light, const aiNode *node)
{
    Vector3 own;
    if (exported_lamp_colour(node, &own)) return own;
    double r = std::max(0.0f, light->mColorDiffuse.r), g = std::max(0.0f, light->mColorDiffuse.g),
           b = std::max(0.0f, light->mColorDiffuse.b);
    if (!std::isfinite(r) || !std::isfinite(g) || !std::isfinite(b)) r = g = b = 1.0;
    double brightest = std::max(r, std::max(g, b));
    if (brightest > 1.0) {
        r /= brightest;
        g /= brightest;
        b /= brightest;
    }
    return {(float)r, (float)g, (float)b};
}

// Objects in an order where every source parent comes before its children.
std::vector<int> parents_first_order(const std::vector<int> &parents)
{
    std::vector<int> level = object_levels(parents);
    std::vector<int> order(parents.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = (int)i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return level[a] < level[b]; });
    return order;
}

// The first clip, and the moment of a frame in it.
struct ClipTime {
    const aiAnimation *clip;
    double ticks_per_second, duration_ticks;
};

ClipTime clip_time(const aiScene *source)
{
    ClipTime time;
    time.clip = source->mNumAnimations > 0 ? source->mAnimations[0] : nullptr;
    time.ticks_per_second = time.clip && time.clip->mTicksPerSecond > 0.0 ? time.clip->mTicksPerSecond : 25.0;
    time.duration_ticks = time.clip ? time.clip->mDuration : 0.0;
    if (!std::isfinite(time.duration_ticks) || time.duration_ticks < 0.0) time.duration_ticks = 0.0;
    return time;
}

double frame_ticks(const Converter *c, const ClipTime &time, int frame)
{
    return frame_time_ticks(frame, c->settings.fps, time.ticks_per_second, time.duration_ticks);
}

// Every node's local and world matrix at ticks, translations times the scale.
void pose_nodes(const Converter *c, const aiAnimation *clip, double ticks, std::vector<Matrix4> *local,
                std::vector<Matrix4> *world)
{
    local->resize(c->nodes.size());
    world->resize(c->nodes.size());
    for (size_t n = 0; n < c->nodes.size(); n++) {
        const NodeEntry &entry = c->nodes[n];
        Matrix4 &m = (*local)[n];
        m = to_matrix(
            sample_node_transform(entry.node, entry.channel >= 0 ? clip->mChannels[entry.channel] : nullptr, ticks));
        for (int i = 0; i < 3; i++) m.m[i][3] *= c->settings.scale;
        (*world)[n] = entry.parent < 0 ? m : matrix_multiply((*world)[entry.parent], m);
    }
}

bool is_lamp(const Plan &plan) { return plan.role == ROLE_LAMP_AT_NODE || plan.role == ROLE_LAMP_IN_NODE; }

// Each object's matrix under its source parent (lamps: their place only).
void place_objects(const Converter *c, const std::vector<Matrix4> &local, std::vector<Matrix4> *object_local)
{
    double scale = c->settings.scale;
    for (size_t i = 0; i < object_local->size(); i++) {
        const Plan &plan = c->plans[i];
        Matrix4 &m = (*object_local)[i];
        m = matrix_identity();
        if (plan.role == ROLE_NODE) m = local[plan.node];
        if (plan.role == ROLE_FIXED) m = plan.fixed;
        if (is_lamp(plan)) {
            aiVector3D p = own_position(c->source->mLights[plan.source]->mPosition, c->nodes[plan.node].node);
            Vector3 place = {(float)(p.x * scale), (float)(p.y * scale), (float)(p.z * scale)};
            if (plan.role == ROLE_LAMP_AT_NODE) place = transform_point(local[plan.node], place.x, place.y, place.z);
            m.m[0][3] = place.x;
            m.m[1][3] = place.y;
            m.m[2][3] = place.z;
        }
    }
}

// Turns the matrices of objects moved up a flattened hierarchy into ones
// under their new parents. order puts every source parent first.
void reparent_objects(const Converter *c, const std::vector<int> &order, std::vector<Matrix4> *object_local,
                      std::vector<Matrix4> *object_world)
{
    for (int i : order) {
        int p = c->source_parent[i];
        (*object_world)[i] = p < 0 ? (*object_local)[i] : matrix_multiply((*object_world)[p], (*object_local)[i]);
    }
    for (size_t i = 0; i < object_local->size(); i++) {
        int p = c->out->objects[i].parent;
        if (p == c->source_parent[i]) continue;
        Matrix4 inverse;
        (*object_local)[i] = matrix_invert_affine((*object_world)[p], &inverse)
                                 ? matrix_multiply(inverse, (*object_world)[i])
                                 : matrix_identity();
    }
}

// Object i's transform at this frame; *fit is how far its matrix is from
// one the transform makes.
ObjectTransform object_transform(const Converter *c, size_t i, const std::vector<Matrix4> &world,
                                 const Matrix4 &object_local, double *fit)
{
    const Plan &plan = c->plans[i];
    ObjectTransform t = {{0, 0, 0}, {0, 0, 0}, {1, 1, 1}};
    *fit = 0.0;
    if (plan.role == ROLE_CAMERA) {
        double scale = c->settings.scale;
        const aiCamera *camera = c->source->mCameras[plan.source];
        const Matrix4 &m = world[plan.node];
        aiVector3D p = own_position(camera->mPosition, c->nodes[plan.node].node);
        Vector3 eye = transform_point(m, p.x * scale, p.y * scale, p.z * scale);
        solve_camera(eye, transform_direction(m, camera->mLookAt), transform_direction(m, camera->mUp), &t.location,
                     &t.rotation);
    } else if (is_lamp(plan)) {
        t.location = {(float)object_local.m[0][3], (float)object_local.m[1][3], (float)object_local.m[2][3]};
        t.rotation = lamp_colour(c->source->mLights[plan.source], c->nodes[plan.node].node);
    } else {
        t = decompose_transform(object_local, fit);
    }
    return t;
}

void sample_frames(Converter *c)
{
    ClipTime time = clip_time(c->source);
    int frames = c->out->frame_count;
    size_t object_count = c->out->objects.size();
    std::vector<Matrix4> local, world;
    std::vector<Matrix4> object_local(object_count), object_world(object_count);
    std::vector<double> worst_fit(object_count, 0.0);
    bool flattened = c->out->stats.flattened > 0;
    std::vector<int> order = flattened ? parents_first_order(c->source_parent) : std::vector<int>();

    for (int frame = 0; frame < frames; frame++) {
        pose_nodes(c, time.clip, frame_ticks(c, time, frame), &local, &world);
        place_objects(c, local, &object_local);
        if (flattened) reparent_objects(c, order, &object_local, &object_world);
        for (size_t i = 0; i < object_count; i++) {
            ImportObject &object = c->out->objects[i];
            double fit;
            ObjectTransform t = object_transform(c, i, world, object_local[i], &fit);
            worst_fit[i] = std::max(worst_fit[i], fit);
            if (frame > 0 && !is_lamp(c->plans[i])) {
                const Vector3 &previous = object.rotations.back();
                t.rotation = {unwrap_degrees(previous.x, t.rotation.x), unwrap_degrees(previous.y, t.rotation.y),
                              unwrap_degrees(previous.z, t.rotation.z)};
            }
            object.locations.push_back(t.location);
            object.rotations.push_back(t.rotation);
            object.scales.push_back(t.scale);
        }
        if (c->progress && (frame % 50 == 49 || frame == frames - 1))
            c->progress("sampling frames", (frame + 1.0) / frames);
    }

    ImportStats *stats = &c->out->stats;
    for (size_t i = 0; i < worst_fit.size(); i++) {
        if (worst_fit[i] > 1e-4) stats->poor_fits++;
        stats->worst_fit = std::max(stats->worst_fit, worst_fit[i]);
    }
}

// The channels of clip that move mesh as node shows it: morph weights and
// whole targets (null for none). Readers name them after the node or the mesh.
template <typename Channel>
const Channel *mesh_channel(Channel *const *channels, unsigned count, const aiNode *node, const aiMesh *mesh)
{
    for (unsigned i = 0; channels && i < count; i++) {
        const char *name = channels[i] ? channels[i]->mName.C_Str() : "";
        if (channels[i] && (strcmp(name, node->mName.C_Str()) == 0 || strcmp(name, mesh->mName.C_Str()) == 0))
            return channels[i];
    }
    return nullptr;
}

MeshPose mesh_pose(const Converter *c, const DeformJob &job, const std::vector<Matrix4> &world, const ClipTime &time,
                   double ticks)
{
    const aiMesh *mesh = c->source->mMeshes[job.mesh];
    const aiNode *node = c->nodes[job.node].node;
    MeshPose pose;
    pose.mesh_world = world[job.node];
    for (unsigned b = 0; mesh->mBones && b < mesh->mNumBones; b++) {
        const aiBone *bone = mesh->mBones[b];
        auto found = bone ? c->node_by_name.find(bone->mName.C_Str()) : c->node_by_name.end();
        if (found == c->node_by_name.end()) {
            pose.bones.push_back(pose.mesh_world);
            continue;
        }
        Matrix4 offset = to_matrix(bone->mOffsetMatrix);
        for (int i = 0; i < 3; i++) offset.m[i][3] *= c->settings.scale;
        pose.bones.push_back(matrix_multiply(world[found->second], offset));
    }
    const aiAnimation *clip = time.clip;
    const aiMeshMorphAnim *morph =
        clip ? mesh_channel(clip->mMorphMeshChannels, clip->mNumMorphMeshChannels, node, mesh) : nullptr;
    const aiMeshAnim *shown = clip ? mesh_channel(clip->mMeshChannels, clip->mNumMeshChannels, node, mesh) : nullptr;
    pose.morph_weights = sample_morph_weights(mesh, morph, ticks);
    pose.shown_target = sample_mesh_key(mesh, shown, ticks);
    return pose;
}

// What baking has made so far, against the limits.
struct Baking {
    int64_t faces = 0, objects = 0;
    std::vector<int> group;  // each job's grouping object taking frames now, -1 before the first
};

// One object per part of job's mesh holding positions, shown from frame on
// (scale 0 at every other frame until the run grows). False past the limits.
bool add_pose_run(Converter *c, size_t job_index, int frame, const std::vector<Vector3> &positions,
                  const std::vector<Vector3> &normals, Baking *baking, std::vector<int> *run)
{
    run->clear();
    const DeformJob &job = c->deform_jobs[job_index];
    const MeshParts &converted = c->mesh_parts[job.mesh];
    int frames = c->out->frame_count;
    for (const ImportObject &part : converted.parts) baking->faces += part.quads.size() + part.triangles.size();
    baking->objects += converted.parts.size();
    if (baking->faces > MAX_POSED_FACES || baking->objects * frames > MAX_POSED_TRANSFORMS) return false;
    std::string name = clean_object_name(c->source->mMeshes[job.mesh]->mName.C_Str(),
                                         clean_object_name(c->nodes[job.node].node->mName.C_Str(), "mesh").c_str());
    for (size_t p = 0; p < converted.parts.size(); p++) {
        int &group = baking->group[job_index];
        if (group < 0 || c->out->objects.size() - group > MAX_CHILDREN_PER_OBJECT) {
            ImportObject holder = named_object(Mesh, name, -1);
            holder.locations.assign(frames, Vector3{0, 0, 0});
            holder.rotations.assign(frames, Vector3{0, 0, 0});
            holder.scales.assign(frames, Vector3{1, 1, 1});
            group = add_object(c, holder, make_plan(ROLE_FIXED, -1, -1));
        }
        ImportObject object = converted.parts[p];
        object.name = object.source_name = name + "_frame" + std::to_string(frame);
        object.parent = group;
        object.vertices.clear();
        object.normals.clear();
        for (unsigned v : converted.sources[p]) {
            object.vertices.push_back(positions[v]);
            object.normals.push_back(normals[v]);
        }
        object.locations.assign(frames, Vector3{0, 0, 0});
        object.rotations.assign(frames, Vector3{0, 0, 0});
        object.scales.assign(frames, Vector3{0, 0, 0});
        run->push_back(add_object(c, object, make_plan(ROLE_FIXED, -1, -1)));
    }
    return true;
}

bool same_values(const std::vector<Vector3> &a, const std::vector<Vector3> &b)
{
    return a.size() == b.size() && memcmp(a.data(), b.data(), a.size() * sizeof(Vector3)) == 0;
}

// Deforming meshes become one object per run of frames in one pose, shown
// only at those frames: the scene format moves whole objects, and a hidden
// object (scale 0) draws nothing. still: every frame shows the first one's
// pose. False, with nothing added, past the limits.
bool bake_deforming_meshes(Converter *c, bool still)
{
    ClipTime time = clip_time(c->source);
    size_t first_added = c->out->objects.size();
    size_t jobs = c->deform_jobs.size();
    Baking baking;
    baking.group.assign(jobs, -1);
    std::vector<std::vector<Vector3>> last_positions(jobs), last_normals(jobs);
    std::vector<std::vector<int>> runs(jobs);  // the objects of each job's latest run
    std::vector<Matrix4> local, world;
    std::vector<Vector3> positions, normals;
    for (int frame = 0; frame < c->out->frame_count; frame++) {
        if (!still || frame == 0) pose_nodes(c, time.clip, frame_ticks(c, time, frame), &local, &world);
        for (size_t j = 0; j < jobs; j++) {
            if (!still || frame == 0) {
                MeshPose pose = mesh_pose(c, c->deform_jobs[j], world, time, frame_ticks(c, time, frame));
                pose_mesh(c->source->mMeshes[c->deform_jobs[j].mesh], pose, c->settings.scale, &positions, &normals);
            }
            if (frame == 0 || !same_values(positions, last_positions[j]) || !same_values(normals, last_normals[j])) {
                if (!add_pose_run(c, j, frame, positions, normals, &baking, &runs[j])) {
                    c->out->objects.resize(first_added);
                    c->plans.resize(first_added);
                    return false;
                }
                last_positions[j] = positions;
                last_normals[j] = normals;
            }
            for (int i : runs[j]) c->out->objects[i].scales[frame] = Vector3{1, 1, 1};
        }
        if (c->progress && !still && (frame % 50 == 49 || frame == c->out->frame_count - 1))
            c->progress("posing meshes", (frame + 1.0) / c->out->frame_count);
    }
    return true;
}

void pose_deforming_meshes(Converter *c)
{
    if (c->deform_jobs.empty()) return;
    ImportStats *stats = &c->out->stats;
    size_t before = c->out->objects.size();
    if (!bake_deforming_meshes(c, false)) {
        bake_deforming_meshes(c, true);
        stats->mesh_animations_ignored = (int)c->deform_jobs.size();
    }
    stats->deforming_meshes = (int)c->deform_jobs.size();
    for (size_t i = before; i < c->out->objects.size(); i++) stats->posed_objects += c->out->objects[i].parent >= 0;
}

// The box around every mesh vertex drawn over the animation (at up to ten
// frames spread over it), placed as the engine places them.
void measure_model(Converter *c)
{
    std::vector<ImportObject> &objects = c->out->objects;
    std::vector<Matrix4> world(objects.size());
    std::vector<bool> hidden(objects.size());
    std::vector<int> parents;
    for (const ImportObject &object : objects) parents.push_back(object.parent);
    std::vector<int> order = parents_first_order(parents);
    double low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    int frames = c->out->frame_count, samples = std::min(frames, 10);
    for (int sample = 0; sample < samples; sample++) {
        int frame = samples > 1 ? (int)((int64_t)sample * (frames - 1) / (samples - 1)) : 0;
        for (int i : order) {
            const ImportObject &object = objects[i];
            ObjectTransform t = {object.locations[frame], object.rotations[frame], object.scales[frame]};
            Matrix4 local = object.kind == Lamp ? matrix_identity() : compose_transform(t);
            world[i] = object.parent < 0 ? local : matrix_multiply(world[object.parent], local);
            // Drawing leaves out an object of scale 0 and everything under it.
            hidden[i] = (object.parent >= 0 && hidden[object.parent]) || t.scale.x == 0.0f || t.scale.y == 0.0f ||
                        t.scale.z == 0.0f;
            if (object.kind != Mesh || hidden[i]) continue;
            for (const Vector3 &v : object.vertices) {
                Vector3 p = transform_point(world[i], v.x, v.y, v.z);
                const float at[3] = {p.x, p.y, p.z};
                for (int k = 0; k < 3; k++) {
                    low[k] = std::min(low[k], (double)at[k]);
                    high[k] = std::max(high[k], (double)at[k]);
                }
            }
        }
    }
    ImportStats *stats = &c->out->stats;
    stats->has_extent = low[0] <= high[0] && std::isfinite(low[0] + low[1] + low[2] + high[0] + high[1] + high[2]);
    if (!stats->has_extent) return;
    stats->extent_centre = {(float)((low[0] + high[0]) / 2), (float)((low[1] + high[1]) / 2),
                            (float)((low[2] + high[2]) / 2)};
    stats->extent_size = std::sqrt((high[0] - low[0]) * (high[0] - low[0]) + (high[1] - low[1]) * (high[1] - low[1]) +
                                   (high[2] - low[2]) * (high[2] - low[2]));
}

// A still camera looking at the middle of the model's box, on the first
// camera key: the one the viewer shows first.
void add_front_camera(Converter *c)
{
    ImportStats *stats = &c->out->stats;
    Vector3 centre = stats->has_extent ? stats->extent_centre : Vector3{0, 0, 0};
    double radius = stats->has_extent && stats->extent_size > 0.0 ? stats->extent_size / 2 : 1.0;
    Vector3 eye = front_eye(centre, radius);
    Vector3 location, rotation;
    solve_camera(eye, {centre.x - eye.x, centre.y - eye.y, centre.z - eye.z}, {0, 1, 0}, &location, &rotation);
    ImportObject camera = named_object(Camera, camera_slot_name(0), -1);
    camera.locations.assign(c->out->frame_count, location);
    camera.rotations.assign(c->out->frame_count, rotation);
    camera.scales.assign(c->out->frame_count, Vector3{1, 1, 1});
    stats->added_camera = add_object(c, camera, make_plan(ROLE_FIXED, -1, -1));
}

// Lit for the camera the viewer shows first when there is one (it is a root).
void add_view_lamps(Converter *c)
{
    for (const ImportObject &object : c->out->objects)
        if (object.kind == Lamp) return;
    ViewAxes view = front_view_axes();
    for (const ImportObject &object : c->out->objects)
        if (object.kind == Camera && object.name == camera_slot_name(0)) {
            view = camera_view_axes(object.locations[0], object.rotations[0]);
            break;
        }
    for (ImportObject &lamp : make_view_lamps(c->out->stats, view, c->out->frame_count)) {
        add_object(c, lamp, make_plan(ROLE_FIXED, -1, -1));
        c->out->stats.lamps_added++;
    }
}

// Drawing sets a lamp's light when it reaches the lamp, walking the roots in
// file order: lamps become roots at their places and come first, so that they
// light every mesh from the first picture on, and at this picture's places.
void lamps_first(Converter *c)
{
    std::vector<ImportObject> &objects = c->out->objects;
    std::vector<int> parents;
    for (const ImportObject &object : objects) parents.push_back(object.parent);
    std::vector<int> order = parents_first_order(parents);
    std::vector<Matrix4> world(objects.size());
    for (int frame = 0; frame < c->out->frame_count; frame++)
        for (int i : order) {
            ImportObject &object = objects[i];
            ObjectTransform t = {object.locations[frame], object.rotations[frame], object.scales[frame]};
            Matrix4 local = object.kind == Lamp ? matrix_identity() : compose_transform(t);
            int p = parents[i];
            world[i] = p < 0 ? local : matrix_multiply(world[p], local);
            if (object.kind == Lamp && p >= 0) {
                const Vector3 &l = object.locations[frame];
                object.locations[frame] = transform_point(world[p], l.x, l.y, l.z);
            }
        }
    std::vector<int> new_index(objects.size());
    std::vector<int> moved;
    for (int lamps = 1; lamps >= 0; lamps--)
        for (size_t i = 0; i < objects.size(); i++)
            if ((objects[i].kind == Lamp) == (lamps == 1)) {
                new_index[i] = (int)moved.size();
                moved.push_back((int)i);
            }
    std::vector<ImportObject> sorted;
    std::vector<Plan> plans;
    for (int i : moved) {
        sorted.push_back(std::move(objects[i]));
        plans.push_back(c->plans[i]);
        ImportObject &object = sorted.back();
        object.parent = object.kind == Lamp || object.parent < 0 ? -1 : new_index[object.parent];
    }
    objects = std::move(sorted);
    c->plans = std::move(plans);
    if (c->out->stats.added_camera >= 0) c->out->stats.added_camera = new_index[c->out->stats.added_camera];
}

void finish_names(Converter *c)
{
    std::vector<ImportObject> &objects = c->out->objects;
    std::vector<std::string> wanted;
    // Cameras keep their key names first, then nodes their own names, then lamps, then the rest.
    std::vector<int> rank;
    for (size_t i = 0; i < objects.size(); i++) {
        wanted.push_back(objects[i].name);
        Role role = c->plans[i].role;
        rank.push_back(objects[i].kind == Camera ? 0 : role == ROLE_NODE ? 1 : objects[i].kind == Lamp ? 2 : 3);
    }
    std::vector<std::string> names = make_unique_names(wanted, rank);
    for (size_t i = 0; i < objects.size(); i++) {
        // Parts and groups that the conversion adds are named after their node, numbered.
        bool camera_key = objects[i].kind == Camera && camera_key_of(names[i].c_str()) >= 0;
        if (names[i] != objects[i].source_name && !camera_key && rank[i] < 3)
            c->out->stats.renames.push_back("'" + objects[i].source_name + "' -> '" + names[i] + "'");
        objects[i].name = names[i];
    }
}

void count_results(Converter *c)
{
    ImportStats *stats = &c->out->stats;
    for (const ImportObject &object : c->out->objects) {
        bool empty = object.quads.empty() && object.triangles.empty();
        if (object.kind == Camera) stats->camera_objects++;
        if (object.kind == Lamp) stats->lamp_objects++;
        if (object.kind == Mesh && empty) stats->group_objects++;
        if (object.kind == Mesh && !empty) stats->mesh_objects++;
        stats->quads += object.quads.size();
        stats->triangles += object.triangles.size();
    }
    // The most polygons one frame draws: objects of scale 0 and what lies under them are left out.
    const std::vector<ImportObject> &objects = c->out->objects;
    std::vector<int> parents;
    for (const ImportObject &object : objects) parents.push_back(object.parent);
    std::vector<int> order = parents_first_order(parents);
    std::vector<bool> hidden(objects.size());
    for (int frame = 0; frame < c->out->frame_count; frame++) {
        int64_t drawn = 0;
        for (int i : order) {
            const Vector3 &s = objects[i].scales[frame];
            hidden[i] = (parents[i] >= 0 && hidden[parents[i]]) || s.x == 0.0f || s.y == 0.0f || s.z == 0.0f;
            if (!hidden[i] && objects[i].kind == Mesh)
                drawn += objects[i].triangles.size() + 2 * (int64_t)objects[i].quads.size();
        }
        stats->most_drawn_polygons = std::max(stats->most_drawn_polygons, drawn);
    }
    if (stats->flattened > 0)
        stats->warnings.push_back("the hierarchy is " + std::to_string(stats->deepest_level) +
                                  " levels deep: " + std::to_string(stats->flattened) + " objects below level " +
                                  std::to_string(SCENE_MAX_DEPTH) + " moved up with their placement kept");
    int extra_cameras = stats->camera_objects - CAMERA_SLOTS;
    if (extra_cameras > 0)
        stats->warnings.push_back(std::to_string(extra_cameras) +
                                  " cameras beyond the viewer's six camera keys keep their own names");
}

// Cameras and lights belong to the first node of their name; the keys a
// camera of the model is named for are kept for it.
void index_names(Converter *c)
{
    const aiScene *source = c->source;
    for (unsigned i = source->mNumCameras; i-- > 0;)
        if (source->mCameras[i]) c->camera_by_name[source->mCameras[i]->mName.C_Str()] = (int)i;
    for (unsigned i = source->mNumLights; i-- > 0;)
        if (source->mLights[i]) c->light_by_name[source->mLights[i]->mName.C_Str()] = (int)i;
    for (size_t n = c->nodes.size(); n-- > 0;) c->node_by_name[c->nodes[n].node->mName.C_Str()] = (int)n;
    for (int s = 0; s < CAMERA_SLOTS; s++) {
        c->slot_used[s] = s == 0 && c->settings.add_camera;  // the added camera takes the first key
        c->slot_reserved[s] = false;
        for (unsigned i = 0; i < source->mNumCameras; i++) {
            auto node =
                source->mCameras[i] ? c->node_by_name.find(source->mCameras[i]->mName.C_Str()) : c->node_by_name.end();
            if (node != c->node_by_name.end() && has_extra(c->nodes[node->second].node, CAMERA_KEY_EXTRA) &&
                clean_object_name(source->mCameras[i]->mName.C_Str(), "camera") == camera_slot_name(s))
                c->slot_reserved[s] = true;
        }
    }
}

// Ties the first clip's channels to their nodes and sets the frame count.
void count_frames(Converter *c)
{
    const aiScene *source = c->source;
    ImportedScene *imported = c->out;
    const aiAnimation *clip = source->mNumAnimations > 0 ? source->mAnimations[0] : nullptr;
    bool animated = false;
    if (clip) {
        for (unsigned i = 0; i < clip->mNumChannels; i++) {
            auto found = c->node_by_name.find(clip->mChannels[i]->mNodeName.C_Str());
            if (found == c->node_by_name.end() || c->nodes[found->second].channel >= 0) continue;
            c->nodes[found->second].channel = (int)i;
            animated = true;
        }
        if (clip->mNumMeshChannels > 0 || clip->mNumMorphMeshChannels > 0) animated = true;
        imported->stats.animations_ignored = (int)source->mNumAnimations - 1;
    }
    double ticks_per_second = clip && clip->mTicksPerSecond > 0.0 ? clip->mTicksPerSecond : 25.0;
    double duration = clip && std::isfinite(clip->mDuration) ? clip->mDuration / ticks_per_second : 0.0;
    int frames = c->settings.frames;
    imported->frame_count = import_frame_count(frames, animated, duration, c->settings.fps);
    if (frames == 0 && animated && imported->frame_count == MAX_IMPORT_FRAMES &&
        duration * c->settings.fps + 1 > MAX_IMPORT_FRAMES)
        imported->stats.warnings.push_back("the animation is cut to its first " + std::to_string(MAX_IMPORT_FRAMES) +
                                           " frames");
}

// The nodes that parts of rigid skins ride on.
void mark_bone_nodes(Converter *c)
{
    const aiScene *source = c->source;
    c->bone_nodes.assign(c->nodes.size(), false);
    for (unsigned m = 0; m < source->mNumMeshes; m++) {
        if (!source->mMeshes[m] || source->mMeshes[m]->mNumBones == 0) continue;
        const MeshParts &converted = converted_mesh(c, m);
        for (int bone : converted.bones) {
            auto found = bone >= 0 ? c->node_by_name.find(source->mMeshes[m]->mBones[bone]->mName.C_Str())
                                   : c->node_by_name.end();
            if (found != c->node_by_name.end()) c->bone_nodes[found->second] = true;
        }
    }
}

// Plans every object: the nodes', then the skins' parts under their bones.
void plan_objects(Converter *c)
{
    mark_bone_nodes(c);
    plan_nodes(c);
    for (const std::pair<int, int> &attachment : c->bone_attachments) {
        int bone_object = c->node_object[attachment.second];
        if (bone_object >= 0) c->out->objects[attachment.first].parent = bone_object;
    }
    limit_children(c);
    flatten_deep_objects(c);
}

// Frames the model when no scale was asked for, adds the camera and lamps
// asked for, and settles order and names.
void finish_objects(Converter *c, const ImportSettings &settings)
{
    ImportedScene *imported = c->out;
    imported->stats.added_camera = -1;
    measure_model(c);
    imported->stats.applied_scale = c->settings.scale;
    if (settings.scale == 0.0 && imported->stats.has_extent) {
        double factor = framing_scale(imported->stats.extent_size);
        scale_and_centre(imported, factor, imported->stats.extent_centre);
        imported->stats.applied_scale = factor;
    }
    bool own_camera = false;
    for (const ImportObject &object : imported->objects) own_camera = own_camera || object.kind == Camera;
    if (settings.add_camera || (settings.camera_if_none && !own_camera)) add_front_camera(c);
    if (settings.lamps) add_view_lamps(c);
    lamps_first(c);
    finish_names(c);
    count_results(c);
}

}  // namespace

ErrorKind read_model(Assimp::Importer *importer, ModelFolder *folder, const aiScene **scene, ModelReading *reading,
                     Error *error)
{
    const char *path = folder->model_path.c_str();
    *scene = nullptr;
    *reading = ModelReading();
    // A device, a pipe or a directory may never end or block for ever: only regular files are read.
    struct stat status;
    if (stat(path, &status) == 0 && !S_ISREG(status.st_mode))
        return set_error(error, ERROR_CANNOT_OPEN, path, 0,
                         S_ISDIR(status.st_mode) ? "is a directory" : "not a regular file");
    ErrorKind kind = check_collada_file(path, error);
    if (kind == ERROR_NONE) kind = check_glb_file(path, error);
    if (kind != ERROR_NONE) return kind;
    confine_importer(importer, folder);
    // No validation step: it refuses point clouds, which are kept as empty
    // meshes here; repair_meshes does what the mesh steps need of it.
    const aiScene *read = importer->ReadFile(path, 0);
    if (!read || !read->mRootNode) {
        const char *reason = importer->GetErrorString();
        // The library reports running out of memory as a reading error.
        if (strstr(reason, "bad_alloc")) throw std::bad_alloc();
        return set_error(error, ERROR_MALFORMED, path, 0, "cannot read the model: %s",
                         read && !*reason ? "it holds no node hierarchy" : reason);
    }
    // The importer keeps the scene and lets its steps change it; so may this one.
    repair_meshes(const_cast<aiScene *>(read), &reading->repairs);
    for (unsigned m = 0; m < read->mNumMeshes; m++)
        if (read->mMeshes[m] && !read->mMeshes[m]->mNormals &&
            (read->mMeshes[m]->mPrimitiveTypes & (aiPrimitiveType_TRIANGLE | aiPrimitiveType_POLYGON)))
            reading->normals_missing++;
    // Normals are made (where missing) before equal vertices are merged.
    *scene = importer->ApplyPostProcessing(aiProcess_GenSmoothNormals | aiProcess_JoinIdenticalVertices);
    if (!*scene)
        return set_error(error, ERROR_MALFORMED, path, 0, "cannot prepare the meshes: %s", importer->GetErrorString());
    return ERROR_NONE;
}

// Refuses a scene whose file the engine's reader would refuse for its size,
// before its frames are sampled: the least its text can take is a short
// frame line ("  0 0 0 0 0 0 1 1 1") for every object and frame, two short
// lines a vertex and a face's corners and texture coordinates.
static ErrorKind check_scene_size(const ImportedScene *imported, Error *error)
{
    const int64_t frame_line = 20, vertex_lines = 16, face_lines = 24, objects_added = 3;
    int64_t objects = (int64_t)imported->objects.size() + objects_added, mesh_bytes = 0;
    for (const ImportObject &object : imported->objects)
        mesh_bytes += vertex_lines * (int64_t)object.vertices.size() +
                      face_lines * (int64_t)(object.quads.size() + object.triangles.size());
    int64_t least = mesh_bytes + objects * imported->frame_count * frame_line;
    if (least <= SCENE_MAX_FILE_SIZE) return ERROR_NONE;
    int64_t frames = std::max<int64_t>(1, (SCENE_MAX_FILE_SIZE - std::min<int64_t>(mesh_bytes, SCENE_MAX_FILE_SIZE)) /
                                              (objects * frame_line));
    return set_error(
        error, ERROR_TOO_LARGE, nullptr, 0,
        "%lld objects over %d frames make a scene file of at least %lld bytes, more than the %lld the engine "
        "reads: import fewer frames (--frames %lld or fewer) or a shorter range of the animation at a lower rate (--fps)",
        (long long)objects, imported->frame_count, (long long)least, SCENE_MAX_FILE_SIZE, (long long)frames);
}

ErrorKind convert_scene(const aiScene *source, const ImportSettings &settings, ImportProgress progress,
                        ImportedScene *imported, Error *error)
{
    imported->objects.clear();
    imported->frame_count = 0;
    imported->stats = ImportStats();
    imported->records.clear();
    imported->children.clear();
    imported->scene = Scene();
    if (!source || !source->mRootNode)
        return set_error(error, ERROR_MALFORMED, nullptr, 0, "the model has no node hierarchy");
    if (!(settings.fps > 0.0) || !(settings.scale >= 0.0) || settings.frames < 0)
        return set_error(error, ERROR_REFUSED, nullptr, 0, "bad import settings");
    Converter c;
    c.source = source;
    c.settings = settings;
    if (settings.scale == 0.0) c.settings.scale = 1.0;  // framed once measured
    c.progress = progress;
    c.out = imported;
    c.meshes_done = 0;
    c.mesh_parts.resize(source->mNumMeshes);
    c.mesh_converted.assign(source->mNumMeshes, false);
    list_nodes(&c, source->mRootNode);
    index_names(&c);
    c.node_object.assign(c.nodes.size(), -1);
    count_frames(&c);
    plan_objects(&c);
    ErrorKind size = check_scene_size(imported, error);
    if (size != ERROR_NONE) return size;
    sample_frames(&c);
    pose_deforming_meshes(&c);
    finish_objects(&c, settings);
    const ImportStats &stats = imported->stats;
    if (stats.quads + stats.triangles == 0)
        return set_error(error, ERROR_REFUSED, nullptr, 0,
                         "nothing to draw: the model has no faces (%lld points and %lld lines dropped; a scene "
                         "holds faces only)",
                         (long long)stats.points_dropped, (long long)stats.lines_dropped);
    build_scene_records(imported);
    return ERROR_NONE;
}

void build_scene_records(ImportedScene *imported)
{
    std::vector<ImportObject> &objects = imported->objects;
    imported->records.assign(objects.size(), SceneObject());
    imported->children.assign(objects.size(), std::vector<int32_t>());
    for (size_t i = 0; i < objects.size(); i++)
        if (objects[i].parent >= 0) imported->children[objects[i].parent].push_back((int32_t)i);

    int64_t polygons = 0;
    for (size_t i = 0; i < objects.size(); i++) {
        ImportObject &object = objects[i];
        SceneObject &record = imported->records[i];
        record = SceneObject();
        record.vertices = object.vertices.data();
        record.normals = object.normals.data();
        record.triangles = object.triangles.data();
        record.quads = object.quads.data();
        record.locations = object.locations.data();
        record.rotations = object.rotations.data();
        record.scales = object.scales.data();
        record.quad_count = (int32_t)object.quads.size();
        record.vertex_count = (int32_t)object.vertices.size();
        record.triangle_count = (int32_t)object.triangles.size();
        record.face_count = record.quad_count + record.triangle_count;
        snprintf(record.name, sizeof record.name, "%s", object.name.c_str());
        snprintf(record.type_name, sizeof record.type_name, "%s",
                 object.kind == Camera ? "Camera"
                 : object.kind == Lamp ? "Lamp"
                                       : "Mesh");
        record.kind = object.kind;
        record.children = imported->children[i].data();
        record.child_count = (int32_t)imported->children[i].size();
        record.is_root = object.parent < 0;
        record.parent = object.parent;
        snprintf(record.parent_name, sizeof record.parent_name, "%s",
                 object.parent < 0 ? "none" : objects[object.parent].name.c_str());
        record.display_list = 0;
        if (object.kind == Mesh) polygons += record.triangle_count + 2 * (int64_t)record.quad_count;
    }
    imported->scene.objects = imported->records.data();
    imported->scene.object_count = (int32_t)objects.size();
    imported->scene.frame_count = imported->frame_count;
    imported->scene.polygon_count = (int32_t)std::min<int64_t>(polygons, INT32_MAX);
}

}  // namespace orj
