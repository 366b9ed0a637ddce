#pragma once
// Animated pictures: frames of one size written as an animated WebP
// (libwebp's animation encoder, lossy) or an animated GIF (giflib, with one
// palette for every frame chosen by libimagequant, so that colours do not
// flicker from frame to frame). Both loop for ever.
#include <cstdint>
#include <memory>
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

enum class AnimatedFormat { Webp, Gif };

// An animated picture written a frame at a time, holding the frame at hand
// and what is encoded so far, not the frames before: the memory a recording
// takes grows with its size, not its length. Every frame is given once in
// each of Passes() passes, in order (GIF's one palette is made from every
// frame in pass 0, and the frames are written in pass 1), as bottom-up RGB of
// the writer's size; Finish writes the file. Each step throws EInOutError
// naming the file.
class AnimatedWriter {
public:
    virtual ~AnimatedWriter() = default;
    virtual int Passes() const = 0;
    virtual void Add(int pass, const std::vector<uint8_t>& rgb) = 0;
    virtual void Finish() = 0;
};
std::unique_ptr<AnimatedWriter> MakeAnimatedWriter(const std::string& path, AnimatedFormat format, int width,
                                                   int height, int frameMs);

// Write the frames as the whole file at path. Throw EInOutError naming the
// file when there are no frames, a frame has the wrong size, the encoder
// refuses them, or the file cannot be written.
void WriteAnimatedWebp(const std::string& path, const AnimatedFrames& frames);
// GIF delays count hundredths of a second: frameMs is rounded to them (at
// least one).
void WriteAnimatedGif(const std::string& path, const AnimatedFrames& frames);

} // namespace platform
