#pragma once
// Painted textures of the sample characters and weapons. Each body texture
// follows the texture rectangles of Figures.h; sizes are small powers of two
// except where noted.
#include "tools/samples/Figures.h"
#include "tools/writers/ImageWriters.h"

namespace samples {

writers::Image legsTexture(Figure figure);   // l_legs
writers::Image torsoTexture(Figure figure, int channels); // u_torso
writers::Image armsTexture(Figure figure);   // u_arms
writers::Image headTexture(Figure figure);   // h_head, face at the middle
writers::Image hairTexture();                // h_hair; 30 pixels wide, so its rows need padding
writers::Image helmetTexture();              // h_helmet, 4 channels
writers::Image hairStrandsTexture();         // h_hair as RGBA, transparent between strands below the crown
writers::Image capeTexture();                // a cloth sheet, collar at the top

writers::Image railCaseTexture();
writers::Image railGripTexture();
writers::Image railRearTexture();
writers::Image railDisplayTexture();         // 50 pixels wide, so its rows need padding
writers::Image gunBodyTexture();
writers::Image gunCoilTexture();
writers::Image gunGripTexture();
writers::Image gunRailTexture();

} // namespace samples
