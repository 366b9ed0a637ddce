#include "AnimatedPictures.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>

namespace platform {

namespace {

// Lossy quality of the WebP frames: small files, edges kept clean enough for
// a preview.
constexpr float kWebpQuality = 80.0f;
// libimagequant's target: the best palette it can find, and any it finds.
constexpr int kPaletteQualityMin = 0;
constexpr int kPaletteQualityMax = 100;
constexpr float kGifDithering = 0.5f;
constexpr int kGifColourBits = 8;
constexpr int kMsPerGifTick = 10;
// The application extension that makes a GIF loop (count 0: for ever).
constexpr char kLoopApplication[] = "NETSCAPE2.0";
constexpr unsigned char kLoopForever[] = {1, 0, 0};

EInOutError failure(const std::string& path, const std::string& why)
{
    return EInOutError("Unable to write to " + path + ": " + why);
}

void checkFrames(const std::string& path, const AnimatedFrames& frames)
{
    if (frames.rgb.empty() || frames.width <= 0 || frames.height <= 0 || frames.frameMs <= 0)
        throw failure(path, "no frames to write");
    const size_t bytes = static_cast<size_t>(frames.width) * static_cast<size_t>(frames.height) * 3;
    for (const std::vector<uint8_t>& frame : frames.rgb) {
        if (frame.size() != bytes)
            throw failure(path, "a frame is not " + std::to_string(frames.width) + " x " +
                                    std::to_string(frames.height) + " pixels");
    }
}

// A frame top row first, with channels channels (3: RGB, 4: RGBA opaque).
std::vector<uint8_t> topDown(const AnimatedFrames& frames, size_t index, int channels)
{
    const size_t width = static_cast<size_t>(frames.width), height = static_cast<size_t>(frames.height);
    const std::vector<uint8_t>& rgb = frames.rgb[index];
    std::vector<uint8_t> rows(width * height * static_cast<size_t>(channels));
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* from = rgb.data() + (height - 1 - y) * width * 3;
        uint8_t* to = rows.data() + y * width * static_cast<size_t>(channels);
        for (size_t x = 0; x < width; ++x) {
            std::copy_n(from + x * 3, 3, to + x * static_cast<size_t>(channels));
            if (channels == 4)
                to[x * 4 + 3] = 255;
        }
    }
    return rows;
}

struct WebpEncoderDelete {
    void operator()(WebPAnimEncoder* encoder) const { WebPAnimEncoderDelete(encoder); }
};
struct WebpPicture {
    WebPPicture picture;
    WebpPicture() { WebPPictureInit(&picture); }
    ~WebpPicture() { WebPPictureFree(&picture); }
    WebpPicture(const WebpPicture&) = delete;
    WebpPicture& operator=(const WebpPicture&) = delete;
};
struct WebpBytes {
    WebPData data;
    WebpBytes() { WebPDataInit(&data); }
    ~WebpBytes() { WebPDataClear(&data); }
    WebpBytes(const WebpBytes&) = delete;
    WebpBytes& operator=(const WebpBytes&) = delete;
};

struct QuantAttrDelete {
    void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
};
struct QuantHistogramDelete {
    void operator()(liq_histogram* histogram) const { liq_histogram_destroy(histogram); }
};
struct QuantImageDelete {
    void operator()(liq_image* image) const { liq_image_destroy(image); }
};
struct QuantResultDelete {
    void operator()(liq_result* result) const { liq_result_destroy(result); }
};

// giflib writes through this into memory; the file is written in one checked step.
int appendGifBytes(GifFileType* gif, const GifByteType* bytes, int count)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + count);
    return count;
}

class GifWriter {
public:
    explicit GifWriter(const std::string& path) : path_(path)
    {
        int error = 0;
        gif_ = EGifOpen(&bytes_, appendGifBytes, &error);
        if (!gif_)
            throw failure(path_, GifErrorString(error));
        EGifSetGifVersion(gif_, true);
    }
    ~GifWriter()
    {
        if (gif_)
            EGifCloseFile(gif_, nullptr);
    }
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    GifFileType* operator->() const { return gif_; }
    GifFileType* get() const { return gif_; }
    void check(int result) const
    {
        if (result != GIF_OK)
            throw failure(path_, GifErrorString(gif_->Error));
    }
    // Ends the stream and hands over what was written.
    std::vector<uint8_t> finish()
    {
        int error = 0;
        const int result = EGifCloseFile(gif_, &error);
        gif_ = nullptr;
        if (result != GIF_OK)
            throw failure(path_, GifErrorString(error));
        return std::move(bytes_);
    }

private:
    std::string path_;
    std::vector<uint8_t> bytes_;
    GifFileType* gif_ = nullptr;
};

} // namespace

void WriteAnimatedWebp(const std::string& path, const AnimatedFrames& frames)
{
    checkFrames(path, frames);
    WebPAnimEncoderOptions options;
    WebPConfig config;
    if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config))
        throw failure(path, "the WebP encoder does not match its headers");
    options.anim_params.loop_count = 0;
    config.quality = kWebpQuality;
    std::unique_ptr<WebPAnimEncoder, WebpEncoderDelete> encoder(
        WebPAnimEncoderNew(frames.width, frames.height, &options));
    if (!encoder)
        throw failure(path, "the WebP encoder cannot start");
    int timestamp = 0;
    for (size_t i = 0; i < frames.rgb.size(); ++i) {
        WebpPicture picture;
        picture.picture.use_argb = 1;
        picture.picture.width = frames.width;
        picture.picture.height = frames.height;
        const std::vector<uint8_t> rows = topDown(frames, i, 3);
        if (!WebPPictureImportRGB(&picture.picture, rows.data(), frames.width * 3) ||
            !WebPAnimEncoderAdd(encoder.get(), &picture.picture, timestamp, &config))
            throw failure(path, WebPAnimEncoderGetError(encoder.get()));
        timestamp += frames.frameMs;
    }
    WebpBytes assembled;
    if (!WebPAnimEncoderAdd(encoder.get(), nullptr, timestamp, nullptr) ||
        !WebPAnimEncoderAssemble(encoder.get(), &assembled.data))
        throw failure(path, WebPAnimEncoderGetError(encoder.get()));
    WriteFileBytes(path, std::span<const uint8_t>(assembled.data.bytes, assembled.data.size));
}

void WriteAnimatedGif(const std::string& path, const AnimatedFrames& frames)
{
    checkFrames(path, frames);
    const std::unique_ptr<liq_attr, QuantAttrDelete> attr(liq_attr_create());
    if (!attr)
        throw failure(path, "the palette quantizer cannot start");
    liq_set_quality(attr.get(), kPaletteQualityMin, kPaletteQualityMax);
    // One palette for the whole animation, from the colours of every frame.
    const std::unique_ptr<liq_histogram, QuantHistogramDelete> histogram(liq_histogram_create(attr.get()));
    std::vector<std::vector<uint8_t>> rgba;
    std::vector<std::unique_ptr<liq_image, QuantImageDelete>> images;
    for (size_t i = 0; i < frames.rgb.size(); ++i) {
        rgba.push_back(topDown(frames, i, 4));
        images.emplace_back(liq_image_create_rgba(attr.get(), rgba.back().data(), frames.width, frames.height, 0));
        if (!images.back() || liq_histogram_add_image(histogram.get(), attr.get(), images.back().get()) != LIQ_OK)
            throw failure(path, "the palette quantizer refuses a frame");
    }
    liq_result* made = nullptr;
    if (liq_histogram_quantize(histogram.get(), attr.get(), &made) != LIQ_OK)
        throw failure(path, "no palette could be found");
    const std::unique_ptr<liq_result, QuantResultDelete> result(made);
    liq_set_dithering_level(result.get(), kGifDithering);

    // The palette is known once the first frame is remapped.
    const size_t pixels = static_cast<size_t>(frames.width) * static_cast<size_t>(frames.height);
    std::vector<std::vector<uint8_t>> indexed(frames.rgb.size(), std::vector<uint8_t>(pixels));
    for (size_t i = 0; i < images.size(); ++i) {
        if (liq_write_remapped_image(result.get(), images[i].get(), indexed[i].data(), pixels) != LIQ_OK)
            throw failure(path, "a frame cannot be remapped to the palette");
    }
    const liq_palette* palette = liq_get_palette(result.get());
    GifColorType colours[1 << kGifColourBits] = {};
    for (unsigned i = 0; i < palette->count && i < (1u << kGifColourBits); ++i)
        colours[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
    ColorMapObject* map = GifMakeMapObject(1 << kGifColourBits, colours);
    if (!map)
        throw failure(path, "out of memory for the palette");

    GifWriter gif(path);
    const int screen = EGifPutScreenDesc(gif.get(), frames.width, frames.height, kGifColourBits, 0, map);
    GifFreeMapObject(map);
    gif.check(screen);
    gif.check(EGifPutExtensionLeader(gif.get(), APPLICATION_EXT_FUNC_CODE));
    gif.check(EGifPutExtensionBlock(gif.get(), sizeof kLoopApplication - 1, kLoopApplication));
    gif.check(EGifPutExtensionBlock(gif.get(), sizeof kLoopForever, kLoopForever));
    gif.check(EGifPutExtensionTrailer(gif.get()));
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    control.DelayTime = std::max(1, (frames.frameMs + kMsPerGifTick / 2) / kMsPerGifTick);
    GifByteType controlBytes[4];
    EGifGCBToExtension(&control, controlBytes);
    for (std::vector<uint8_t>& frame : indexed) {
        gif.check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, sizeof controlBytes, controlBytes));
        gif.check(EGifPutImageDesc(gif.get(), 0, 0, frames.width, frames.height, false, nullptr));
        for (int y = 0; y < frames.height; ++y)
            gif.check(EGifPutLine(gif.get(), frame.data() + static_cast<size_t>(y) * frames.width, frames.width));
    }
    WriteFileBytes(path, gif.finish());
}

} // namespace platform
