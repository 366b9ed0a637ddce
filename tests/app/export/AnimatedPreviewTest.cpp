// Animated pictures as a user records them, decoded with the libraries'
// own decoders (libwebp's demuxer and animation decoder, giflib).
#include "../tools/ToolRun.h"

#include <gif_lib.h>
#include <webp/demux.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using tooltest::ToolFolder;

struct Decoded {
    int width = 0, height = 0;
    std::vector<int> delaysMs;
    std::vector<std::vector<uint8_t>> frames; // RGB(A) as the decoder gives them
    bool loops = false;
};

Decoded decodeWebp(const std::string& path)
{
    Decoded d;
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder)
        return d;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    d.width = static_cast<int>(info.canvas_width);
    d.height = static_cast<int>(info.canvas_height);
    d.loops = info.loop_count == 0;
    int previous = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* pixels = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder, &pixels, &timestamp))
            break;
        d.frames.emplace_back(pixels, pixels + static_cast<size_t>(d.width) * d.height * 4);
        d.delaysMs.push_back(timestamp - previous);
        previous = timestamp;
    }
    WebPAnimDecoderDelete(decoder);
    return d;
}

Decoded decodeGif(const std::string& path)
{
    Decoded d;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif)
        return d;
    if (DGifSlurp(gif) == GIF_OK) {
        d.width = gif->SWidth;
        d.height = gif->SHeight;
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            GraphicsControlBlock control{};
            DGifSavedExtensionToGCB(gif, i, &control);
            d.delaysMs.push_back(control.DelayTime * 10);
            const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
            std::vector<uint8_t> rgb;
            const size_t pixels = static_cast<size_t>(image.ImageDesc.Width) * image.ImageDesc.Height;
            for (size_t p = 0; p < pixels; ++p) {
                const GifColorType& c = map->Colors[image.RasterBits[p]];
                rgb.insert(rgb.end(), {c.Red, c.Green, c.Blue});
            }
            d.frames.push_back(std::move(rgb));
            for (int e = 0; e < image.ExtensionBlockCount; ++e)
                if (image.ExtensionBlocks[e].Function == APPLICATION_EXT_FUNC_CODE)
                    d.loops = true;
        }
    }
    DGifCloseFile(gif, &error);
    return d;
}

// The share of bytes that differ between two frames.
double difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    size_t differ = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        differ += std::abs(a[i] - b[i]) > 24;
    return static_cast<double>(differ) / static_cast<double>(a.size());
}

struct RecordCase {
    const char* args;
    const char* file;
    size_t frames;
    int delayMs;
    int width, height;
    bool moves; // the first and the middle frame differ
    size_t poses; // at least this many frames differ from the frame before
};

// A walk and a death as WebP, a turntable (of the standing pair) and a
// corpse coming to rest as GIF: frame counts, delays, sizes, looping, and
// whether the character moves.
TEST(Record, PicturesDecodeWithTheirFramesDelaysAndSizes)
{
    const RecordCase cases[] = {
        // The walk plays as the game plays it: a new pose in nearly every picture.
        {"--animation LEGS_WALK --seconds 1 --size 120x160", "walk.webp", 25, 40, 120, 160, true, 20},
        {"--animation BOTH_DEATH1 --seconds 0.6 --size 100x100", "death.webp", 15, 40, 100, 100, true, 10},
        {"--turntable --seconds 0.8 --size 96x128", "turn.gif", 20, 40, 96, 128, true, 19},
        {"--animation BOTH_DEAD1 --seconds 1.2 --size 64x64", "dead.gif", 30, 40, 64, 64, false, 0},
    };
    ToolFolder folder;
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.file);
        std::string out;
        ASSERT_EQ(folder.run(std::string("--game-root SampleGame --character bruno --record ") + c.file + " " + c.args,
                             out),
                  0)
            << out;
        const std::string path = folder.dir.file(c.file);
        const Decoded d = std::string(c.file).ends_with(".gif") ? decodeGif(path) : decodeWebp(path);
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.height, c.height);
        ASSERT_EQ(d.frames.size(), c.frames);
        EXPECT_TRUE(d.loops);
        for (int delay : d.delaysMs)
            EXPECT_EQ(delay, c.delayMs);
        size_t poses = 0;
        for (size_t i = 1; i < d.frames.size(); ++i)
            poses += difference(d.frames[i - 1], d.frames[i]) > 0.001;
        EXPECT_GE(poses, c.poses);
        if (c.moves) {
            EXPECT_GT(difference(d.frames.front(), d.frames[c.frames / 2]), 0.01);
        } else {
            // Lying still once its few frames have played.
            EXPECT_LT(difference(d.frames[c.frames - 2], d.frames.back()), 0.005);
        }
        // Something is drawn: the frame is not one colour.
        EXPECT_GT(difference(d.frames.front(), std::vector<uint8_t>(d.frames.front().size(), d.frames.front()[0])),
                  0.02);
    }
}

} // namespace
