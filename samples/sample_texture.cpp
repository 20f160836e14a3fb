#include "samples/sample_texture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

const AtlasRect atlas_chest = {0, 0, 128, 128};
const AtlasRect atlas_plate = {128, 0, 192, 64};
const AtlasRect atlas_limb = {192, 0, 256, 64};
const AtlasRect atlas_joint = {128, 64, 192, 128};
const AtlasRect atlas_hand = {192, 64, 256, 128};
const AtlasRect atlas_head = {0, 128, 256, 192};
const AtlasRect atlas_floor_light = {0, 192, 64, 256};
const AtlasRect atlas_floor_dark = {64, 192, 128, 256};
const AtlasRect atlas_sole = {128, 192, 192, 224};
const AtlasRect atlas_bulb = {128, 224, 192, 256};
const AtlasRect atlas_back = {192, 192, 256, 256};

struct Colour {
    float r, g, b;
};

struct Canvas {
    std::vector<float> pixels;  // ATLAS_SIZE * ATLAS_SIZE * 3, 0 to 255
};

static const Colour orange = {238, 128, 36};
static const Colour orange_dark = {150, 70, 18};
static const Colour orange_light = {255, 190, 110};
static const Colour steel = {178, 184, 194};
static const Colour steel_dark = {82, 86, 96};
static const Colour gunmetal = {64, 66, 76};
static const Colour black = {22, 22, 26};
static const Colour yellow = {250, 206, 40};

// Blends colour into pixel (x, y) by weight (0 keeps the pixel, 1 replaces it).
static void blend(Canvas *canvas, int x, int y, Colour colour, float weight)
{
    if (x < 0 || y < 0 || x >= ATLAS_SIZE || y >= ATLAS_SIZE || weight <= 0.0f) return;
    weight = std::min(weight, 1.0f);
    float *p = &canvas->pixels[((size_t)y * ATLAS_SIZE + x) * 3];
    p[0] += (colour.r - p[0]) * weight;
    p[1] += (colour.g - p[1]) * weight;
    p[2] += (colour.b - p[2]) * weight;
}

static void fill_rect(Canvas *canvas, float x0, float y0, float x1, float y1, Colour colour, float weight = 1.0f)
{
    for (int y = (int)std::floor(y0); y < (int)std::ceil(y1); y++)
        for (int x = (int)std::floor(x0); x < (int)std::ceil(x1); x++) blend(canvas, x, y, colour, weight);
}

// A filled ellipse with a soft, one-pixel edge.
static void fill_ellipse(Canvas *canvas, float cx, float cy, float rx, float ry, Colour colour, float weight = 1.0f)
{
    for (int y = (int)(cy - ry - 2); y <= (int)(cy + ry + 2); y++) {
        for (int x = (int)(cx - rx - 2); x <= (int)(cx + rx + 2); x++) {
            float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
            float d = std::sqrt(dx * dx + dy * dy);
            float edge = (1.0f - d) * std::min(rx, ry) + 0.5f;
            blend(canvas, x, y, colour, weight * std::max(0.0f, std::min(1.0f, edge)));
        }
    }
}

// A small deterministic hash noise in [0, 1).
static float noise(int x, int y, int seed)
{
    uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + (uint32_t)seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffff) / 16777216.0f;
}

// Base colour with a vertical shade and a fine grain, as on painted metal.
static void paint_metal(Canvas *canvas, AtlasRect rect, Colour base, float shade, float grain, int seed)
{
    for (int y = (int)rect.y0; y < (int)rect.y1; y++) {
        float v = (y - rect.y0) / (rect.y1 - rect.y0);
        for (int x = (int)rect.x0; x < (int)rect.x1; x++) {
            float k = 1.0f + shade * (0.5f - v) + grain * (noise(x, y, seed) - 0.5f) +
                      0.5f * grain * (noise(x / 4, y, seed + 1) - 0.5f);
            Colour c = {base.r * k, base.g * k, base.b * k};
            blend(canvas, x, y, c, 1.0f);
        }
    }
}

// A raised border: light along the top and left, dark along the bottom and right.
static void bevel(Canvas *canvas, AtlasRect rect, float width, float strength)
{
    Colour light = {255, 255, 255}, dark = {0, 0, 0};
    fill_rect(canvas, rect.x0, rect.y0, rect.x1, rect.y0 + width, light, strength);
    fill_rect(canvas, rect.x0, rect.y0, rect.x0 + width, rect.y1, light, strength * 0.7f);
    fill_rect(canvas, rect.x0, rect.y1 - width, rect.x1, rect.y1, dark, strength);
    fill_rect(canvas, rect.x1 - width, rect.y0, rect.x1, rect.y1, dark, strength * 0.7f);
}

static void rivet(Canvas *canvas, float cx, float cy, float r)
{
    fill_ellipse(canvas, cx + 0.6f, cy + 0.6f, r, r, black, 0.6f);
    fill_ellipse(canvas, cx, cy, r, r, steel);
    fill_ellipse(canvas, cx - r * 0.3f, cy - r * 0.3f, r * 0.45f, r * 0.45f, {255, 255, 255}, 0.8f);
}

// Diagonal yellow and black stripes over a band.
static void hazard(Canvas *canvas, float x0, float y0, float x1, float y1, float period)
{
    for (int y = (int)y0; y < (int)y1; y++)
        for (int x = (int)x0; x < (int)x1; x++) {
            float phase = std::fmod((x + y) / period + 100.0f, 1.0f);
            blend(canvas, x, y, phase < 0.5f ? yellow : black, 1.0f);
        }
}

static void paint_chest(Canvas *canvas)
{
    AtlasRect r = atlas_chest;
    paint_metal(canvas, r, orange, 0.25f, 0.10f, 1);
    bevel(canvas, {r.x0 + 2, r.y0 + 2, r.x1 - 2, r.y1 - 2}, 4, 0.35f);
    // The screen: a dark glass panel with a grid and a pulse trace.
    fill_rect(canvas, 24, 16, 104, 68, orange_dark);
    fill_rect(canvas, 27, 19, 101, 65, {14, 34, 26});
    for (int x = 27; x < 101; x += 8) fill_rect(canvas, x, 19, x + 1, 65, {40, 110, 70}, 0.6f);
    for (int y = 19; y < 65; y += 8) fill_rect(canvas, 27, y, 101, y + 1, {40, 110, 70}, 0.6f);
    float previous = 42;
    for (int x = 29; x < 99; x++) {
        float t = (x - 29) / 70.0f;
        float y = 42 - 18 * std::exp(-std::pow((t - 0.45f) * 14.0f, 2.0f)) +
                  8 * std::exp(-std::pow((t - 0.55f) * 16.0f, 2.0f)) + 2 * std::sin(t * 30.0f);
        for (float s = std::min(previous, y) - 1; s <= std::max(previous, y) + 1; s += 0.5f)
            fill_ellipse(canvas, (float)x, s, 1.3f, 1.3f, {120, 255, 150});
        previous = y;
    }
    // Three buttons.
    const Colour buttons[3] = {{235, 40, 40}, {250, 215, 40}, {60, 220, 80}};
    for (int i = 0; i < 3; i++) {
        float cx = 40.0f + 24.0f * i, cy = 86.0f;
        fill_ellipse(canvas, cx, cy, 10, 10, black);
        fill_ellipse(canvas, cx, cy, 8, 8, buttons[i]);
        fill_ellipse(canvas, cx - 2.5f, cy - 2.5f, 3, 3, {255, 255, 255}, 0.7f);
    }
    // Vent slots.
    for (int i = 0; i < 4; i++) {
        float y = 101.0f + 5.0f * i;
        fill_rect(canvas, 34, y, 94, y + 3, black, 0.85f);
        fill_rect(canvas, 34, y + 3, 94, y + 4, orange_light, 0.6f);
    }
    rivet(canvas, 11, 11, 3.5f);
    rivet(canvas, 117, 11, 3.5f);
    rivet(canvas, 11, 117, 3.5f);
    rivet(canvas, 117, 117, 3.5f);
}

static void paint_plate(Canvas *canvas)
{
    AtlasRect r = atlas_plate;
    paint_metal(canvas, r, orange, 0.2f, 0.10f, 2);
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++) {
            AtlasRect panel = {r.x0 + 32 * i + 1, r.y0 + 32 * j + 1, r.x0 + 32 * i + 31, r.y0 + 32 * j + 31};
            bevel(canvas, panel, 2, 0.35f);
            rivet(canvas, panel.x0 + 5, panel.y0 + 5, 2);
            rivet(canvas, panel.x1 - 5, panel.y1 - 5, 2);
        }
    fill_rect(canvas, r.x0, r.y0 + 31, r.x1, r.y0 + 33, orange_dark);
    fill_rect(canvas, r.x0 + 31, r.y0, r.x0 + 33, r.y1, orange_dark);
}

static void paint_limb(Canvas *canvas)
{
    AtlasRect r = atlas_limb;
    paint_metal(canvas, r, steel, 0.0f, 0.12f, 3);
    // Ribs around the tube, and a hazard band at its middle.
    for (int y = (int)r.y0 + 4; y < (int)r.y1; y += 8) {
        fill_rect(canvas, r.x0, (float)y, r.x1, y + 2.0f, steel_dark, 0.8f);
        fill_rect(canvas, r.x0, y + 2.0f, r.x1, y + 3.0f, {255, 255, 255}, 0.5f);
    }
    hazard(canvas, r.x0, r.y0 + 26, r.x1, r.y0 + 38, 10);
    fill_rect(canvas, r.x0, r.y0 + 25, r.x1, r.y0 + 26, black);
    fill_rect(canvas, r.x0, r.y0 + 38, r.x1, r.y0 + 39, black);
}

static void paint_joint(Canvas *canvas)
{
    AtlasRect r = atlas_joint;
    paint_metal(canvas, r, gunmetal, 0.5f, 0.18f, 4);
    for (int y = (int)r.y0 + 8; y < (int)r.y1; y += 16) fill_rect(canvas, r.x0, (float)y, r.x1, y + 1.0f, black, 0.5f);
}

static void paint_hand(Canvas *canvas)
{
    AtlasRect r = atlas_hand;
    paint_metal(canvas, r, {96, 124, 170}, 0.3f, 0.12f, 5);
    for (int y = (int)r.y0 + 6; y < (int)r.y1 - 4; y += 8)
        fill_rect(canvas, r.x0 + 6, (float)y, r.x1 - 6, y + 2.0f, black, 0.7f);
    bevel(canvas, {r.x0 + 1, r.y0 + 1, r.x1 - 1, r.y1 - 1}, 3, 0.4f);
}

static void paint_head(Canvas *canvas)
{
    AtlasRect r = atlas_head;
    // Latitude runs down the rows; the middle column faces forward.
    paint_metal(canvas, r, {212, 216, 224}, 0.5f, 0.08f, 6);
    fill_rect(canvas, r.x0, r.y0 + 9, r.x1, r.y0 + 10, steel_dark, 0.8f);
    fill_rect(canvas, r.x0, r.y0 + 49, r.x1, r.y0 + 51, steel_dark, 0.8f);
    fill_rect(canvas, 120, r.y0, 136, r.y0 + 18, orange);
    fill_rect(canvas, 0, r.y0, 6, r.y0 + 30, orange);
    fill_rect(canvas, 250, r.y0, 256, r.y0 + 30, orange);
    // Visor with two glowing eyes.
    float visor_y = r.y0 + 26;
    fill_ellipse(canvas, 128, visor_y, 44, 9, steel_dark);
    fill_ellipse(canvas, 128, visor_y, 41, 7.5f, {18, 24, 40});
    for (int side = -1; side <= 1; side += 2) {
        float cx = 128.0f + 17.0f * side;
        fill_ellipse(canvas, cx, visor_y, 12, 6, {40, 160, 230}, 0.5f);
        fill_ellipse(canvas, cx, visor_y, 8, 4.5f, {110, 235, 255});
        fill_ellipse(canvas, cx, visor_y, 4, 2.3f, {240, 255, 255});
    }
    // Mouth grille.
    fill_rect(canvas, 110, r.y0 + 38, 146, r.y0 + 45, black);
    for (int x = 112; x < 146; x += 4) fill_rect(canvas, (float)x, r.y0 + 39, x + 2.0f, r.y0 + 44, steel, 0.8f);
    // Ear bolts on both sides.
    for (float cx : {64.0f, 192.0f}) {
        fill_ellipse(canvas, cx, r.y0 + 28, 14, 8, orange_dark);
        fill_ellipse(canvas, cx, r.y0 + 28, 12, 6.5f, orange);
        rivet(canvas, cx, r.y0 + 28, 3);
    }
}

static void paint_floor_tile(Canvas *canvas, AtlasRect r, Colour base, int seed)
{
    paint_metal(canvas, r, base, 0.1f, 0.14f, seed);
    bevel(canvas, {r.x0 + 3, r.y0 + 3, r.x1 - 3, r.y1 - 3}, 2, 0.3f);
    fill_rect(canvas, r.x0, r.y0, r.x1, r.y0 + 2, black, 0.7f);
    fill_rect(canvas, r.x0, r.y1 - 2, r.x1, r.y1, black, 0.7f);
    fill_rect(canvas, r.x0, r.y0, r.x0 + 2, r.y1, black, 0.7f);
    fill_rect(canvas, r.x1 - 2, r.y0, r.x1, r.y1, black, 0.7f);
    // Diamond tread on the tile.
    for (int y = (int)r.y0 + 10; y < (int)r.y1 - 6; y += 10)
        for (int x = (int)r.x0 + 10 + (y / 10 % 2) * 5; x < (int)r.x1 - 6; x += 10)
            fill_ellipse(canvas, (float)x, (float)y, 3, 1.2f, {base.r * 1.3f, base.g * 1.3f, base.b * 1.3f}, 0.8f);
}

static void paint_sole(Canvas *canvas)
{
    AtlasRect r = atlas_sole;
    paint_metal(canvas, r, {52, 52, 58}, 0.2f, 0.2f, 9);
    hazard(canvas, r.x0, r.y0 + 12, r.x1, r.y0 + 20, 8);
    bevel(canvas, r, 2, 0.3f);
}

static void paint_bulb(Canvas *canvas)
{
    AtlasRect r = atlas_bulb;
    for (int y = (int)r.y0; y < (int)r.y1; y++)
        for (int x = (int)r.x0; x < (int)r.x1; x++) {
            float v = (y - r.y0) / (r.y1 - r.y0);
            float glow = 1.0f - std::fabs(v - 0.35f);
            blend(canvas, x, y, {255, 60 + 160 * glow * glow * glow, 40 + 120 * glow * glow * glow}, 1.0f);
        }
}

static void paint_back(Canvas *canvas)
{
    AtlasRect r = atlas_back;
    paint_metal(canvas, r, orange, 0.2f, 0.10f, 10);
    bevel(canvas, {r.x0 + 1, r.y0 + 1, r.x1 - 1, r.y1 - 1}, 2, 0.35f);
    // A hatch with vent slots, and a warning strip below it.
    AtlasRect hatch = {r.x0 + 12, r.y0 + 8, r.x1 - 12, r.y0 + 44};
    fill_rect(canvas, hatch.x0, hatch.y0, hatch.x1, hatch.y1, orange_dark);
    bevel(canvas, hatch, 2, 0.4f);
    for (int i = 0; i < 5; i++) {
        float y = hatch.y0 + 6 + 6.0f * i;
        fill_rect(canvas, hatch.x0 + 6, y, hatch.x1 - 6, y + 3, black, 0.85f);
        fill_rect(canvas, hatch.x0 + 6, y + 3, hatch.x1 - 6, y + 4, orange_light, 0.5f);
    }
    hazard(canvas, r.x0 + 12, r.y0 + 50, r.x1 - 12, r.y0 + 57, 8);
    rivet(canvas, r.x0 + 6, r.y0 + 6, 2.5f);
    rivet(canvas, r.x1 - 6, r.y0 + 6, 2.5f);
    rivet(canvas, r.x0 + 6, r.y1 - 6, 2.5f);
    rivet(canvas, r.x1 - 6, r.y1 - 6, 2.5f);
}

orj::Image paint_robot_texture()
{
    Canvas canvas;
    canvas.pixels.assign((size_t)ATLAS_SIZE * ATLAS_SIZE * 3, 128.0f);
    paint_chest(&canvas);
    paint_plate(&canvas);
    paint_limb(&canvas);
    paint_joint(&canvas);
    paint_hand(&canvas);
    paint_head(&canvas);
    paint_floor_tile(&canvas, atlas_floor_light, {196, 196, 204}, 7);
    paint_floor_tile(&canvas, atlas_floor_dark, {70, 76, 96}, 8);
    paint_sole(&canvas);
    paint_bulb(&canvas);
    paint_back(&canvas);
    orj::Image image;
    image.width = ATLAS_SIZE;
    image.height = ATLAS_SIZE;
    image.rgba.assign(canvas.pixels.size() / 3 * 4, 255);
    for (size_t i = 0; i < canvas.pixels.size(); i++)
        image.rgba[i / 3 * 4 + i % 3] = (uint8_t)std::lround(std::max(0.0f, std::min(255.0f, canvas.pixels[i])));
    return image;
}
