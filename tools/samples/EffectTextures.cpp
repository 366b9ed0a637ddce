#include "tools/samples/EffectTextures.h"

#include "tools/samples/Painter.h"
#include "tools/samples/SampleTextures.h"

#include <cmath>

namespace samples {

namespace {

constexpr float kFullTurn = 6.2831853f;

// The slender figure's colours turned violet.
const ChannelMix kViolet{{0.55f, 0.15f, 0.35f}, {0.15f, 0.35f, 0.1f}, {0.35f, 0.25f, 0.75f}};

writers::Image withAlphaFrom(const writers::Image& image, const std::function<float(float s, float t)>& alpha)
{
    writers::Image out(image.width, image.height, 4);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* in = image.at(x, y);
            uint8_t* o = out.at(x, y);
            o[0] = in[0], o[1] = in[1], o[2] = in[2];
            const float s = (x + 0.5f) / image.width, t = (y + 0.5f) / image.height;
            o[3] = static_cast<uint8_t>(std::lround(255.0f * alpha(s, t)));
        }
    return out;
}

} // namespace

writers::Image effectsLegsTexture() { return remixed(legsTexture(Figure::Slender), kViolet); }

writers::Image effectsTorsoTexture() { return remixed(torsoTexture(Figure::Slender, 3), kViolet); }

writers::Image effectsArmsTexture()
{
    // Diamond holes in the sleeves, none in the hands.
    return withAlphaFrom(remixed(armsTexture(Figure::Slender), kViolet), [](float s, float t) {
        if (t > 0.7f)
            return 1.0f;
        const float u = std::fabs(std::fmod(s * 4 + t * 4, 1.0f) - 0.5f) + std::fabs(std::fmod(s * 4 - t * 4 + 8, 1.0f) - 0.5f);
        return u < 0.35f ? 0.0f : 1.0f;
    });
}

writers::Image effectsHeadTexture() { return remixed(headTexture(Figure::Slender), kViolet); }

writers::Image effectsCapeTexture()
{
    Canvas c(32, 64, {0.35f, 0.12f, 0.45f});
    c.apply([&](float s, float t, Colour& px) {
        px = shade(px, 0.75f + 0.4f * t * std::sin(s * 5.0f * kFullTurn));
        if (t > 0.8f && valueNoise(s, t, 10.0f, 71) > 0.5f + (1.0f - t) * 2.0f)
            px.a = 0.0f; // frayed hem
    });
    c.rect(0, 0, 1, 0.06f, {0.8f, 0.7f, 0.2f});
    return c.image(4);
}

writers::Image effectsHairTexture(int frame)
{
    Canvas c(32, 64, {0.9f, 0.85f, 0.95f});
    c.apply([&](float s, float t, Colour& px) {
        const float across = s * 10.0f + 0.3f * frame + 0.15f * std::sin(t * kFullTurn);
        const bool strand = across - std::floor(across) < 0.6f || t < 0.2f;
        px = strand ? Colour{0.85f, 0.8f, 0.95f, 0.25f} : Colour{0.1f, 0.05f, 0.15f, 1.0f};
    });
    return c.image(4);
}

writers::Image chromeTexture()
{
    Canvas c(64, 64, {0.5f, 0.5f, 0.5f});
    c.apply([](float, float t, Colour& px) {
        px = t < 0.5f ? mix(Colour{0.45f, 0.6f, 0.9f}, Colour{0.95f, 0.97f, 1.0f}, t * 2.0f)
                      : mix(Colour{0.35f, 0.3f, 0.25f}, Colour{0.1f, 0.08f, 0.06f}, (t - 0.5f) * 2.0f);
    });
    return c.image(3);
}

writers::Image glowLinesTexture()
{
    Canvas c(32, 32, {0, 0, 0});
    for (float t : {0.1f, 0.45f, 0.8f})
        c.line(0, t, 1, t, 0.05f, {0.2f, 0.9f, 1.0f});
    return c.image(3);
}

writers::Image swirlTexture()
{
    Canvas c(64, 64, {0.1f, 0.05f, 0.2f});
    c.apply([](float s, float t, Colour& px) {
        const float x = s - 0.5f, y = t - 0.5f;
        const float angle = std::atan2(y, x), radius = std::sqrt(x * x + y * y);
        const float band = std::sin(angle * 3.0f + radius * 30.0f);
        px = mix(px, Colour{1.0f, 0.6f, 0.1f}, band > 0.3f ? 1.0f : 0.0f);
    });
    return c.image(3);
}

writers::Image pulseTexture()
{
    Canvas c(32, 32, {0.2f, 0.0f, 0.1f});
    c.apply([](float s, float t, Colour& px) {
        const float r = std::sqrt((s - 0.5f) * (s - 0.5f) + (t - 0.5f) * (t - 0.5f));
        px = std::sin(r * 40.0f) > 0 ? Colour{1.0f, 0.3f, 0.5f} : px;
    });
    return c.image(3);
}

writers::Image visorTexture()
{
    Canvas c(32, 32, {0.0f, 0.0f, 0.0f});
    c.line(0, 0.2f, 1, 0.6f, 0.08f, {0.15f, 0.3f, 0.35f});
    c.line(0, 0.5f, 1, 0.9f, 0.04f, {0.1f, 0.2f, 0.25f});
    return c.image(3);
}

} // namespace samples
