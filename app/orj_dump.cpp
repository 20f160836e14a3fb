#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "app/orj_commands.h"

using nlohmann::json;

// The shortest decimal that reads back as this float, carried as a double
// so that the JSON text keeps it; NaN and infinities as strings.
static json float_value(float value)
{
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[32];
    std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer - 1, value);
    *written.ptr = '\0';
    return strtod(buffer, nullptr);
}

static json vectors(const Vector3 *values, int count)
{
    json array = json::array();
    for (int i = 0; i < count; i++)
        array.push_back({float_value(values[i].x), float_value(values[i].y), float_value(values[i].z)});
    return array;
}

// Names are bytes: kept when they are UTF-8, else read as Latin-1.
static std::string text_value(const char *text)
{
    std::string bytes(text);
    try {
        (void)json(bytes).dump();
        return bytes;
    } catch (const json::type_error &) {
        std::string utf8;
        for (unsigned char c : bytes) {
            if (c < 0x80) {
                utf8 += (char)c;
            } else {
                utf8 += (char)(0xc0 | (c >> 6));
                utf8 += (char)(0x80 | (c & 0x3f));
            }
        }
        return utf8;
    }
}

template <typename Face>
static json faces(const Face *list, int count, int corners)
{
    json array = json::array();
    for (int f = 0; f < count; f++) {
        json corner_list = json::array(), tex_coords = json::array();
        for (int c = 0; c < corners; c++) {
            corner_list.push_back(list[f].corners[c]);
            tex_coords.push_back({float_value(list[f].tex_coords[c].s), float_value(list[f].tex_coords[c].t)});
        }
        array.push_back({{"corners", corner_list}, {"tex_coords", tex_coords}});
    }
    return array;
}

void orj_print_dump(const Scene *scene, FILE *out)
{
    json objects = json::array();
    for (int i = 0; i < scene->object_count; i++) {
        const SceneObject *object = &scene->objects[i];
        json kind = nullptr;
        if (object->kind == Mesh) kind = "Mesh";
        else if (object->kind == Camera) kind = "Camera";
        else if (object->kind == Lamp) kind = "Lamp";
        json parent = nullptr;
        if (!object->is_root && object->parent >= 0) parent = object->parent;
        json children = json::array();
        for (int c = 0; c < object->child_count; c++) children.push_back(object->children[c]);
        objects.push_back({
            {"name", text_value(object->name)},
            {"type_name", text_value(object->type_name)},
            {"kind", kind},
            {"parent_name", text_value(object->parent_name)},
            {"is_root", object->is_root != 0},
            {"parent", parent},
            {"children", children},
            {"vertex_count", object->vertex_count},
            {"face_count", object->face_count},
            {"quad_count", object->quad_count},
            {"triangle_count", object->triangle_count},
            {"vertices", vectors(object->vertices, object->vertex_count)},
            {"normals", vectors(object->normals, object->vertex_count)},
            {"quads", faces(object->quads, object->quad_count, 4)},
            {"triangles", faces(object->triangles, object->triangle_count, 3)},
            {"locations", vectors(object->locations, scene->frame_count)},
            {"rotations", vectors(object->rotations, scene->frame_count)},
            {"scales", vectors(object->scales, scene->frame_count)},
        });
    }
    json document = {
        {"object_count", scene->object_count},
        {"frame_count", scene->frame_count},
        {"polygon_count", scene->polygon_count},
        {"objects", objects},
    };
    std::string text = document.dump();
    text += '\n';
    fwrite(text.data(), 1, text.size(), out);
}
