#include "tools/samples/Painter.h"

#include <algorithm>
#include <cmath>

namespace samples {

namespace {

uint32_t hash(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^ static_cast<uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

float lattice(int32_t x, int32_t y, uint32_t seed) { return float(hash(x, y, seed) & 0xFFFFu) / 65535.0f; }

float smooth(float t) { return t * t * (3.0f - 2.0f * t); }

uint8_t toByte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

} // namespace

Colour mix(Colour a, Colour b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Colour shade(Colour c, float factor) { return {c.r * factor, c.g * factor, c.b * factor, c.a}; }

float valueNoise(float s, float t, float cellsAcross, uint32_t seed)
{
    const float x = s * cellsAcross, y = t * cellsAcross;
    const float fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    const float tx = smooth(x - fx), ty = smooth(y - fy);
    const float top = lattice(ix, iy, seed) + (lattice(ix + 1, iy, seed) - lattice(ix, iy, seed)) * tx;
    const float bottom = lattice(ix, iy + 1, seed) + (lattice(ix + 1, iy + 1, seed) - lattice(ix, iy + 1, seed)) * tx;
    return top + (bottom - top) * ty;
}

writers::Image remixed(const writers::Image& image, const ChannelMix& mix)
{
    writers::Image out = image;
    const ChannelWeights rows[3] = {mix.red, mix.green, mix.blue};
    for (std::size_t i = 0; i < out.pixels.size(); i += static_cast<std::size_t>(out.channels)) {
        const uint8_t* in = image.pixels.data() + i;
        for (int c = 0; c < 3; ++c) {
            const float v = rows[c].r * in[0] + rows[c].g * in[1] + rows[c].b * in[2];
            out.pixels[i + c] = static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f)));
        }
    }
    return out;
}

writers::Image posterised(const writers::Image& image, int levels)
{
    const float step = 255.0f / float(std::clamp(levels, 2, 256) - 1);
    writers::Image out = image;
    for (std::size_t i = 0; i < out.pixels.size(); i += static_cast<std::size_t>(out.channels))
        for (int c = 0; c < 3; ++c)
            out.pixels[i + c] = static_cast<uint8_t>(std::lround(std::round(out.pixels[i + c] / step) * step));
    return out;
}

Canvas::Canvas(int width, int height, Colour background)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, background)
{
}

void Canvas::apply(const std::function<void(float s, float t, Colour& pixel)>& paint)
{
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            paint((float(x) + 0.5f) / float(width_), (float(y) + 0.5f) / float(height_),
                  pixels_[static_cast<std::size_t>(y) * width_ + x]);
}

void Canvas::rect(float s0, float t0, float s1, float t1, Colour colour, float opacity)
{
    apply([&](float s, float t, Colour& p) {
        if (s >= s0 && s < s1 && t >= t0 && t < t1)
            p = mix(p, colour, opacity);
    });
}

void Canvas::ellipse(float cs, float ct, float rs, float rt, Colour colour, float opacity)
{
    apply([&](float s, float t, Colour& p) {
        const float ds = (s - cs) / rs, dt = (t - ct) / rt;
        if (ds * ds + dt * dt <= 1.0f)
            p = mix(p, colour, opacity);
    });
}

void Canvas::line(float s0, float t0, float s1, float t1, float width, Colour colour, float opacity)
{
    const float ds = s1 - s0, dt = t1 - t0;
    const float lengthSquared = std::max(ds * ds + dt * dt, 1e-12f);
    apply([&](float s, float t, Colour& p) {
        const float along = std::clamp(((s - s0) * ds + (t - t0) * dt) / lengthSquared, 0.0f, 1.0f);
        const float es = s - (s0 + ds * along), et = t - (t0 + dt * along);
        if (es * es + et * et <= width * width * 0.25f)
            p = mix(p, colour, opacity);
    });
}

void Canvas::grain(float amount, float cellsAcross, uint32_t seed)
{
    apply([&](float s, float t, Colour& p) {
        const float n = valueNoise(s, t, cellsAcross, seed) * 0.7f + valueNoise(s, t, cellsAcross * 4.0f, seed + 1) * 0.3f;
        p = shade(p, 1.0f + amount * (2.0f * n - 1.0f));
    });
}

writers::Image Canvas::image(int channels) const
{
    writers::Image out(width_, height_, channels);
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        uint8_t* px = out.pixels.data() + i * static_cast<std::size_t>(channels);
        px[0] = toByte(pixels_[i].r);
        px[1] = toByte(pixels_[i].g);
        px[2] = toByte(pixels_[i].b);
        if (channels == 4)
            px[3] = toByte(pixels_[i].a);
    }
    return out;
}

} // namespace samples
