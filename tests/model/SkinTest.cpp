#include "Md3Files.h"

#include "model/Model.h"
#include "platform/system/Dialogs.h"
#include "support/HeadlessGL.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

using namespace md3files;

namespace {

const std::string kBmp2x2 = [] {
    // 2 x 2 24-bit bitmap: 54 header bytes, two 8-byte rows.
    std::string b = "BM";
    const uint32_t fields[] = {70, 0, 54, 40, 2, 2, 0x180001, 0, 16, 0, 0, 0, 0};
    for (uint32_t v : fields)
        for (int i = 0; i < 4; ++i)
            b += static_cast<char>(v >> (8 * i));
    return b + std::string(16, '\x40');
}();

class LoadSkin : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platform::SetNonInteractive(true);
        gl = std::make_unique<testsupport::HeadlessGL>(16, 16);
    }
    static void TearDownTestSuite() { gl.reset(); }

    TMD3Model partWith(const std::vector<std::string>& names)
    {
        Model m;
        for (const std::string& name : names)
            m.surfaces.push_back(triangleSurface(name, 1));
        const std::string bytes = build(m);
        TMD3Model part;
        LoadMD3FromBytes(part, "part.md3", std::vector<uint8_t>(bytes.begin(), bytes.end()));
        return part;
    }

    bool textured(const TMesh& mesh) { return mesh.HasTexture && glIsTexture(mesh.Texture); }

    static inline std::unique_ptr<testsupport::HeadlessGL> gl;
    testsupport::TempDir dir;
};

TEST_F(LoadSkin, BindsImagesByCaseBlindSurfaceNames)
{
    dir.write("skin.bmp", kBmp2x2);
    dir.write("Lower_Default.SKIN", "S_BODY,models/players/test/skin.bmp\n"
                                    "s_back,models\\players\\test\\skin.bmp\n"
                                    "s_arm,models/players/test/SKIN.BMP\r\n"
                                    "s_dup,skin.bmp/skin.bmp\n"
                                    "nomesh,models/players/test/skin.bmp\n"
                                    "models/players/test/skin.bmp\n"
                                    "s_png,models/players/test/skin.png\n"
                                    "s_gone,models/players/test/gone.bmp\n"
                                    "x\n");
    TMD3Model part = partWith({"s_body", "s_back", "s_arm", "s_dup", "s_dup", "", "s_png", "s_gone"});
    platform::ClearRecordedMessages();
    ::LoadSkin(part, dir.path(), "lower_default.skin");
    const auto& m = part.Meshes;
    EXPECT_TRUE(textured(m[0]));
    EXPECT_FALSE(m[1].HasTexture); // backslashes leave no image name
    EXPECT_TRUE(textured(m[2]));
    EXPECT_TRUE(textured(m[3]));
    EXPECT_TRUE(textured(m[4]));
    EXPECT_NE(m[3].Texture, m[4].Texture);
    EXPECT_TRUE(textured(m[5])); // a line without a comma names the empty surface
    EXPECT_FALSE(m[6].HasTexture);
    // A failed image still marks the mesh, which keeps texture 0.
    EXPECT_TRUE(m[7].HasTexture);
    EXPECT_EQ(m[7].Texture, 0u);
    ASSERT_EQ(platform::RecordedMessages().size(), 1u);
    EXPECT_EQ(platform::RecordedMessages()[0].text, "Error opening " + dir.file("gone.bmp"));
}

TEST_F(LoadSkin, SkipsOnlyLowerCaseTagLines)
{
    dir.write("skin.bmp", kBmp2x2);
    dir.write("tag.skin", "tag_head,models/players/test/skin.bmp\n");
    dir.write("TAG.skin", "TAG_head,models/players/test/skin.bmp\n");
    TMD3Model part = partWith({"tag_head"});
    ::LoadSkin(part, dir.path(), "tag.skin");
    EXPECT_FALSE(part.Meshes[0].HasTexture);
    ::LoadSkin(part, dir.path(), "TAG.skin");
    EXPECT_TRUE(textured(part.Meshes[0]));
    ::LoadSkin(part, dir.path(), "none.skin");
}

} // namespace
