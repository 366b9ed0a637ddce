#pragma once
// Painted textures of the effects character (vesta): its body in violet and
// the images its shaders animate, scroll, reflect and cut out.
#include "tools/writers/ImageWriters.h"

namespace samples {

writers::Image effectsLegsTexture();
writers::Image effectsTorsoTexture();
writers::Image effectsArmsTexture();   // RGBA: a lattice cut out of the sleeves
writers::Image effectsHeadTexture();
writers::Image effectsCapeTexture();   // RGBA: the hem frays into holes
writers::Image effectsHairTexture(int frame); // RGBA: strands of alpha 64 in opaque gaps, for alphaFunc LT128
writers::Image chromeTexture();        // a sky over a horizon, for reflections
writers::Image glowLinesTexture();     // bright lines on black, for additive stages
writers::Image swirlTexture();         // a spiral, for rotating and stretching
writers::Image pulseTexture();         // rings
writers::Image visorTexture();         // faint glass

} // namespace samples
