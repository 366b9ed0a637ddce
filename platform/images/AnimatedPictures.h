#pragma once
// Animated pictures: frames of one size written as an animated WebP
// (libwebp's animation encoder, lossy) or an animated GIF (giflib, with one
// palette for every frame chosen by libimagequant, so that colours do not
// flicker from frame to frame). Both loop for ever.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Frames of width x height RGB pixels, bottom row first (as glReadPixels
// delivers them), each shown for frameMs milliseconds.
struct AnimatedFrames {
    int width = 0;
    int height = 0;
    int frameMs = 40;
    std::vector<std::vector<uint8_t>> rgb;
};

// Write the frames as the whole file at path. Throw EInOutError naming the
// file when there are no frames, a frame has the wrong size, the encoder
// refuses them, or the file cannot be written.
void WriteAnimatedWebp(const std::string& path, const AnimatedFrames& frames);
// GIF delays count hundredths of a second: frameMs is rounded to them (at
// least one).
void WriteAnimatedGif(const std::string& path, const AnimatedFrames& frames);

} // namespace platform
