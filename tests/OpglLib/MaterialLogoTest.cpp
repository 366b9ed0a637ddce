#include "OpglLib/MaterialDefine.h"
#include "OpglLib/OpglMaterial.h"
#include "OpglLib/QueltoLogo.h"

#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

void expectColour(const TGLColor4f& c, float r, float g, float b, float a)
{
    EXPECT_EQ(c.X, r);
    EXPECT_EQ(c.Y, g);
    EXPECT_EQ(c.Z, b);
    EXPECT_EQ(c.W, a);
}

bool sameColour(const TGLColor4f& a, const TGLColor4f& b)
{
    return a.X == b.X && a.Y == b.Y && a.Z == b.Z && a.W == b.W;
}

// Keys of one section, in file order, with their values.
std::vector<std::pair<std::string, std::string>> sectionLines(const std::string& text, const std::string& section)
{
    std::vector<std::pair<std::string, std::string>> lines;
    std::istringstream in(text);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        size_t eq = line.find('=');
        if (inside && eq != std::string::npos)
            lines.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return lines;
}

// The material and logo units started and ended in program order.
class MaterialUnitsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OpglMaterialInitialization();
        MaterialDefineInitialization();
    }
    void TearDown() override
    {
        QueltoLogoFinalization();
        MaterialDefineFinalization();
        OpglMaterialFinalization();
    }
    testsupport::Sandbox sandbox;
};

TEST_F(MaterialUnitsTest, TableHoldsTheNamedMaterials)
{
    const std::array<std::string, kMaterialCount> names = {
        "Brass",    "Bronze",          "Polished_Bronze", "Chrome",        "Copper",       "Polished_Copper",
        "Gold",     "Polished_Gold",   "Pewter",          "Silver",        "Polished_Silver", "Emerald",
        "Jade",     "Obsidian",        "Pearl",           "Ruby",          "Turquoise",    "Black_Plastic",
        "Black_Rubber", "Yellow Rubber", "Red Plastic",   "cyan rubber"};
    EXPECT_EQ(MaterialNames, names);

    const float alphas[kMaterialCount] = {0.5f,  0.5f,  0.5f, 0.5f, 0.5f,  0.5f,   0.5f, 0.5f,
                                          0.5f,  0.5f,  0.5f, 0.55f, 0.95f, 0.82f, 0.922f, 0.55f,
                                          0.8f,  0.5f,  0.5f, 0.5f, 0.5f,  0.5f};
    for (size_t i = 0; i < kMaterialCount; ++i) {
        SCOPED_TRACE(names[i]);
        const TGLMaterial& m = MaterialTable[i];
        EXPECT_EQ(m.Name, names[i]);
        EXPECT_EQ(m.Reserved1, 1.0f);
        EXPECT_EQ(m.Reserved2, 0u);
        expectColour(m.Emission, 0.1f, 0.1f, 0.1f, 1.0f);
        EXPECT_EQ(m.Ambient.W, alphas[i]);
        EXPECT_EQ(m.Diffuse.W, alphas[i]);
        EXPECT_EQ(m.Specular.W, alphas[i]);
    }

    const TGLMaterial& brass = MaterialTable[0];
    expectColour(brass.Ambient, 0.329412f, 0.223529f, 0.027451f, 0.5f);
    expectColour(brass.Diffuse, 0.780392f, 0.568627f, 0.113725f, 0.5f);
    expectColour(brass.Specular, 0.992157f, 0.941176f, 0.807843f, 0.5f);
    EXPECT_EQ(brass.Shininess, 0.278974f);

    const TGLMaterial& polishedCopper = MaterialTable[5];
    expectColour(polishedCopper.Specular, 0.580594f, 0.223257f, 0.0695701f, 0.5f);
    EXPECT_EQ(polishedCopper.Shininess, 0.512f);

    const TGLMaterial& pewter = MaterialTable[8];
    expectColour(pewter.Diffuse, 0.427451f, 0.470588f, 0.541176f, 0.5f);
    EXPECT_EQ(pewter.Shininess, 0.0984615f);

    const TGLMaterial& pearl = MaterialTable[14];
    expectColour(pearl.Ambient, 0.25f, 0.20725f, 0.20725f, 0.922f);
    expectColour(pearl.Diffuse, 1.0f, 0.829f, 0.829f, 0.922f);
    EXPECT_EQ(pearl.Shininess, 0.11264f);

    const TGLMaterial& turquoise = MaterialTable[16];
    expectColour(turquoise.Diffuse, 0.396f, 0.74151f, 0.69102f, 0.8f);
    expectColour(turquoise.Specular, 0.297254f, 0.30829f, 0.306678f, 0.8f);

    expectColour(MaterialTable[19].Specular, 0.7f, 0.7f, 0.04f, 0.5f);
    EXPECT_EQ(MaterialTable[19].Shininess, 0.078125f);
    expectColour(MaterialTable[20].Diffuse, 0.5f, 0.0f, 0.0f, 0.5f);
    EXPECT_EQ(MaterialTable[20].Shininess, 0.25f);
    expectColour(MaterialTable[21].Ambient, 0.0f, 0.05f, 0.05f, 0.5f);
    EXPECT_EQ(MaterialTable[21].Shininess, 0.078125f);

    // Filling keeps the record's Reserved2 and overwrites everything else.
    TGLMaterial used;
    used.Reserved2 = 77;
    used.Emission = GLWhite;
    TGLMaterialer::Instance()->FillMaterial("Probe", used, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0.5f);
    EXPECT_EQ(used.Name, "Probe");
    EXPECT_EQ(used.Reserved2, 77u);
    EXPECT_EQ(used.Reserved1, 1.0f);
    expectColour(used.Diffuse, 5, 6, 7, 8);
    expectColour(used.Emission, 0.1f, 0.1f, 0.1f, 1.0f);
    EXPECT_EQ(used.Shininess, 0.5f);
}

TEST_F(MaterialUnitsTest, EndingTheUnitsReleasesNamesAndWritesZero)
{
    MaterialDefineFinalization();
    EXPECT_EQ(MaterialNames[6], "");
    EXPECT_EQ(MaterialTable[6].Name, "");
    OpglMaterialFinalization();
    EXPECT_EQ(TGLMaterialer::Instance(), nullptr);
    EXPECT_EQ(sectionLines(sandbox.settingsText(), "TGLMaterialer"),
              (std::vector<std::pair<std::string, std::string>>{{"mGLMaterialer", "0"}}));
}

TEST(TGLMaterialer, StoredKeyIsNeverReadBack)
{
    testsupport::Sandbox sandbox;
    sandbox.writeSettings("[TGLMaterialer]\nmGLMaterialer=5\n");
    TGLMaterialer* materialer = TGLMaterialer::Create();
    EXPECT_EQ(materialer->SettingsValue, 0);
    materialer->Free();
    EXPECT_EQ(sandbox.settingsText(), "[TGLMaterialer]\nmGLMaterialer=0\n");

    // Building the table without a live materialer makes one for the time being.
    MaterialDefineInitialization();
    EXPECT_EQ(TGLMaterialer::Instance(), nullptr);
    EXPECT_EQ(MaterialTable[7].Name, "Polished_Gold");
    EXPECT_EQ(MaterialTable[7].Shininess, 0.832f);
    MaterialDefineFinalization();
}

TEST_F(MaterialUnitsTest, LogoStartsWithItsStartValues)
{
    QueltoLogoInitialization();
    TGLQueltoLogo* logo = TGLQueltoLogo::Instance();
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(LogoStyleNames,
              (std::vector<std::string>{"User Define", "Normal", "Phone", "Metal", "Plastic", "Others"}));
    EXPECT_EQ(logo->FLogoWidth, 20.0f);
    EXPECT_EQ(logo->FReserved1, 0);
    EXPECT_EQ(logo->FReserved2, 0);
    EXPECT_EQ(logo->FScale, 1.0f);
    EXPECT_EQ(logo->LogoStyle, 0);
    EXPECT_EQ(logo->LogoMaterial.Name, "Gold");
    EXPECT_TRUE(sameColour(logo->LogoMaterial.Diffuse, MaterialTable[6].Diffuse));
    EXPECT_EQ(logo->LogoMaterial.Shininess, 0.512f);
    EXPECT_EQ(logo->FShinese, 30.0f);
    expectColour(logo->FClrEmission, 0.1f, 0.1f, 0.1f, 0.5f);
    expectColour(logo->FClrAmbient, 0.02f, 0.02f, 0.02f, 0.5f);
    expectColour(logo->FClrSpecular, 0.7f, 0.7f, 0.7f, 0.5f);
    expectColour(logo->FClrDiffuse, 0.7f, 0.7f, 0.7f, 0.5f);
    EXPECT_TRUE(logo->LogoSwitch);
    EXPECT_FALSE(logo->FMixLogoColor);
    EXPECT_EQ(logo->FMixRate, 0.3f);
    EXPECT_EQ(logo->FReserved3, 2);
    EXPECT_EQ(logo->FReserved4, 1);

    QueltoLogoFinalization();
    EXPECT_TRUE(LogoStyleNames.empty());
    auto lines = sectionLines(sandbox.settingsText(), "TGLQueltoLogo");
    std::vector<std::string> keys;
    for (const auto& line : lines)
        keys.push_back(line.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"mGLQueltoLogo", "FLogoWidth", "FScale", "FMixLogoColor", "FMixRate",
                                              "FClrAmbient", "FClrDiffuse", "FClrSpecular", "FClrEmission",
                                              "FShinese"}));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1].second, "20");
    EXPECT_EQ(lines[2].second, "1");
    EXPECT_EQ(lines[3].second, "0");
    EXPECT_EQ(lines[6].second, "3333333F3333333F3333333F0000003F"); // 0.7, 0.7, 0.7, 0.5
    EXPECT_EQ(lines[9].second, "30");
}

// Colour values: present and at least 16 bytes replace the colour; missing,
// empty, short or malformed ones keep the start value.
TEST_F(MaterialUnitsTest, LogoReadsItsSettings)
{
    sandbox.writeSettings("[TGLQueltoLogo]\n"
                          "mGLQueltoLogo=3\n"
                          "FLogoWidth=100\n"
                          "FMixLogoColor=1\n"
                          "FMixRate=0.8\n"
                          "FClrAmbient=0000803F0000003F000000000000803FAABB\n" // 1, 0.5, 0, 1 and extra bytes
                          "FClrSpecular=\n"
                          "FClrEmission=0000803F0000803F\n");
    QueltoLogoInitialization();
    TGLQueltoLogo* logo = TGLQueltoLogo::Instance();
    EXPECT_EQ(logo->SettingsValue, 3);
    EXPECT_EQ(logo->FLogoWidth, 100.0f);
    EXPECT_EQ(logo->FScale, 1.0f);
    EXPECT_TRUE(logo->FMixLogoColor);
    EXPECT_EQ(logo->FMixRate, 0.8f);
    expectColour(logo->FClrAmbient, 1.0f, 0.5f, 0.0f, 1.0f);
    expectColour(logo->FClrDiffuse, 0.7f, 0.7f, 0.7f, 0.5f);
    expectColour(logo->FClrSpecular, 0.7f, 0.7f, 0.7f, 0.5f);
    expectColour(logo->FClrEmission, 0.1f, 0.1f, 0.1f, 0.5f);
    EXPECT_EQ(logo->FShinese, 30.0f);
    EXPECT_EQ(logo->LogoMaterial.Name, "Gold");

    logo->FShinese = 12.5f;
    QueltoLogoFinalization();
    auto lines = sectionLines(sandbox.settingsText(), "TGLQueltoLogo");
    auto valueOf = [&](const std::string& key) {
        for (const auto& line : lines)
            if (line.first == key)
                return line.second;
        return std::string("<missing>");
    };
    EXPECT_EQ(lines.size(), 10u);
    EXPECT_EQ(valueOf("mGLQueltoLogo"), "3");
    EXPECT_EQ(valueOf("FClrAmbient"), "0000803F0000003F000000000000803F");
    EXPECT_EQ(valueOf("FClrSpecular"), "3333333F3333333F3333333F0000003F");
    EXPECT_EQ(valueOf("FShinese"), "12.5");

    QueltoLogoInitialization();
    EXPECT_EQ(TGLQueltoLogo::Instance()->FShinese, 12.5f);
}

} // namespace
