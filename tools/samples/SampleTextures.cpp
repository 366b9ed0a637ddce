#include "tools/samples/SampleTextures.h"

#include "tools/samples/Painter.h"

#include <cmath>

namespace samples {

namespace {

struct Palette {
    Colour skin, cloth, trim, trousers, boots, belt, metal, hair, accent;
};

const Palette kSlender{{0.93f, 0.74f, 0.60f}, {0.15f, 0.55f, 0.58f}, {0.09f, 0.36f, 0.39f},
                       {0.58f, 0.45f, 0.30f}, {0.33f, 0.21f, 0.12f}, {0.25f, 0.16f, 0.09f},
                       {0.80f, 0.78f, 0.70f}, {0.33f, 0.20f, 0.11f}, {0.45f, 0.30f, 0.15f}};
const Palette kBulky{{0.85f, 0.62f, 0.48f}, {0.38f, 0.42f, 0.26f}, {0.24f, 0.28f, 0.16f},
                     {0.36f, 0.40f, 0.25f}, {0.12f, 0.11f, 0.10f}, {0.20f, 0.17f, 0.12f},
                     {0.70f, 0.70f, 0.68f}, {0.40f, 0.33f, 0.28f}, {0.62f, 0.60f, 0.58f}};

const Palette& paletteOf(Figure figure) { return figure == Figure::Bulky ? kBulky : kSlender; }

bool inBand(float t, const UvRect& r) { return t >= r.t0 && t < r.t1; }

// Where t lies inside a band, 0 at its top and 1 at its bottom.
float bandPos(float t, const UvRect& r) { return (t - r.t0) / (r.t1 - r.t0); }

// Three-tone woodland blotches.
void camouflage(Canvas& c, const Palette& p, float top, float bottom, uint32_t seed)
{
    const Colour dark = shade(p.trousers, 0.62f), light = mix(p.trousers, Colour{0.55f, 0.50f, 0.36f}, 0.6f);
    c.apply([&](float s, float t, Colour& px) {
        if (t < top || t >= bottom)
            return;
        const float n = valueNoise(s, t * 2.0f, 5.0f, seed);
        px = n > 0.63f ? dark : n < 0.33f ? light : p.trousers;
    });
}

void laces(Canvas& c, float t0, float t1, Colour colour)
{
    for (float t = t0; t < t1; t += 0.03f) {
        c.line(0.44f, t, 0.56f, t + 0.02f, 0.006f, colour);
        c.line(0.56f, t, 0.44f, t + 0.02f, 0.006f, colour);
    }
}

void eye(Canvas& c, float s, float t, Colour iris, float browThickness, Colour brow, float browTilt)
{
    c.ellipse(s, t, 0.030f, 0.022f, {0.96f, 0.95f, 0.92f});
    c.ellipse(s, t, 0.014f, 0.020f, iris);
    c.ellipse(s, t, 0.006f, 0.010f, {0.05f, 0.04f, 0.04f});
    c.line(s - 0.03f, t - 0.02f, s + 0.03f, t - 0.02f, 0.006f, shade(brow, 0.8f));
    c.line(s - 0.035f, t - 0.05f - browTilt, s + 0.035f, t - 0.05f + browTilt, browThickness, brow);
}

} // namespace

writers::Image legsTexture(Figure figure)
{
    using namespace layout;
    const Palette& p = paletteOf(figure);
    Canvas c(64, 128, p.trousers);
    if (figure == Figure::Bulky) {
        camouflage(c, p, 0.0f, kShin.t1, 11);
        c.rect(0, kShin.t0 + 0.45f * (kShin.t1 - kShin.t0), 1, 1, p.boots);
        for (float s : {0.22f, 0.72f}) // cargo pockets
            c.rect(s, kThigh.t0 + 0.08f, s + 0.08f, kThigh.t0 + 0.2f, shade(p.trousers, 0.8f));
        laces(c, kShin.t0 + 0.15f, kShin.t1, {0.30f, 0.28f, 0.25f});
    } else {
        c.rect(0, kThigh.t0 + 0.1f, 1, 1, p.skin);
        c.rect(0, kThigh.t0 + 0.09f, 1, kThigh.t0 + 0.1f, shade(p.trousers, 0.7f)); // hem
        for (float s : {0.05f, 0.82f}) // back pockets
            c.rect(s, kHips.t0 + 0.08f, s + 0.13f, kHips.t0 + 0.17f, shade(p.trousers, 0.8f));
        c.rect(0, kShin.t0 + 0.3f * (kShin.t1 - kShin.t0), 1, 1, p.boots);
        c.rect(0, kShin.t0 + 0.26f * (kShin.t1 - kShin.t0), 1, kShin.t0 + 0.3f * (kShin.t1 - kShin.t0),
               {0.78f, 0.76f, 0.72f}); // sock tops
        laces(c, kShin.t0 + 0.1f, kShin.t1, {0.75f, 0.65f, 0.45f});
    }
    // Belt with a buckle at the front, seams down the sides, soles.
    c.rect(0, 0, 1, 0.035f, p.belt);
    c.rect(0.46f, 0.0f, 0.54f, 0.045f, p.metal);
    for (float s : {0.25f, 0.75f})
        c.line(s, 0.04f, s, kThigh.t1, 0.004f, shade(p.trousers, 0.7f));
    c.rect(0, kFoot.t0 + 0.75f * (kFoot.t1 - kFoot.t0), 1, 1, {0.08f, 0.07f, 0.06f});
    c.grain(0.10f, 12.0f, figure == Figure::Bulky ? 21 : 22);
    return c.image(3);
}

writers::Image torsoTexture(Figure figure, int channels)
{
    using namespace layout;
    const Palette& p = paletteOf(figure);
    Canvas c(64, 64, p.cloth);
    if (figure == Figure::Bulky) {
        camouflage(c, p, kAbdomen.t0, 1.0f, 12);
        c.rect(0, 0.93f, 1, 1, p.belt);
        c.rect(0.46f, 0.93f, 0.54f, 1, p.metal);
        for (float s : {0.35f, 0.55f}) { // chest pockets with flaps
            c.rect(s, 0.22f, s + 0.10f, 0.36f, shade(p.cloth, 0.82f));
            c.rect(s, 0.22f, s + 0.10f, 0.25f, shade(p.cloth, 0.65f));
        }
        c.line(0.5f, 0.05f, 0.5f, kChest.t1, 0.012f, shade(p.cloth, 0.5f)); // zip
        c.line(0.42f, 0.04f, 0.5f, 0.2f, 0.006f, p.metal);                    // tag chain
        c.line(0.58f, 0.04f, 0.5f, 0.2f, 0.006f, p.metal);
        c.rect(0.485f, 0.2f, 0.515f, 0.25f, p.metal);
        for (float t = 0.03f; t < 0.15f; t += 0.04f) // stitching on the shoulder pads
            c.line(0, t, 1, t, 0.005f, shade(p.cloth, 0.7f));
    } else {
        c.rect(0, 0, 1, 0.09f, p.skin); // bare shoulders
        for (float s : {0.12f, 0.38f, 0.62f, 0.88f})
            c.rect(s - 0.025f, 0, s + 0.025f, 0.1f, p.cloth); // straps
        c.ellipse(0.5f, 0.05f, 0.12f, 0.11f, p.skin);         // neckline
        c.line(0.36f, 0.08f, 0.64f, kChest.t1, 0.03f, p.belt); // holster strap
        c.rect(0, 0.95f, 1, 1, p.trim);                       // hem
        c.line(0, 0.5f, 1, 0.5f, 0.004f, p.trim);
    }
    c.grain(0.09f, 10.0f, figure == Figure::Bulky ? 31 : 32);
    return c.image(channels);
}

writers::Image armsTexture(Figure figure)
{
    using namespace layout;
    const Palette& p = paletteOf(figure);
    Canvas c(32, 64, p.skin);
    if (figure == Figure::Bulky) {
        camouflage(c, p, 0.0f, kUpperArm.t1 - 0.07f, 13);
        c.rect(0, kUpperArm.t1 - 0.07f, 1, kUpperArm.t1, mix(p.trousers, Colour{0.6f, 0.55f, 0.4f}, 0.5f)); // cuff
        c.apply([&](float s, float t, Colour& px) { // hairy forearms
            if (inBand(t, kForearm) && valueNoise(s * 3.0f, t * 0.6f, 24.0f, 5) > 0.72f)
                px = mix(px, p.hair, 0.6f);
        });
        c.rect(0, kHand.t0, 1, kHand.t1, {0.14f, 0.13f, 0.12f}); // gloves
    } else {
        c.rect(0, kUpperArm.t0 + 0.24f, 1, kUpperArm.t0 + 0.28f, p.trim); // arm band
        c.rect(0, kForearm.t1 - 0.07f, 1, kForearm.t1, p.belt);            // wrist band
        c.rect(0, kHand.t0, 1, kHand.t0 + 0.09f, p.boots);                 // fingerless gloves
    }
    for (float s = 0.1f; s < 1.0f; s += 0.2f) // knuckles
        c.line(s, kHand.t0 + 0.1f, s + 0.06f, kHand.t0 + 0.1f, 0.008f, shade(p.skin, 0.7f), 0.7f);
    c.apply([&](float, float t, Colour& px) { // shadow under the jaw
        if (inBand(t, kNeck))
            px = shade(px, 0.8f + 0.2f * bandPos(t, kNeck));
    });
    c.grain(0.07f, 8.0f, figure == Figure::Bulky ? 41 : 42);
    return c.image(3);
}

writers::Image headTexture(Figure figure)
{
    using namespace layout;
    const Palette& p = paletteOf(figure);
    const bool bulky = figure == Figure::Bulky;
    Canvas c(128, 128, p.skin);
    c.apply([&](float s, float t, Colour& px) { // hair or stubble over the top and back
        const bool back = s < 0.27f || s > 0.73f;
        if (t < 0.3f || (back && t < (bulky ? 0.6f : 0.62f)))
            px = bulky ? mix(p.skin, p.hair, 0.45f) : p.hair;
    });
    c.rect(kNose.s0, kNose.t0, kNose.s1, kNose.t1, shade(p.skin, 0.9f));
    for (float s : {kEar.s0, 1.0f - kEar.s1})
        c.rect(s, kEar.t0, s + (kEar.s1 - kEar.s0), kEar.t1, shade(p.skin, 0.85f));
    const Colour iris = bulky ? Colour{0.30f, 0.45f, 0.55f} : Colour{0.35f, 0.22f, 0.10f};
    const Colour brow = bulky ? Colour{0.45f, 0.42f, 0.40f} : p.hair;
    eye(c, 0.435f, 0.44f, iris, bulky ? 0.022f : 0.010f, brow, bulky ? -0.008f : 0.004f);
    eye(c, 0.565f, 0.44f, iris, bulky ? 0.022f : 0.010f, brow, bulky ? 0.008f : -0.004f);
    if (bulky) {
        c.ellipse(0.5f, 0.70f, 0.15f, 0.14f, p.accent);       // beard
        c.ellipse(0.5f, 0.598f, 0.065f, 0.016f, p.accent);    // moustache
        c.apply([&](float s, float t, Colour& px) {
            const float ds = (s - 0.5f) / 0.15f, dt = (t - 0.70f) / 0.14f;
            if (ds * ds + dt * dt < 1.0f)
                px = shade(px, 0.8f + 0.4f * valueNoise(s * 4.0f, t * 0.5f, 30.0f, 9));
        });
        c.line(0.47f, 0.625f, 0.53f, 0.625f, 0.008f, {0.25f, 0.12f, 0.10f}); // mouth
        c.line(0.57f, 0.46f, 0.60f, 0.55f, 0.006f, {0.75f, 0.45f, 0.42f});   // scar
    } else {
        for (float s : {0.41f, 0.59f}) // cheeks
            c.ellipse(s, 0.54f, 0.03f, 0.025f, {0.95f, 0.55f, 0.50f}, 0.35f);
        c.ellipse(0.5f, 0.62f, 0.038f, 0.013f, {0.78f, 0.33f, 0.35f});
        c.line(0.465f, 0.62f, 0.535f, 0.62f, 0.004f, {0.45f, 0.15f, 0.15f});
    }
    c.grain(0.05f, 16.0f, bulky ? 51 : 52);
    return c.image(3);
}

writers::Image hairTexture()
{
    const Palette& p = kSlender;
    Canvas c(30, 64, p.hair);
    c.apply([&](float s, float t, Colour& px) { // strands: noise stretched along t
        px = shade(px, 0.7f + 0.6f * valueNoise(s, t * 0.08f, 14.0f, 61));
    });
    c.rect(0, 0.92f, 1, 1, shade(p.hair, 0.6f));
    return c.image(3);
}

writers::Image hairStrandsTexture()
{
    constexpr float kStrandsAcross = 12.0f;
    constexpr float kGapShare = 0.35f; // of each strand's width, left transparent
    const Palette& p = kSlender;
    Canvas c(32, 64, p.hair);
    c.apply([&](float s, float t, Colour& px) {
        px = shade(px, 0.7f + 0.6f * valueNoise(s, t * 0.08f, 14.0f, 62));
        // The top of the picture covers the crown and stays whole; below it
        // the strands part, so that the skull shows between them.
        const float across = s * kStrandsAcross;
        if (t > 0.25f && across - std::floor(across) < kGapShare)
            px.a = 0.0f;
    });
    return c.image(4);
}

writers::Image capeTexture()
{
    constexpr float kFoldsAcross = 6.0f;
    constexpr float kFullTurn = 6.2831853f;
    const Palette& p = kBulky;
    Canvas c(32, 64, p.cloth);
    c.apply([&](float s, float t, Colour& px) { // folds widening from the collar down
        px = shade(px, 0.8f + 0.35f * t * std::sin(s * kFoldsAcross * kFullTurn));
    });
    c.rect(0, 0, 1, 0.06f, p.belt);                    // collar
    c.rect(0, 0.92f, 1, 1, shade(p.cloth, 0.55f));     // hem
    c.grain(0.08f, 8.0f, 91);
    return c.image(3);
}

writers::Image helmetTexture()
{
    const Palette& p = kBulky;
    Canvas c(64, 64, p.trim);
    for (float k = -1.0f; k < 1.0f; k += 0.125f) { // netting
        c.line(k, 0, k + 0.86f, 0.86f, 0.012f, shade(p.trim, 0.65f));
        c.line(k + 0.86f, 0, k, 0.86f, 0.012f, shade(p.trim, 0.65f));
    }
    c.rect(0, 0.68f, 1, 0.78f, p.belt); // band
    for (float s = 0.0625f; s < 1.0f; s += 0.125f)
        c.ellipse(s, 0.73f, 0.015f, 0.015f, p.metal);
    c.rect(0, layout::kBrim.t0, 1, 1, shade(p.trim, 0.8f));
    c.grain(0.10f, 10.0f, 71);
    return c.image(4);
}

writers::Image railCaseTexture()
{
    Canvas c(64, 64, {0.42f, 0.46f, 0.52f});
    c.apply([](float, float t, Colour& px) { px = shade(px, 1.25f - 0.5f * t); });
    for (float t : {0.3f, 0.7f})
        c.line(0, t, 1, t, 0.02f, {0.2f, 0.22f, 0.26f});
    for (float s : {0.25f, 0.6f})
        c.line(s, 0, s, 1, 0.02f, {0.2f, 0.22f, 0.26f});
    for (float s = 0.08f; s < 1.0f; s += 0.17f)
        c.ellipse(s, 0.15f, 0.02f, 0.02f, {0.75f, 0.76f, 0.78f});
    c.rect(0.8f, 0, 0.85f, 1, {0.90f, 0.50f, 0.10f});
    c.grain(0.06f, 8.0f, 81);
    return c.image(3);
}

writers::Image railGripTexture()
{
    Canvas c(32, 32, {0.16f, 0.15f, 0.15f});
    for (float t = 0.0625f; t < 1.0f; t += 0.125f)
        c.line(0, t, 1, t, 0.04f, {0.30f, 0.28f, 0.27f});
    c.grain(0.1f, 8.0f, 82);
    return c.image(3);
}

writers::Image railRearTexture()
{
    Canvas c(32, 32, {0.28f, 0.29f, 0.31f});
    for (float s = 0.15f; s < 0.9f; s += 0.25f)
        for (float t = 0.15f; t < 0.9f; t += 0.25f)
            c.rect(s, t, s + 0.12f, t + 0.06f, {0.05f, 0.05f, 0.06f});
    c.grain(0.08f, 8.0f, 83);
    return c.image(3);
}

writers::Image railDisplayTexture()
{
    Canvas c(50, 32, {0.03f, 0.10f, 0.05f});
    c.rect(0, 0, 1, 0.08f, {0.5f, 0.5f, 0.5f});
    c.rect(0, 0.92f, 1, 1, {0.5f, 0.5f, 0.5f});
    for (int i = 0; i < 8; ++i) { // bar graph
        const float s = 0.08f + 0.1f * float(i);
        const float top = 0.85f - 0.07f * float((i * 5) % 9);
        c.rect(s, top, s + 0.06f, 0.85f, {0.25f, 0.95f, 0.35f});
    }
    c.rect(0.08f, 0.15f, 0.5f, 0.22f, {0.6f, 1.0f, 0.6f}); // a line of readout
    return c.image(3);
}

writers::Image gunBodyTexture()
{
    Canvas c(64, 64, {0.25f, 0.26f, 0.27f});
    c.apply([](float s, float, Colour& px) { px = shade(px, 0.85f + 0.3f * std::abs(std::sin(s * 12.0f))); });
    c.rect(0, 0.45f, 1, 0.52f, {0.20f, 0.65f, 0.30f});
    for (float s : {0.2f, 0.5f, 0.8f})
        c.line(s, 0, s, 1, 0.015f, {0.12f, 0.12f, 0.13f});
    c.grain(0.07f, 10.0f, 91);
    return c.image(3);
}

writers::Image gunCoilTexture()
{
    Canvas c(32, 64, {0.0f, 0.0f, 0.0f});
    c.apply([](float, float t, Colour& px) {
        const float glow = 0.5f + 0.5f * std::cos(t * 6.2831853f * 4.0f);
        px = {0.1f + 0.3f * glow, 0.3f + 0.7f * glow, 0.1f + 0.2f * glow, 1.0f};
    });
    return c.image(3);
}

writers::Image gunGripTexture()
{
    Canvas c(32, 32, {0.45f, 0.28f, 0.15f});
    c.apply([](float s, float t, Colour& px) { px = shade(px, 0.75f + 0.5f * valueNoise(s * 0.2f, t, 12.0f, 92)); });
    return c.image(3);
}

writers::Image gunRailTexture()
{
    Canvas c(64, 16, {0.1f, 0.6f, 0.7f});
    c.apply([](float s, float t, Colour& px) {
        px = shade(px, 1.3f - 1.0f * std::abs(t - 0.5f));
        if (std::fmod(s * 16.0f, 1.0f) < 0.3f)
            px = mix(px, Colour{0.8f, 1.0f, 1.0f}, 0.5f);
    });
    return c.image(3);
}

} // namespace samples
