/// @file
/// Writing a scene back out as a model for other tools: glTF 2.0, Collada or
/// OBJ, through the asset importer library's exporter.
#pragma once

#include <string>
#include <vector>

#include "orj/core/base/error.h"
#include "orj/core/scene/scene.h"

namespace orj {

/// A model format export_scene writes; the table is static.
struct ExportFormat {
    const char *extension;    ///< ".gltf", ".glb", ".dae", ".obj"
    const char *id;           ///< the asset importer's name for it
    const char *description;  ///< for people
    bool animation;           ///< keeps the animation, lamps and cameras
};

/// The formats export_scene writes, a static table; *count receives how many.
const ExportFormat *export_formats(int *count);

/// The format model_path's extension names (any case), null for none; an
/// entry of export_formats.
const ExportFormat *export_format_of(const char *model_path);

/// What export_scene wrote.
struct ExportSummary {
    const ExportFormat *format;  ///< the format written (null when the extension names none)
    unsigned meshes;             ///< meshes written
    unsigned lamps;              ///< lights written
    unsigned cameras;            ///< cameras written
    bool animated;               ///< the animation was written as node keys at 25 frames a second
    /// What was changed on the way, one message each: names made valid UTF-8
    /// without control characters (bytes that are not UTF-8 taken as Latin-1,
    /// control characters as '_').
    std::vector<std::string> warnings;
};

/// Tries an export's files (the model, the texture written beside it, the
/// model's side file) before anything is read: refused (ERROR_REFUSED, naming
/// the file) when one is the scene file or the texture it reads (compared as
/// files) or another of them, or is not a regular file; ERROR_CANNOT_WRITE,
/// with the system's reason, when its folder takes no new file. texture_path
/// may be null.
ErrorKind check_export_outputs(const char *scene_path, const char *model_path, const char *texture_path, Error *error);

/// Writes scene as a model at model_path in the format its extension names
/// (export_format_of; ERROR_REFUSED for none): every object a node with its
/// transform, meshes as triangles (a quad as the two the engine draws) with
/// normals and texture coordinates, lamps as point lights of their colour,
/// cameras as cameras and, where the format keeps it, the animation as node
/// keys at 25 frames a second. With texture_path, that image (TGA, BMP, PCX,
/// PNG or JPEG) is written as a PNG file beside the model, named like it, and
/// used by its one material. The scene stays the caller's. Every file is
/// written to a temporary file beside it, each write and the close checked,
/// and all are renamed into place together once all are complete: a failure
/// leaves none of them. A scene holding a value the formats cannot hold (NaN
/// or an infinity) is refused before anything is written: ERROR_REFUSED
/// naming the object, the field and the frame, but no file (the scene's path
/// is the caller's to add). Other errors name the file: the texture that
/// cannot be read, a file that cannot be written (ERROR_CANNOT_WRITE).
/// summary is filled afresh, as far as the export went.
ErrorKind export_scene(const Scene *scene, const char *model_path, const char *texture_path, ExportSummary *summary,
                       Error *error);

}  // namespace orj
