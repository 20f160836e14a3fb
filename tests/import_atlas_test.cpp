// The material atlas: tiles where the faces look, repeats copied, missing
// textures named and replaced by their colour.
#include <gtest/gtest.h>

#include <assimp/material.h>
#include <assimp/scene.h>

#include <cmath>
#include <string>
#include <vector>

#include "importer/orj_import_atlas.h"
#include "importer/orj_import_files.h"
#include "tests/support/test_support.h"

using namespace orj;

// A model of two materials: 0 holds embedded texture *0 (2x2 texels, each its
// own colour), 1 the named texture file and a blue diffuse colour.
static aiScene *two_material_scene(const char *missing_file)
{
    aiScene *scene = new aiScene();
    scene->mNumTextures = 1;
    scene->mTextures = new aiTexture *[1];
    aiTexture *texture = new aiTexture();
    texture->mWidth = texture->mHeight = 2;
    texture->pcData = new aiTexel[4];
    const unsigned char colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
    for (int p = 0; p < 4; p++) {
        texture->pcData[p].r = colours[p][0];
        texture->pcData[p].g = colours[p][1];
        texture->pcData[p].b = colours[p][2];
        texture->pcData[p].a = 255;
    }
    scene->mTextures[0] = texture;
    scene->mNumMaterials = 2;
    scene->mMaterials = new aiMaterial *[2];
    for (int m = 0; m < 2; m++) {
        scene->mMaterials[m] = new aiMaterial();
        aiString file(m == 0 ? "*0" : missing_file);
        scene->mMaterials[m]->AddProperty(&file, AI_MATKEY_TEXTURE_DIFFUSE(0));
    }
    aiColor3D blue(0, 0, 1);
    scene->mMaterials[1]->AddProperty(&blue, 1, AI_MATKEY_COLOR_DIFFUSE);
    return scene;
}

static ImportObject quad_object(int material, float s_high, float t_high)
{
    ImportObject object = {};
    object.kind = Mesh;
    object.parent = -1;
    object.material = material;
    object.vertices.assign(4, Vector3{0, 0, 0});
    object.normals.assign(4, Vector3{0, 0, 1});
    Quad quad = {{0, 1, 2, 3}, {{0, 0}, {s_high, 0}, {s_high, t_high}, {0, t_high}}};
    object.quads.push_back(quad);
    return object;
}

// The atlas texel at (s, t) of a quad whose corners 0, 1 and 3 span it, found
// from where a point (a, b) in the quad's own coordinates lands.
static const uint8_t *texel_at(const Atlas &atlas, const Quad &placed, float a, float b, float a_high, float b_high)
{
    const TexCoord &origin = placed.tex_coords[0], &across = placed.tex_coords[1], &down = placed.tex_coords[3];
    double s = origin.s + (across.s - origin.s) * a / a_high, t = origin.t + (down.t - origin.t) * b / b_high;
    int x = (int)std::floor(s * atlas.image.width), y = (int)std::floor(t * atlas.image.height);
    return &atlas.image.rgba[((size_t)y * atlas.image.width + x) * 4];
}

TEST(ImportAtlas, RepeatedTextureIsCopiedIntoItsTileAndAMissingOneBecomesItsColour)
{
    aiScene *scene = two_material_scene("no_such_texture.png");
    std::vector<ImportObject> objects = {quad_object(0, 3.0f, 2.0f), quad_object(1, 1.0f, 1.0f)};
    ModelFolder folder;
    ASSERT_EQ(open_model_folder(&folder, source_path("data/fiche.orj").c_str(), false, nullptr), ERROR_NONE);
    Atlas atlas;
    build_atlas(scene, &folder, &objects, &atlas);

    for (const ImportObject &object : objects)
        for (const TexCoord &c : object.quads[0].tex_coords) {
            EXPECT_GE(c.s, 0.0f);
            EXPECT_LE(c.s, 1.0f);
            EXPECT_GE(c.t, 0.0f);
            EXPECT_LE(c.t, 1.0f);
        }
    // The same texel of every copy: the texture repeats 3 times across and twice down.
    const Quad &repeated = objects[0].quads[0];
    for (float copy_s = 0; copy_s < 3; copy_s++)
        for (float copy_t = 0; copy_t < 2; copy_t++)
            for (int texel = 0; texel < 4; texel++) {
                float a = copy_s + 0.25f + 0.5f * (texel % 2), b = copy_t + 0.25f + 0.5f * (texel / 2);
                const uint8_t *got = texel_at(atlas, repeated, a, b, 3.0f, 2.0f);
                const aiTexel &want = scene->mTextures[0]->pcData[texel];
                EXPECT_EQ(got[0], want.r) << copy_s << "," << copy_t << " texel " << texel;
                EXPECT_EQ(got[1], want.g);
                EXPECT_EQ(got[2], want.b);
            }
    // The missing texture: a warning that names it, and the blue colour on every corner.
    ASSERT_EQ(atlas.warnings.size(), 1u);
    EXPECT_NE(atlas.warnings[0].find("no_such_texture.png"), std::string::npos);
    for (int k = 0; k < 4; k++) {
        const TexCoord &c = objects[1].quads[0].tex_coords[k];
        const uint8_t *got =
            &atlas.image
                 .rgba[((size_t)(c.t * atlas.image.height) * atlas.image.width + (size_t)(c.s * atlas.image.width)) *
                       4];
        EXPECT_EQ(got[0], 0);
        EXPECT_EQ(got[2], 255);
    }
    delete scene;
}

TEST(ImportAtlas, RepeatsAreBoundedWithAWarningAndFarOffFacesShiftBack)
{
    aiScene *scene = two_material_scene("unused.png");
    // 40 copies across are held at the bound; a face far off (100..101) needs one copy.
    ImportObject many = quad_object(0, 40.0f, 1.0f), far_off = quad_object(0, 1.0f, 1.0f);
    for (TexCoord &c : far_off.quads[0].tex_coords) c.s += 100.0f;
    std::vector<ImportObject> objects = {many, far_off};
    ModelFolder folder;
    ASSERT_EQ(open_model_folder(&folder, source_path("data/fiche.orj").c_str(), false, nullptr), ERROR_NONE);
    Atlas atlas;
    build_atlas(scene, &folder, &objects, &atlas);
    ASSERT_EQ(atlas.warnings.size(), 1u);
    EXPECT_NE(atlas.warnings[0].find("more than 8"), std::string::npos) << atlas.warnings[0];
    EXPECT_LE(atlas.image.width, (int)ATLAS_MAX_SIDE);
    const Quad &shifted = objects[1].quads[0];
    EXPECT_NEAR(shifted.tex_coords[1].s - shifted.tex_coords[0].s, 2.0f / atlas.image.width, 1e-6);
    delete scene;
}
