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
