#include "importer/orj_import_atlas.h"

#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <map>

namespace orj {

namespace {

// One tile of the atlas: a texture shared by the materials that name it, or
// one plain colour.
struct Tile {
    std::string key;  // "texture:REFERENCE" or "colour:R,G,B"
    bool textured;
    Image source;  // the texture as decoded (a patch of the colour for a colour tile)
    Image base;    // source, shrunk as far as the atlas needs
    int repeats_s, repeats_t;
    bool repeats_cut;  // faces wanted more than ATLAS_MAX_REPEATS copies
    int x, y;          // the top left corner of the tile's copies in the atlas
    int padding;       // ATLAS_PADDING; 0 for a tile alone, which has no neighbours to bleed
};

const float EDGE_SLACK = 1e-3f;  // coordinates this close past a whole number count as on it

std::string material_name(const aiMaterial *material, int index)
{
    aiString name;
    if (material && material->Get(AI_MATKEY_NAME, name) == AI_SUCCESS && name.length > 0) return name.C_Str();
    return "material " + std::to_string(index);
}

// The material's diffuse colour (its base colour for physically based ones), white when it has none.
void material_colour(const aiMaterial *material, uint8_t rgb[3])
{
    aiColor4D colour(1, 1, 1, 1);
    if (material && material->Get(AI_MATKEY_COLOR_DIFFUSE, colour) != AI_SUCCESS)
        if (material->Get(AI_MATKEY_BASE_COLOR, colour) != AI_SUCCESS) colour = aiColor4D(1, 1, 1, 1);
    const float values[3] = {colour.r, colour.g, colour.b};
    for (int k = 0; k < 3; k++) {
        float v = std::isfinite(values[k]) ? std::min(1.0f, std::max(0.0f, values[k])) : 1.0f;
        rgb[k] = (uint8_t)std::lround(v * 255.0f);
    }
}

Image colour_patch(const uint8_t rgb[3])
{
    Image patch = {ATLAS_COLOUR_TILE, ATLAS_COLOUR_TILE, true, {}};
    for (int p = 0; p < ATLAS_COLOUR_TILE * ATLAS_COLOUR_TILE; p++)
        patch.rgba.insert(patch.rgba.end(), {rgb[0], rgb[1], rgb[2], 255});
    return patch;
}

// image averaged down to width x height (each at most the image's own).
Image shrink(const Image &image, int width, int height)
{
    if (width == image.width && height == image.height) return image;
    Image out = {width, height, image.has_alpha, std::vector<uint8_t>((size_t)width * height * 4)};
    for (int y = 0; y < height; y++) {
        int y0 = (int)((int64_t)y * image.height / height),
            y1 = std::max(y0 + 1, (int)((int64_t)(y + 1) * image.height / height));
        for (int x = 0; x < width; x++) {
            int x0 = (int)((int64_t)x * image.width / width),
                x1 = std::max(x0 + 1, (int)((int64_t)(x + 1) * image.width / width));
            uint32_t sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; sy++)
                for (int sx = x0; sx < x1; sx++)
                    for (int k = 0; k < 4; k++) sum[k] += image.rgba[((size_t)sy * image.width + sx) * 4 + k];
            uint32_t count = (uint32_t)((y1 - y0) * (x1 - x0));
            for (int k = 0; k < 4; k++) out.rgba[((size_t)y * width + x) * 4 + k] = (uint8_t)(sum[k] / count);
        }
    }
    return out;
}

int power_of_two_at_least(int64_t n)
{
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}

int padded_width(const Tile &tile) { return tile.base.width * tile.repeats_s + 2 * tile.padding; }

int padded_height(const Tile &tile) { return tile.base.height * tile.repeats_t + 2 * tile.padding; }

// Shelves of tiles, tallest first, in a square-ish power-of-two atlas. False
// when they do not fit within ATLAS_MAX_SIDE.
bool pack_tiles(std::vector<Tile> *tiles, int *width, int *height)
{
    std::vector<size_t> order(tiles->size());
    int64_t area = 0;
    int widest = 1;
    for (size_t i = 0; i < tiles->size(); i++) {
        order[i] = i;
        area += (int64_t)padded_width((*tiles)[i]) * padded_height((*tiles)[i]);
        widest = std::max(widest, padded_width((*tiles)[i]));
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return padded_height((*tiles)[a]) > padded_height((*tiles)[b]); });
    for (int w = power_of_two_at_least(std::max<int64_t>(widest, (int64_t)std::sqrt((double)area)));
         w <= ATLAS_MAX_SIDE; w *= 2) {
        int x = 0, y = 0, shelf = 0;
        for (size_t i : order) {
            Tile &tile = (*tiles)[i];
            if (x + padded_width(tile) > w) {
                x = 0;
                y += shelf;
                shelf = 0;
            }
            tile.x = x + tile.padding;
            tile.y = y + tile.padding;
            x += padded_width(tile);
            shelf = std::max(shelf, padded_height(tile));
        }
        int h = power_of_two_at_least(y + shelf);
        if (h <= ATLAS_MAX_SIDE) {
            *width = w;
            *height = h;
            return true;
        }
    }
    return false;
}

// The tile's copies, with its padding of the texture wrapped round them.
void paint_tile(const Tile &tile, Image *atlas)
{
    const Image &base = tile.base;
    int inner_w = base.width * tile.repeats_s, inner_h = base.height * tile.repeats_t;
    for (int py = -tile.padding; py < inner_h + tile.padding; py++) {
        int sy = ((py % base.height) + base.height) % base.height;
        for (int px = -tile.padding; px < inner_w + tile.padding; px++) {
            int sx = ((px % base.width) + base.width) % base.width;
            const uint8_t *from = &base.rgba[((size_t)sy * base.width + sx) * 4];
            uint8_t *to = &atlas->rgba[((size_t)(tile.y + py) * atlas->width + (tile.x + px)) * 4];
            std::copy(from, from + 4, to);
        }
    }
}

// Whole numbers by which a face's coordinates can move without changing what
// it shows, so that its smallest coordinates land in 0..1.
void face_shift(const TexCoord *corners, int count, float *shift_s, float *shift_t)
{
    float low_s = corners[0].s, low_t = corners[0].t;
    for (int k = 1; k < count; k++) {
        low_s = std::min(low_s, corners[k].s);
        low_t = std::min(low_t, corners[k].t);
    }
    *shift_s = std::floor(low_s + EDGE_SLACK);
    *shift_t = std::floor(low_t + EDGE_SLACK);
}

// Copies of the texture each side of the tile needs for the face.
void face_repeats(const TexCoord *corners, int count, Tile *tile)
{
    float shift_s, shift_t;
    face_shift(corners, count, &shift_s, &shift_t);
    for (int k = 0; k < count; k++) {
        // Held short of what an int takes: a face that spans a huge range is cut at the bound anyway.
        double s = std::min((double)corners[k].s - shift_s, ATLAS_MAX_REPEATS + 1.0);
        double t = std::min((double)corners[k].t - shift_t, ATLAS_MAX_REPEATS + 1.0);
        if (!std::isfinite(s) || !std::isfinite(t)) continue;  // the mesh conversion leaves none; placed at 0
        int need_s = (int)std::ceil(s - EDGE_SLACK), need_t = (int)std::ceil(t - EDGE_SLACK);
        if (need_s > ATLAS_MAX_REPEATS || need_t > ATLAS_MAX_REPEATS) tile->repeats_cut = true;
        tile->repeats_s = std::max(tile->repeats_s, std::min(need_s, (int)ATLAS_MAX_REPEATS));
        tile->repeats_t = std::max(tile->repeats_t, std::min(need_t, (int)ATLAS_MAX_REPEATS));
    }
}

void place_face(TexCoord *corners, int count, const Tile &tile, int width, int height)
{
    if (!tile.textured) {
        // Every corner on the middle of the colour: no neighbour bleeds in.
        TexCoord middle = {(tile.x + tile.base.width / 2.0f) / width, (tile.y + tile.base.height / 2.0f) / height};
        for (int k = 0; k < count; k++) corners[k] = middle;
        return;
    }
    float shift_s, shift_t;
    face_shift(corners, count, &shift_s, &shift_t);
    for (int k = 0; k < count; k++) {
        float s = std::min((float)tile.repeats_s, std::max(0.0f, corners[k].s - shift_s));
        float t = std::min((float)tile.repeats_t, std::max(0.0f, corners[k].t - shift_t));
        corners[k] = {(tile.x + s * tile.base.width) / width, (tile.y + t * tile.base.height) / height};
    }
}

// The atlas's tiles and which material shows which.
struct TileSet {
    std::vector<Tile> tiles;
    std::map<std::string, int> tile_by_key;
    std::map<int, int> tile_of_material;  // material (-1: none) -> tile
};

int material_of(const aiScene *scene, const ImportObject &object)
{
    return object.material >= 0 && (unsigned)object.material < scene->mNumMaterials ? object.material : -1;
}

Tile *tile_for(TileSet *set, const aiScene *scene, const ImportObject &object)
{
    auto found = set->tile_of_material.find(material_of(scene, object));
    return found == set->tile_of_material.end() ? &set->tiles[0] : &set->tiles[found->second];
}

// The material's tile: its texture when that loads, its colour otherwise. note
// says which, for the list of materials.
Tile material_tile(const aiScene *scene, int material, const std::string &name, ModelFolder *folder, const TileSet &set,
                   Atlas *atlas, std::string *note)
{
    const aiMaterial *source = material >= 0 ? scene->mMaterials[material] : nullptr;
    uint8_t rgb[3];
    material_colour(source, rgb);
    char colour_text[64];
    snprintf(colour_text, sizeof colour_text, "colour %d,%d,%d", rgb[0], rgb[1], rgb[2]);

    Tile tile = {};
    std::string reference;
    Error error;
    bool textured = material >= 0 && find_material_texture(scene, (unsigned)material, &reference);
    *note = "'" + name + "': ";
    if (textured) {
        tile.key = "texture:" + reference;
        if (!set.tile_by_key.count(tile.key) &&
            load_texture_image(scene, reference, folder, &tile.source, &error) != ERROR_NONE) {
            atlas->warnings.push_back("material '" + name + "': texture '" + reference + "': " + error.message +
                                      "; its " + colour_text + " is used instead");
            *note += "texture '" + reference + "' unusable, " + colour_text + " instead";
            textured = false;
        } else {
            *note += "texture '" + reference + "'";
        }
    } else {
        *note += colour_text;
    }
    if (!textured) {
        tile.key = std::string("colour:") + colour_text;
        tile.source = colour_patch(rgb);
    }
    tile.textured = textured;
    tile.repeats_s = tile.repeats_t = 1;
    return tile;
}

void add_material(const aiScene *scene, int material, ModelFolder *folder, TileSet *set, Atlas *atlas)
{
    std::string name = material >= 0 ? material_name(scene->mMaterials[material], material) : "(no material)";
    std::string note;
    Tile tile = material_tile(scene, material, name, folder, *set, atlas, &note);
    if (!set->tile_by_key.count(tile.key) && set->tiles.size() >= ATLAS_MAX_TILES) {
        // Enough tiles to fill the atlas with the smallest of them: the rest share the first.
        atlas->warnings.push_back("material '" + name + "': more than " + std::to_string(ATLAS_MAX_TILES) +
                                  " textures and colours; it shares the first one's");
        set->tile_of_material[material] = 0;
        return;
    }
    if (!set->tile_by_key.count(tile.key)) {
        set->tile_by_key[tile.key] = (int)set->tiles.size();
        set->tiles.push_back(tile);
    }
    set->tile_of_material[material] = set->tile_by_key[tile.key];
    atlas->materials.push_back(note);
}

// One tile per texture or colour the meshes show (a white one when they show none).
void collect_tiles(const aiScene *scene, ModelFolder *folder, const std::vector<ImportObject> &objects, TileSet *set,
                   Atlas *atlas)
{
    for (const ImportObject &object : objects) {
        if (object.kind != Mesh || (object.quads.empty() && object.triangles.empty())) continue;
        int material = material_of(scene, object);
        if (!set->tile_of_material.count(material)) add_material(scene, material, folder, set, atlas);
    }
    if (set->tiles.empty()) {
        const uint8_t white[3] = {255, 255, 255};
        set->tiles.push_back({"colour:white", false, colour_patch(white), {}, 1, 1, false, 0, 0, 0});
    }
}

// Each tile's copies, padding and base image, shrunk to stay within half the atlas's side.
void size_tiles(const aiScene *scene, const std::vector<ImportObject> &objects, TileSet *set, Atlas *atlas)
{
    for (const ImportObject &object : objects) {
        if (object.kind != Mesh) continue;
        Tile *tile = tile_for(set, scene, object);
        if (!tile->textured) continue;
        for (const Quad &quad : object.quads) face_repeats(quad.tex_coords, 4, tile);
        for (const Triangle &triangle : object.triangles) face_repeats(triangle.tex_coords, 3, tile);
    }
    for (Tile &tile : set->tiles) {
        tile.padding = set->tiles.size() > 1 ? ATLAS_PADDING : 0;
        if (tile.repeats_cut)
            atlas->warnings.push_back(tile.key.substr(tile.key.find(':') + 1) + ": faces repeat it more than " +
                                      std::to_string(ATLAS_MAX_REPEATS) + " times; they show it " +
                                      std::to_string(ATLAS_MAX_REPEATS) + " times, stretched at the edge");
        int limit = ATLAS_MAX_SIDE / 2 - 2 * tile.padding;
        double fit = std::min({1.0, (double)limit / (tile.source.width * tile.repeats_s),
                               (double)limit / (tile.source.height * tile.repeats_t)});
        tile.base = shrink(tile.source, std::max(1, (int)(tile.source.width * fit)),
                           std::max(1, (int)(tile.source.height * fit)));
    }
}

// Packs the tiles, halving every texture while they do not fit: ATLAS_MAX_TILES
// tiles of one texel always do.
void pack_shrinking(std::vector<Tile> *tiles, int *width, int *height)
{
    while (!pack_tiles(tiles, width, height)) {
        bool shrunk = false;
        for (Tile &tile : *tiles)
            if (tile.textured && (tile.base.width > 1 || tile.base.height > 1)) {
                tile.base = shrink(tile.base, std::max(1, tile.base.width / 2), std::max(1, tile.base.height / 2));
                shrunk = true;
            }
        assert(shrunk);
        if (!shrunk) break;
    }
}

}  // namespace

void build_atlas(const aiScene *scene, ModelFolder *folder, std::vector<ImportObject> *objects, Atlas *atlas)
{
    *atlas = Atlas();
    TileSet set;
    collect_tiles(scene, folder, *objects, &set, atlas);
    size_tiles(scene, *objects, &set, atlas);

    int width = 0, height = 0;
    pack_shrinking(&set.tiles, &width, &height);
    atlas->image = {width, height, true, std::vector<uint8_t>((size_t)width * height * 4, 255)};
    for (const Tile &tile : set.tiles) paint_tile(tile, &atlas->image);

    for (ImportObject &object : *objects) {
        if (object.kind != Mesh) continue;
        const Tile &tile = *tile_for(&set, scene, object);
        for (Quad &quad : object.quads) place_face(quad.tex_coords, 4, tile, width, height);
        for (Triangle &triangle : object.triangles) place_face(triangle.tex_coords, 3, tile, width, height);
    }
    for (const Tile &tile : set.tiles)
        if (tile.textured && (tile.repeats_s > 1 || tile.repeats_t > 1))
            atlas->repeats.push_back(tile.key.substr(8) + ": repeated " + std::to_string(tile.repeats_s) + "x" +
                                     std::to_string(tile.repeats_t) + " in its tile");
}

}  // namespace orj
