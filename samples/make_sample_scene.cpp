// Makes the viewer's sample data: a dancing robot on a tiled floor with two
// lamps and five cameras (fiche.orj) and its texture (texturarobot2.tga).
// Usage: make_sample_scene [OUTPUT_DIR]   (default: data)
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "orj/core/base/command_line.h"
#include "orj/core/image/image_write.h"
#include "orj/core/scene/scene_reader.h"
#include "orj/core/scene/scene_writer.h"
#include "samples/sample_geometry.h"
#include "samples/sample_texture.h"

using namespace orj;

// Frame 0 plays once; frames 1 .. CYCLE then loop, CYCLE frames per dance.
enum {
    CYCLE = 120,
    FRAME_COUNT = CYCLE + 1
};

static const float pi = 3.14159265358979f;

enum Part {
    LAMP_WARM,
    LAMP_COOL,
    FLOOR,
    HIPS,
    TORSO,
    HEAD,
    ANTENNA,
    ARM_L,
    FOREARM_L,
    HAND_L,
    ARM_R,
    FOREARM_R,
    HAND_R,
    THIGH_L,
    SHIN_L,
    FOOT_L,
    THIGH_R,
    SHIN_R,
    FOOT_R,
    CAMERA_FRONT,
    CAMERA_RIGHT,
    CAMERA_LEFT,
    CAMERA_BACK,
    CAMERA_ORBIT,
    PART_COUNT
};

struct PartInfo {
    const char *name;
    ObjectKind kind;
    int parent;  // -1: a root
};

// Lamps come first: a lamp lights only what is drawn after it.
static const PartInfo parts[PART_COUNT] = {
    {"lampara", Lamp, -1},         {"lampara2", Lamp, -1},     {"suelo", Mesh, -1},
    {"cadera", Mesh, -1},          {"torso", Mesh, HIPS},      {"cabeza", Mesh, TORSO},
    {"antena", Mesh, HEAD},        {"brazo_izq", Mesh, TORSO}, {"antebrazo_izq", Mesh, ARM_L},
    {"mano_izq", Mesh, FOREARM_L}, {"brazo_der", Mesh, TORSO}, {"antebrazo_der", Mesh, ARM_R},
    {"mano_der", Mesh, FOREARM_R}, {"muslo_izq", Mesh, HIPS},  {"pierna_izq", Mesh, THIGH_L},
    {"pie_izq", Mesh, SHIN_L},     {"muslo_der", Mesh, HIPS},  {"pierna_der", Mesh, THIGH_R},
    {"pie_der", Mesh, SHIN_R},     {"camara", Camera, -1},     {"Camera", Camera, -1},
    {"camara2", Camera, -1},       {"camara3", Camera, -1},    {"camara5", Camera, -1},
};

struct Transform {
    Vector3 location;  // relative to the parent's origin, in the parent's space
    Vector3 rotation;  // degrees about x, then y, then z
};

// ---- Geometry: every part is built around its joint, the limbs hanging down -y.

static MeshParts make_floor()
{
    MeshParts mesh;
    for (int i = 0; i < 8; i++)
        for (int j = 0; j < 8; j++) {
            AtlasRect rect = (i + j) % 2 ? atlas_floor_dark : atlas_floor_light;
            float x0 = -4.0f + i, z0 = -4.0f + j;
            int corners[4] = {mesh_add_vertex(&mesh, {x0, 0, z0 + 1}, {0, 1, 0}),
                              mesh_add_vertex(&mesh, {x0 + 1, 0, z0 + 1}, {0, 1, 0}),
                              mesh_add_vertex(&mesh, {x0 + 1, 0, z0}, {0, 1, 0}),
                              mesh_add_vertex(&mesh, {x0, 0, z0}, {0, 1, 0})};
            TexCoord tex[4] = {{rect.x0 / ATLAS_SIZE, rect.y1 / ATLAS_SIZE},
                               {rect.x1 / ATLAS_SIZE, rect.y1 / ATLAS_SIZE},
                               {rect.x1 / ATLAS_SIZE, rect.y0 / ATLAS_SIZE},
                               {rect.x0 / ATLAS_SIZE, rect.y0 / ATLAS_SIZE}};
            mesh_add_quad(&mesh, corners, tex);
        }
    return mesh;
}

static void all_faces(AtlasRect faces[6], AtlasRect rect)
{
    for (int i = 0; i < 6; i++) faces[i] = rect;
}

static MeshParts make_hips()
{
    MeshParts mesh;
    AtlasRect faces[6];
    all_faces(faces, atlas_plate);
    mesh_add_rounded_box(&mesh, {0, -0.15f, 0}, {0.95f, 0.38f, 0.6f}, 0.2f, 1, false, faces);
    mesh_add_tube(&mesh, 0, 0, 0.15f, 0.5f, 0.5f, 0.42f, 16, 2, false, atlas_joint, atlas_joint);
    return mesh;
}

static MeshParts make_torso()
{
    MeshParts mesh;
    AtlasRect faces[6];
    all_faces(faces, atlas_plate);
    faces[4] = atlas_chest;
    faces[5] = atlas_back;
    mesh_add_rounded_box(&mesh, {0, 1.25f, 0}, {1.3f, 1.1f, 0.78f}, 0.3f, 2, true, faces);
    mesh_add_tube(&mesh, 0, 0, 2.2f, 0.3f, 2.55f, 0.26f, 16, 2, false, atlas_joint, atlas_joint);
    return mesh;
}

static MeshParts make_head()
{
    MeshParts mesh;
    mesh_add_ball(&mesh, {0, 0.8f, 0}, {0.82f, 0.75f, 0.8f}, 28, 14, atlas_head);
    return mesh;
}

static MeshParts make_antenna()
{
    MeshParts mesh;
    mesh_add_tube(&mesh, 0, 0, -0.1f, 0.06f, 0.5f, 0.04f, 8, 2, true, atlas_limb, atlas_joint);
    mesh_add_ball(&mesh, {0, 0.6f, 0}, {0.13f, 0.13f, 0.13f}, 8, 6, atlas_bulb);
    return mesh;
}

static MeshParts make_upper_arm()
{
    MeshParts mesh;
    AtlasRect faces[6];
    all_faces(faces, atlas_plate);
    mesh_add_rounded_box(&mesh, {0, 0.05f, 0}, {0.48f, 0.32f, 0.5f}, 0.22f, 1, false, faces);
    mesh_add_tube(&mesh, 0, 0, -0.2f, 0.3f, -1.2f, 0.25f, 12, 4, true, atlas_limb, atlas_joint);
    return mesh;
}

static MeshParts make_forearm()
{
    MeshParts mesh;
    mesh_add_ball(&mesh, {0, 0, 0}, {0.3f, 0.3f, 0.3f}, 12, 8, atlas_joint);
    mesh_add_tube(&mesh, 0, 0, -0.15f, 0.27f, -1.0f, 0.21f, 12, 4, true, atlas_limb, atlas_joint);
    return mesh;
}

static MeshParts make_hand()
{
    MeshParts mesh;
    AtlasRect faces[6];
    all_faces(faces, atlas_hand);
    mesh_add_ball(&mesh, {0, 0, 0}, {0.17f, 0.17f, 0.17f}, 8, 6, atlas_joint);
    mesh_add_rounded_box(&mesh, {0, -0.3f, 0}, {0.14f, 0.22f, 0.24f}, 0.08f, 0, false, faces);
    mesh_add_rounded_box(&mesh, {0, -0.68f, 0.12f}, {0.09f, 0.2f, 0.08f}, 0.0f, 0, false, faces);
    mesh_add_rounded_box(&mesh, {0, -0.68f, -0.12f}, {0.09f, 0.2f, 0.08f}, 0.0f, 0, false, faces);
    mesh_add_rounded_box(&mesh, {0, -0.42f, 0.31f}, {0.08f, 0.14f, 0.07f}, 0.0f, 0, false, faces);
    return mesh;
}

static MeshParts make_thigh()
{
    MeshParts mesh;
    mesh_add_ball(&mesh, {0, 0, 0}, {0.38f, 0.38f, 0.38f}, 12, 8, atlas_joint);
    mesh_add_tube(&mesh, 0, 0, -0.2f, 0.34f, -1.25f, 0.28f, 12, 4, true, atlas_limb, atlas_joint);
    return mesh;
}

static MeshParts make_shin()
{
    MeshParts mesh;
    AtlasRect faces[6];
    all_faces(faces, atlas_plate);
    mesh_add_ball(&mesh, {0, 0, 0}, {0.32f, 0.32f, 0.32f}, 12, 8, atlas_joint);
    mesh_add_rounded_box(&mesh, {0, 0, 0.26f}, {0.22f, 0.22f, 0.1f}, 0.07f, 0, false, faces);
    mesh_add_tube(&mesh, 0, 0, -0.15f, 0.3f, -1.25f, 0.24f, 12, 4, true, atlas_limb, atlas_joint);
    return mesh;
}

static MeshParts make_foot()
{
    MeshParts mesh;
    AtlasRect faces[6];
    all_faces(faces, atlas_sole);
    faces[2] = atlas_plate;
    mesh_add_ball(&mesh, {0, 0, 0}, {0.22f, 0.22f, 0.22f}, 10, 6, atlas_joint);
    mesh_add_rounded_box(&mesh, {0, -0.3f, 0.2f}, {0.34f, 0.17f, 0.52f}, 0.12f, 1, false, faces);
    return mesh;
}

// ---- Animation: a marching dance, pumping arms that rise to wave and come down again.

static float smoothstep(float a, float b, float x)
{
    float t = std::fmax(0.0f, std::fmin(1.0f, (x - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

static float wave(float phase, float cycles, float offset = 0.0f)
{
    return std::sin(2.0f * pi * cycles * phase + offset);
}

// A camera at distance from target, turned by yaw about y and looking down by pitch.
static Transform camera_looking_at(Vector3 target, float distance, float yaw, float pitch)
{
    float y = yaw * pi / 180.0f, p = pitch * pi / 180.0f;
    Vector3 location = {target.x + distance * std::cos(p) * std::sin(y), target.y + distance * std::sin(p),
                        target.z + distance * std::cos(p) * std::cos(y)};
    return {location, {-pitch, yaw, 0.0f}};
}

// The pose of every part at phase (0 to 1 over one dance).
static void pose_at(float phase, Transform pose[PART_COUNT])
{
    float march = wave(phase, 4);
    float left = std::fmax(0.0f, march), right = std::fmax(0.0f, -march);
    float triangle = 1.0f - std::fabs(2.0f * phase - 1.0f);
    float raised = smoothstep(0.3f, 0.7f, triangle);
    float pump = 1.0f - raised;
    float beat = wave(phase, 8);

    pose[LAMP_WARM] = {{4.0f, 8.5f, 5.5f}, {1.4f, 1.0f, 0.55f}};
    pose[LAMP_COOL] = {{-5.0f, 6.0f, -3.0f}, {0.45f, 0.7f, 1.5f}};
    pose[FLOOR] = {{0, 0, 0}, {0, 0, 0}};

    pose[HIPS] = {{0, 3.52f, 0}, {0, 10.0f * wave(phase, 2), 0}};
    pose[TORSO] = {{0, 0.3f, 0}, {4.0f * raised, 12.0f * wave(phase, 2, 0.6f), -4.0f * march}};
    pose[HEAD] = {{0, 2.45f, 0}, {6.0f * beat, 22.0f * wave(phase, 1), 6.0f * wave(phase, 4, 1.0f)}};
    pose[ANTENNA] = {{0, 1.5f, 0}, {8.0f * wave(phase, 8, 2.0f), 0, 14.0f * wave(phase, 8, 1.0f)}};

    for (int side = 0; side < 2; side++) {
        float s = side == 0 ? 1.0f : -1.0f;  // +x is the robot's left
        int arm = side == 0 ? ARM_L : ARM_R;
        // Arms swing against the legs while marching, then go up and wave.
        float swing = s * 32.0f * march;
        pose[arm] = {{s * 1.62f, 1.95f, 0}, {pump * (-12.0f + swing), 0, s * (8.0f * pump + 150.0f * raised)}};
        pose[arm + 1] = {{0, -1.3f, 0},
                         {pump * (-70.0f + 12.0f * s * march), 0, raised * s * 28.0f * wave(phase, 8, s)}};
        pose[arm + 2] = {{0, -1.1f, 0}, {-10.0f * pump + 12.0f * raised * beat, 0, 0}};

        int thigh = side == 0 ? THIGH_L : THIGH_R;
        float lift = side == 0 ? left : right;
        pose[thigh] = {{s * 0.6f, -0.25f, 0}, {-55.0f * lift, s * 4.0f, s * 2.0f}};
        pose[thigh + 1] = {{0, -1.4f, 0}, {80.0f * lift, 0, 0}};
        pose[thigh + 2] = {{0, -1.4f, 0}, {-25.0f * lift, -s * 4.0f, -s * 2.0f}};
    }

    Vector3 target = {0, 4.2f, 0};
    pose[CAMERA_FRONT] = camera_looking_at(target, 13.0f, 0.0f, 8.0f);
    pose[CAMERA_RIGHT] = camera_looking_at(target, 12.5f, -55.0f, 14.0f);
    pose[CAMERA_LEFT] = camera_looking_at({0, 3.3f, 0}, 13.0f, 35.0f, 20.0f);
    pose[CAMERA_BACK] = camera_looking_at(target, 13.5f, 155.0f, 28.0f);
    pose[CAMERA_ORBIT] = camera_looking_at({0, 4.4f, 0}, 12.0f, 90.0f + 360.0f * phase, 4.0f);
}

// ---- Assembly into scene records.

struct SampleScene {
    Scene scene;
    std::vector<SceneObject> objects;
    std::deque<MeshParts> meshes;
    std::deque<std::vector<Vector3>> tracks;
    std::deque<std::vector<int32_t>> child_lists;
};

static MeshParts make_part_mesh(int part)
{
    switch (part) {
    case FLOOR:
        return make_floor();
    case HIPS:
        return make_hips();
    case TORSO:
        return make_torso();
    case HEAD:
        return make_head();
    case ANTENNA:
        return make_antenna();
    case ARM_L:
    case ARM_R:
        return make_upper_arm();
    case FOREARM_L:
    case FOREARM_R:
        return make_forearm();
    case HAND_L:
    case HAND_R:
        return make_hand();
    case THIGH_L:
    case THIGH_R:
        return make_thigh();
    case SHIN_L:
    case SHIN_R:
        return make_shin();
    case FOOT_L:
    case FOOT_R:
        return make_foot();
    default:
        return MeshParts();
    }
}

static Vector3 *new_track(SampleScene *sample)
{
    sample->tracks.emplace_back(FRAME_COUNT);
    return sample->tracks.back().data();
}

static bool build_sample_scene(SampleScene *sample)
{
    static const char *type_names[3] = {"Mesh", "Camera", "Lamp"};
    sample->objects.assign(PART_COUNT, SceneObject());
    int32_t polygons = 0;
    for (int i = 0; i < PART_COUNT; i++) {
        SceneObject *object = &sample->objects[i];
        *object = SceneObject();
        snprintf(object->name, sizeof object->name, "%s", parts[i].name);
        snprintf(object->type_name, sizeof object->type_name, "%s", type_names[parts[i].kind]);
        object->kind = parts[i].kind;
        object->is_root = parts[i].parent < 0;
        object->parent = parts[i].parent;
        snprintf(object->parent_name, sizeof object->parent_name, "%s",
                 parts[i].parent < 0 ? "none" : parts[parts[i].parent].name);
        if (parts[i].kind == Mesh) {
            sample->meshes.push_back(make_part_mesh(i));
            MeshParts *mesh = &sample->meshes.back();
            int bad = mesh_find_misturned_face(mesh);
            if (bad >= 0) {
                fprintf(stderr, "make_sample_scene: face %d of %s is turned against its normals\n", bad, parts[i].name);
                return false;
            }
            object->vertices = mesh->vertices.data();
            object->normals = mesh->normals.data();
            object->quads = mesh->quads.data();
            object->triangles = mesh->triangles.data();
            object->vertex_count = (int32_t)mesh->vertices.size();
            object->quad_count = (int32_t)mesh->quads.size();
            object->triangle_count = (int32_t)mesh->triangles.size();
            object->face_count = object->quad_count + object->triangle_count;
            polygons += object->triangle_count + 2 * object->quad_count;
        }
        object->locations = new_track(sample);
        object->rotations = new_track(sample);
        object->scales = new_track(sample);
        sample->child_lists.emplace_back();
        for (int j = 0; j < PART_COUNT; j++)
            if (parts[j].parent == i) sample->child_lists.back().push_back(j);
        object->children = sample->child_lists.back().data();
        object->child_count = (int32_t)sample->child_lists.back().size();
    }

    for (int f = 0; f < FRAME_COUNT; f++) {
        // Frame 0 stands where the last frame does, so that every step of the loop is one step of the dance.
        int step = f == 0 ? CYCLE - 1 : f - 1;
        Transform pose[PART_COUNT];
        pose_at((float)step / CYCLE, pose);
        for (int i = 0; i < PART_COUNT; i++) {
            sample->objects[i].locations[f] = pose[i].location;
            sample->objects[i].rotations[f] = pose[i].rotation;
            sample->objects[i].scales[f] = {1, 1, 1};
        }
    }

    sample->scene.objects = sample->objects.data();
    sample->scene.object_count = PART_COUNT;
    sample->scene.frame_count = FRAME_COUNT;
    sample->scene.polygon_count = polygons;
    return true;
}

int main(int argc, char **argv)
{
    const char *usage = "usage: make_sample_scene [OUTPUT_DIR]\n"
                        "Writes OUTPUT_DIR/fiche.orj and OUTPUT_DIR/texturarobot2.tga (default: data).\n"
                        "  --version  print the engine's version\n";
    std::vector<const char *> arguments;
    int answer = command_line_answer_plain("make_sample_scene", argc, argv, usage, &arguments);
    if (answer >= 0) return answer;
    if (arguments.size() > 1)
        return command_line_answer("make_sample_scene", OPTIONS_BAD, "one OUTPUT_DIR at most", usage);
    std::string dir = arguments.empty() ? "data" : arguments[0];
    std::string scene_path = dir + "/fiche.orj";
    std::string texture_path = dir + "/texturarobot2.tga";

    SampleScene sample;
    if (!build_sample_scene(&sample)) return 1;

    Error error;
    if (save_scene(&sample.scene, LOCATIONS_RELATIVE, scene_path.c_str(), &error) != ERROR_NONE) {
        fprintf(stderr, "make_sample_scene: %s\n", error.message.c_str());
        return 1;
    }
    // Read the file back: what was written must load as what was built.
    Scene check;
    if (read_scene_file(&check, scene_path.c_str(), &error) != ERROR_NONE) {
        fprintf(stderr, "make_sample_scene: the written scene does not read back: %s\n", error.message.c_str());
        return 1;
    }
    bool same = check.object_count == sample.scene.object_count && check.polygon_count == sample.scene.polygon_count &&
                check.frame_count == sample.scene.frame_count;
    free_scene_records(&check);
    if (!same) {
        fprintf(stderr, "make_sample_scene: %s reads back with other counts\n", scene_path.c_str());
        return 1;
    }

    if (write_tga_file(texture_path.c_str(), paint_robot_texture(), &error) != ERROR_NONE) {
        fprintf(stderr, "make_sample_scene: %s\n", error.message.c_str());
        return 1;
    }
    printf("%s: %d objects, %d frames, %d polygons\n%s: %dx%d\n", scene_path.c_str(), sample.scene.object_count,
           sample.scene.frame_count, sample.scene.polygon_count, texture_path.c_str(), ATLAS_SIZE, ATLAS_SIZE);
    return 0;
}
