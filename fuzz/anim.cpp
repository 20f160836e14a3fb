// Feeds arbitrary bytes to the animation file reader, then lays every frame
// that was read over a small image the way the JPEG loader does.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "orj/core/sprites/animation_file.h"
#include "orj/core/sprites/frame_runs.h"

using namespace orj;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *stream = tmpfile();
    if (!stream) return 0;
    if (size > 0 && fwrite(data, 1, size, stream) != size) {
        fclose(stream);
        return 0;
    }
    rewind(stream);
    Animation animation = {};
    Error error;
    bool read = read_animation_frames(stream, "fuzz.anim", &animation, &error) == ERROR_NONE;
    fclose(stream);
    if (!read) return 0;

    // The image may be smaller than the frame: the mask never writes beyond it.
    std::vector<uint32_t> pixels(16 * 16);
    std::vector<uint32_t *> rows(16);
    for (int y = 0; y < 16; y++) rows[y] = pixels.data() + 16 * y;
    for (int32_t i = 0; i < animation.frame_count; i++) {
        const AnimationFrame &frame = animation.frames[i];
        int32_t width = frame.width < 16 ? frame.width : 16;
        int32_t height = frame.height < 16 ? frame.height : 16;
        apply_frame_mask_rows(rows.data(), width, height, &frame);
    }
    destroy_animation(&animation);
    return 0;
}
