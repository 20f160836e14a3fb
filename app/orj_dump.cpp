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

// Writes value as the JSON library writes it (the pieces keep its number
// and string formats, so the streamed text matches a whole-document dump).
static void put(const json &value, FILE *out)
{
    std::string text = value.dump();
    fwrite(text.data(), 1, text.size(), out);
}

static void put_vectors(const Vector3 *values, int count, FILE *out)
{
    fputc('[', out);
    for (int i = 0; i < count; i++) {
        if (i > 0) fputc(',', out);
        put({float_value(values[i].x), float_value(values[i].y), float_value(values[i].z)}, out);
    }
    fputc(']', out);
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
static void put_faces(const Face *list, int count, int corners, FILE *out)
{
    fputc('[', out);
    for (int f = 0; f < count; f++) {
        json corner_list = json::array(), tex_coords = json::array();
        for (int c = 0; c < corners; c++) {
            corner_list.push_back(list[f].corners[c]);
            tex_coords.push_back({float_value(list[f].tex_coords[c].s), float_value(list[f].tex_coords[c].t)});
        }
        if (f > 0) fputc(',', out);
        put({{"corners", corner_list}, {"tex_coords", tex_coords}}, out);
    }
    fputc(']', out);
}

// One object's record; keys in the JSON library's (sorted) order.
static void put_object(const Scene *scene, const SceneObject *object, FILE *out)
{
    json kind = nullptr;
    if (object->kind == Mesh) kind = "Mesh";
    else if (object->kind == Camera) kind = "Camera";
    else if (object->kind == Lamp) kind = "Lamp";
    json parent = nullptr;
    if (!object->is_root && object->parent >= 0) parent = object->parent;
    json children = json::array();
    for (int c = 0; c < object->child_count; c++) children.push_back(object->children[c]);

    fputs("{\"children\":", out);
    put(children, out);
    fprintf(out, ",\"face_count\":%d,\"is_root\":%s,\"kind\":", (int)object->face_count,
            object->is_root != 0 ? "true" : "false");
    put(kind, out);
    fputs(",\"locations\":", out);
    put_vectors(object->locations, scene->frame_count, out);
    fputs(",\"name\":", out);
    put(text_value(object->name), out);
    fputs(",\"normals\":", out);
    put_vectors(object->normals, object->vertex_count, out);
    fputs(",\"parent\":", out);
    put(parent, out);
    fputs(",\"parent_name\":", out);
    put(text_value(object->parent_name), out);
    fprintf(out, ",\"quad_count\":%d,\"quads\":", (int)object->quad_count);
    put_faces(object->quads, object->quad_count, 4, out);
    fputs(",\"rotations\":", out);
    put_vectors(object->rotations, scene->frame_count, out);
    fputs(",\"scales\":", out);
    put_vectors(object->scales, scene->frame_count, out);
    fprintf(out, ",\"triangle_count\":%d,\"triangles\":", (int)object->triangle_count);
    put_faces(object->triangles, object->triangle_count, 3, out);
    fputs(",\"type_name\":", out);
    put(text_value(object->type_name), out);
    fprintf(out, ",\"vertex_count\":%d,\"vertices\":", (int)object->vertex_count);
    put_vectors(object->vertices, object->vertex_count, out);
    fputc('}', out);
}

// Streamed object by object: a large scene's text is never held whole.
void orj_print_dump(const Scene *scene, FILE *out)
{
    fprintf(out, "{\"frame_count\":%d,\"object_count\":%d,\"objects\":[", (int)scene->frame_count,
            (int)scene->object_count);
    for (int i = 0; i < scene->object_count && !ferror(out); i++) {
        if (i > 0) fputc(',', out);
        put_object(scene, &scene->objects[i], out);
    }
    fprintf(out, "],\"polygon_count\":%d}\n", (int)scene->polygon_count);
}
