#include "RasProcess.h"

#include <algorithm>
#include <array>

uint8_t TRasProcessor::PaletteIndexOf(platform::Bitmap* bitmap, TColorValue color) const
{
    if (!bitmap || bitmap->Empty())
        return 0;
    uint8_t* first = bitmap->ScanLine(0);
    // Keep the whole first pixel, not only its first byte: on a 24-bit bitmap
    // drawing the colour changes three bytes, and all three must come back.
    const int pixelBytes = bitmap->BytesPerPixel();
    std::array<uint8_t, 3> saved{};
    std::copy(first, first + pixelBytes, saved.begin());
    bitmap->SetPixel(0, 0, color);
    uint8_t result = first[0];
    std::copy(saved.begin(), saved.begin() + pixelBytes, first);
    return result;
}

void RasProcessInitialization() { TRasProcessor::Create(); }

void RasProcessFinalization()
{
    if (TRasProcessor* processor = TRasProcessor::Instance())
        processor->Free();
}
