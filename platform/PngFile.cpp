#include "PngFile.h"

#include "Errors.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <utility>

namespace platform {

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

constexpr std::size_t kMaxPaletteEntries = 256;

std::size_t samplesPerPixel(PngColourType type)
{
    switch (type) {
    case PngColourType::Grey:
    case PngColourType::Palette: return 1;
    case PngColourType::GreyAlpha: return 2;
    case PngColourType::Rgb: return 3;
    case PngColourType::Rgba: return 4;
    }
    return 0;
}

bool consistent(const PngRows& p)
{
    const std::size_t samples = samplesPerPixel(p.colourType);
    if (p.width <= 0 || p.height <= 0 || samples == 0)
        return false;
    if (p.bitDepth != 8 && (p.bitDepth != 16 || p.colourType == PngColourType::Palette))
        return false;
    const std::size_t rowBytes = static_cast<std::size_t>(p.width) * samples * static_cast<std::size_t>(p.bitDepth / 8);
    if (p.rows.size() != rowBytes * static_cast<std::size_t>(p.height))
        return false;
    if (p.colourType != PngColourType::Palette)
        return p.paletteRgb.empty() && p.paletteAlpha.empty();
    const std::size_t entries = p.paletteRgb.size() / 3;
    return p.paletteRgb.size() % 3 == 0 && entries >= 1 && entries <= kMaxPaletteEntries
           && p.paletteAlpha.size() <= entries;
}

void appendToVector(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// The libpng calls of EncodePng, apart from everything with a destructor:
// libpng reports errors by longjmp back into this frame.
bool compressPng(const PngRows& picture, png_bytepp rows, std::vector<png_color>& palette, std::vector<uint8_t>& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, appendToVector, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height),
                 picture.bitDepth, static_cast<int>(picture.colourType), PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!picture.paletteAlpha.empty())
        png_set_tRNS(png, info, picture.paletteAlpha.data(), static_cast<int>(picture.paletteAlpha.size()), nullptr);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    const EInOutError failure("Unable to write to " + path);
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<size_t>(width) * height * 3)
        throw failure;
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        throw failure;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        throw failure;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        // PNG rows go top to bottom.
        size_t source = static_cast<size_t>(height - 1 - y) * width * 3;
        rows[y] = const_cast<png_bytep>(rgb.data() + source);
    }
    // libpng reports errors by longjmp; nothing with a destructor lives
    // between here and the jump target.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw failure;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0)
        throw failure;
}

std::vector<uint8_t> EncodePng(const PngRows& picture)
{
    if (!consistent(picture))
        return {};
    std::vector<uint8_t> out;
    const std::size_t rowBytes = picture.rows.size() / static_cast<std::size_t>(picture.height);
    std::vector<png_bytep> rows(static_cast<std::size_t>(picture.height));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = const_cast<png_bytep>(picture.rows.data() + y * rowBytes);
    std::vector<png_color> palette(picture.paletteRgb.size() / 3);
    for (std::size_t i = 0; i < palette.size(); ++i)
        palette[i] = {picture.paletteRgb[3 * i], picture.paletteRgb[3 * i + 1], picture.paletteRgb[3 * i + 2]};
    if (!compressPng(picture, rows.data(), palette, out))
        return {};
    return out;
}

bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb)
{
    width = height = 0;
    rgb.clear();
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    rgb = std::move(pixels);
    return true;
}

} // namespace platform
