#pragma once
// Shared set-up of the raster tests: the raster units started in a sandbox
// (so their settings land in a temporary folder), and bitmap helpers.
#include "platform/images/Bitmap.h"
#include "platform/system/Dialogs.h"
#include "raster/RasManage.h"
#include "raster/RasProcess.h"
#include "raster/RasTransform.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <functional>

namespace rastertest {

class RasterUnits : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetNonInteractive(true);
        platform::ClearRecordedMessages();
        RasProcessInitialization();
        RasTransformInitialization();
        RasManageInitialization();
    }
    void TearDown() override
    {
        RasManageFinalization();
        RasTransformFinalization();
        RasProcessFinalization();
    }

    const TRasManager& manager() const { return *TRasManager::Instance(); }
    const TRasTransformer& transformer() const { return *TRasTransformer::Instance(); }
    const TRasProcessor& processor() const { return *TRasProcessor::Instance(); }

    testsupport::Sandbox sandbox;
};

constexpr platform::ColorRef rgb(unsigned r, unsigned g, unsigned b) { return r | g << 8 | b << 16; }

// A 24-bit bitmap whose pixel (x, y) is colorAt(x, y).
inline platform::Bitmap paintedBitmap(int width, int height,
                                      const std::function<platform::ColorRef(int, int)>& colorAt)
{
    platform::Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, colorAt(x, y));
    return bitmap;
}

} // namespace rastertest
