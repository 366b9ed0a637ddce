#include "AnimatedPictures.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

void checkFrame(const std::string& path, const std::vector<uint8_t>& frame, int width, int height)
{
    if (frame.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
        throw failure(path, "a frame is not " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
}

void checkFrames(const std::string& path, const AnimatedFrames& frames)
{
    if (frames.rgb.empty() || frames.width <= 0 || frames.height <= 0 || frames.frameMs <= 0)
        throw failure(path, "no frames to write");
    for (const std::vector<uint8_t>& frame : frames.rgb)
        checkFrame(path, frame, frames.width, frames.height);
}

// A frame top row first, with channels channels (3: RGB, 4: RGBA opaque).
std::vector<uint8_t> topDown(const std::vector<uint8_t>& rgb, int frameWidth, int frameHeight, int channels)
{
    const size_t width = static_cast<size_t>(frameWidth), height = static_cast<size_t>(frameHeight);
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

// giflib writes through this straight into the file, so that the encoded
// animation is never held; a write the system refuses ends the writing.
struct GifSink {
    std::FILE* file = nullptr;
    int error = 0; // errno of the first refused write
};

int writeGifBytes(GifFileType* gif, const GifByteType* bytes, int count)
{
    auto* sink = static_cast<GifSink*>(gif->UserData);
    if (sink->error != 0)
        return 0;
    if (std::fwrite(bytes, 1, static_cast<size_t>(count), sink->file) != static_cast<size_t>(count)) {
        sink->error = errno != 0 ? errno : EIO;
        return 0;
    }
    return count;
}

class GifWriter {
public:
    explicit GifWriter(const std::string& path) : path_(path)
    {
        CheckPlaceForNewFile(path);
        // Only a file this writer made is removed when it fails (never a
        // device or another file that was there).
        std::error_code existing;
        created_ = !std::filesystem::exists(path, existing);
        sink_.file = std::fopen(path.c_str(), "wb");
        if (!sink_.file)
            throw failure(path_, std::strerror(errno));
        int error = 0;
        gif_ = EGifOpen(&sink_, writeGifBytes, &error);
        if (!gif_) {
            std::fclose(sink_.file);
            sink_.file = nullptr;
            dropFile();
            throw failure(path_, GifErrorString(error));
        }
        EGifSetGifVersion(gif_, true);
    }
    // A picture not finished is no picture: what was written goes.
    ~GifWriter()
    {
        if (gif_)
            EGifCloseFile(gif_, nullptr);
        if (sink_.file) {
            std::fclose(sink_.file);
            dropFile();
        }
    }
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    GifFileType* operator->() const { return gif_; }
    GifFileType* get() const { return gif_; }
    void check(int result) const
    {
        if (sink_.error != 0)
            throw failure(path_, std::strerror(sink_.error));
        if (result != GIF_OK)
            throw failure(path_, GifErrorString(gif_->Error));
    }
    // Ends the stream and the file, every step checked (a full disk may
    // refuse the last bytes only on closing).
    void finish()
    {
        int error = 0;
        const int result = EGifCloseFile(gif_, &error);
        gif_ = nullptr;
        if (sink_.error != 0)
            throw failure(path_, std::strerror(sink_.error));
        if (result != GIF_OK)
            throw failure(path_, GifErrorString(error));
        errno = 0;
        const bool flushed = std::fflush(sink_.file) == 0;
        const int reason = errno;
        const bool closed = std::fclose(sink_.file) == 0;
        sink_.file = nullptr;
        if (!flushed || !closed) {
            dropFile();
            throw failure(path_, std::strerror(reason != 0 ? reason : errno != 0 ? errno : EIO));
        }
    }

private:
    void dropFile() const
    {
        if (created_)
            std::remove(path_.c_str());
    }

    std::string path_;
    GifSink sink_;
    bool created_ = false;
    GifFileType* gif_ = nullptr;
};

} // namespace

namespace {

class WebpWriter final : public AnimatedWriter {
public:
    WebpWriter(const std::string& path, int width, int height, int frameMs)
        : path_(path), width_(width), height_(height), frameMs_(frameMs)
    {
        WebPAnimEncoderOptions options;
        if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config_))
            throw failure(path, "the WebP encoder does not match its headers");
        options.anim_params.loop_count = 0;
        config_.quality = kWebpQuality;
        encoder_.reset(WebPAnimEncoderNew(width, height, &options));
        if (!encoder_)
            throw failure(path, "the WebP encoder cannot start");
    }

    int Passes() const override { return 1; }

    void Add(int, const std::vector<uint8_t>& rgb) override
    {
        checkFrame(path_, rgb, width_, height_);
        WebpPicture picture;
        picture.picture.use_argb = 1;
        picture.picture.width = width_;
        picture.picture.height = height_;
        const std::vector<uint8_t> rows = topDown(rgb, width_, height_, 3);
        if (!WebPPictureImportRGB(&picture.picture, rows.data(), width_ * 3) ||
            !WebPAnimEncoderAdd(encoder_.get(), &picture.picture, timestamp_, &config_))
            throw failure(path_, WebPAnimEncoderGetError(encoder_.get()));
        timestamp_ += frameMs_;
        ++frames_;
    }

    void Finish() override
    {
        if (frames_ == 0)
            throw failure(path_, "no frames to write");
        WebpBytes assembled;
        if (!WebPAnimEncoderAdd(encoder_.get(), nullptr, timestamp_, nullptr) ||
            !WebPAnimEncoderAssemble(encoder_.get(), &assembled.data))
            throw failure(path_, WebPAnimEncoderGetError(encoder_.get()));
        WriteFileBytes(path_, std::span<const uint8_t>(assembled.data.bytes, assembled.data.size));
    }

private:
    std::string path_;
    int width_, height_, frameMs_;
    WebPConfig config_{};
    std::unique_ptr<WebPAnimEncoder, WebpEncoderDelete> encoder_;
    int timestamp_ = 0;
    size_t frames_ = 0;
};

// One palette for the whole animation, from the colours of every frame
// (pass 0, which keeps only the palette's histogram), then every frame
// remapped to it and compressed as it comes (pass 1).
class GifAnimationWriter final : public AnimatedWriter {
public:
    GifAnimationWriter(const std::string& path, int width, int height, int frameMs)
        : path_(path), width_(width), height_(height), frameMs_(frameMs), attr_(liq_attr_create())
    {
        if (!attr_)
            throw failure(path, "the palette quantizer cannot start");
        liq_set_quality(attr_.get(), kPaletteQualityMin, kPaletteQualityMax);
        histogram_.reset(liq_histogram_create(attr_.get()));
        if (!histogram_)
            throw failure(path, "the palette quantizer cannot start");
    }

    int Passes() const override { return 2; }

    void Add(int pass, const std::vector<uint8_t>& rgb) override
    {
        checkFrame(path_, rgb, width_, height_);
        std::vector<uint8_t> rgba = topDown(rgb, width_, height_, 4);
        const std::unique_ptr<liq_image, QuantImageDelete> image(
            liq_image_create_rgba(attr_.get(), rgba.data(), width_, height_, 0));
        if (!image)
            throw failure(path_, "the palette quantizer refuses a frame");
        if (pass == 0) {
            if (result_ || liq_histogram_add_image(histogram_.get(), attr_.get(), image.get()) != LIQ_OK)
                throw failure(path_, "the palette quantizer refuses a frame");
            ++paletteFrames_;
            return;
        }
        if (!result_)
            startWriting();
        const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
        std::vector<uint8_t> indexed(pixels);
        if (liq_write_remapped_image(result_.get(), image.get(), indexed.data(), pixels) != LIQ_OK)
            throw failure(path_, "a frame cannot be remapped to the palette");
        gif_->check(EGifPutExtension(gif_->get(), GRAPHICS_EXT_FUNC_CODE, sizeof controlBytes_, controlBytes_));
        gif_->check(EGifPutImageDesc(gif_->get(), 0, 0, width_, height_, false, nullptr));
        for (int y = 0; y < height_; ++y)
            gif_->check(EGifPutLine(gif_->get(), indexed.data() + static_cast<size_t>(y) * width_, width_));
        ++frames_;
    }

    void Finish() override
    {
        if (frames_ == 0)
            throw failure(path_, "no frames to write");
        gif_->finish();
    }

private:
    // The palette from every frame of pass 0, and the file's head.
    void startWriting()
    {
        if (paletteFrames_ == 0)
            throw failure(path_, "no frames for the palette");
        liq_result* made = nullptr;
        if (liq_histogram_quantize(histogram_.get(), attr_.get(), &made) != LIQ_OK)
            throw failure(path_, "no palette could be found");
        result_.reset(made);
        liq_set_dithering_level(result_.get(), kGifDithering);
        const liq_palette* palette = liq_get_palette(result_.get());
        GifColorType colours[1 << kGifColourBits] = {};
        for (unsigned i = 0; i < palette->count && i < (1u << kGifColourBits); ++i)
            colours[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
        ColorMapObject* map = GifMakeMapObject(1 << kGifColourBits, colours);
        if (!map)
            throw failure(path_, "out of memory for the palette");
        gif_ = std::make_unique<GifWriter>(path_);
        const int screen = EGifPutScreenDesc(gif_->get(), width_, height_, kGifColourBits, 0, map);
        GifFreeMapObject(map);
        gif_->check(screen);
        gif_->check(EGifPutExtensionLeader(gif_->get(), APPLICATION_EXT_FUNC_CODE));
        gif_->check(EGifPutExtensionBlock(gif_->get(), sizeof kLoopApplication - 1, kLoopApplication));
        gif_->check(EGifPutExtensionBlock(gif_->get(), sizeof kLoopForever, kLoopForever));
        gif_->check(EGifPutExtensionTrailer(gif_->get()));
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        control.DelayTime = std::max(1, (frameMs_ + kMsPerGifTick / 2) / kMsPerGifTick);
        EGifGCBToExtension(&control, controlBytes_);
    }

    std::string path_;
    int width_, height_, frameMs_;
    std::unique_ptr<liq_attr, QuantAttrDelete> attr_;
    std::unique_ptr<liq_histogram, QuantHistogramDelete> histogram_;
    std::unique_ptr<liq_result, QuantResultDelete> result_;
    std::unique_ptr<GifWriter> gif_;
    GifByteType controlBytes_[4] = {};
    size_t paletteFrames_ = 0;
    size_t frames_ = 0;
};

void writeAll(AnimatedWriter& writer, const std::string& path, const AnimatedFrames& frames)
{
    checkFrames(path, frames);
    for (int pass = 0; pass < writer.Passes(); ++pass)
        for (const std::vector<uint8_t>& frame : frames.rgb)
            writer.Add(pass, frame);
    writer.Finish();
}

} // namespace

std::unique_ptr<AnimatedWriter> MakeAnimatedWriter(const std::string& path, AnimatedFormat format, int width,
                                                   int height, int frameMs)
{
    if (width <= 0 || height <= 0 || frameMs <= 0)
        throw failure(path, "no frames to write");
    if (format == AnimatedFormat::Gif)
        return std::make_unique<GifAnimationWriter>(path, width, height, frameMs);
    return std::make_unique<WebpWriter>(path, width, height, frameMs);
}

void WriteAnimatedWebp(const std::string& path, const AnimatedFrames& frames)
{
    checkFrames(path, frames);
    const std::unique_ptr<AnimatedWriter> writer =
        MakeAnimatedWriter(path, AnimatedFormat::Webp, frames.width, frames.height, frames.frameMs);
    writeAll(*writer, path, frames);
}

void WriteAnimatedGif(const std::string& path, const AnimatedFrames& frames)
{
    checkFrames(path, frames);
    const std::unique_ptr<AnimatedWriter> writer =
        MakeAnimatedWriter(path, AnimatedFormat::Gif, frames.width, frames.height, frames.frameMs);
    writeAll(*writer, path, frames);
}

} // namespace platform
