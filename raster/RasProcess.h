#pragma once
// Palette look-ups on 8-bit bitmaps.
#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"
#include "platform/images/Bitmap.h"

#include <cstdint>

class TRasProcessor : public TComponent<TRasProcessor> {
public:
    static constexpr const char* kClassName = "TRasProcessor";
    static constexpr const char* kUnitName = "RasProcess";
    static constexpr bool kRegistersUnit = false;

    // The first byte that pixel (0, 0) gets when the colour is drawn there:
    // for an 8-bit bitmap, the palette index chosen for the colour. The pixel
    // is put back afterwards. 0 for no bitmap or an empty one.
    uint8_t PaletteIndexOf(platform::Bitmap* bitmap, TColorValue color) const;
};

void RasProcessInitialization();
void RasProcessFinalization();
