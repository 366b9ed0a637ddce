#pragma once
// A small procedural painter for the sample textures. Positions are texture
// coordinates: s across from the left edge, t down from the top edge, both
// 0 … 1, so a picture keeps its layout at any pixel size.
#include "tools/writers/ImageWriters.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace samples {

struct Colour {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
};

Colour mix(Colour a, Colour b, float t);
Colour shade(Colour c, float factor); // scales r, g, b; keeps alpha

// Smooth value noise in 0 … 1 over a lattice of cellsAcross cells per unit,
// the same for the same arguments on every run.
float valueNoise(float s, float t, float cellsAcross, uint32_t seed);

// Weights of R, G and B in one output channel.
struct ChannelWeights {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

// Each output channel a weighted sum of the input's R, G and B, clamped to
// the byte range; alpha is kept. A tint weighs each channel only by itself.
struct ChannelMix {
    ChannelWeights red{1.0f, 0.0f, 0.0f};
    ChannelWeights green{0.0f, 1.0f, 0.0f};
    ChannelWeights blue{0.0f, 0.0f, 1.0f};
};

writers::Image remixed(const writers::Image& image, const ChannelMix& mix);

// Rounds every colour channel to one of levels evenly spaced values (2 to
// 256), so the image has at most levels³ colours and fits a colour map.
writers::Image posterised(const writers::Image& image, int levels);

class Canvas {
public:
    Canvas(int width, int height, Colour background);

    // Calls paint for every pixel centre with its texture coordinates.
    void apply(const std::function<void(float s, float t, Colour& pixel)>& paint);

    void rect(float s0, float t0, float s1, float t1, Colour colour, float opacity = 1.0f);
    void ellipse(float cs, float ct, float rs, float rt, Colour colour, float opacity = 1.0f);
    // A straight band of the given width (in t units) between two points.
    void line(float s0, float t0, float s1, float t1, float width, Colour colour, float opacity = 1.0f);
    // Darkens and lightens the picture by up to amount with value noise.
    void grain(float amount, float cellsAcross, uint32_t seed);

    writers::Image image(int channels) const;

private:
    int width_;
    int height_;
    std::vector<Colour> pixels_;
};

} // namespace samples
