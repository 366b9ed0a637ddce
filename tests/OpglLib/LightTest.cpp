#include "OpglLib/OpglLight.h"

#include "platform/system/IniFile.h"
#include "support/HeadlessGL.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <sstream>

namespace {

using Rgb = std::array<int, 3>;

// Sign of each light's offset from the centre, by index.
constexpr int kCorner[8][3] = {{1, 1, 1},   {1, 1, -1}, {-1, -1, -1}, {-1, 1, 1},
                               {-1, 1, -1}, {1, -1, 1}, {1, -1, -1},  {-1, -1, 1}};

// Points and colours by value: fields of the packed record cannot bind to references.
Rgb bytesOf(TGLColor4f c)
{
    return {int(std::lround(c.X * 255)), int(std::lround(c.Y * 255)), int(std::lround(c.Z * 255))};
}

void expectPoint(TGLPoint4f p, float x, float y, float z, float w)
{
    EXPECT_EQ(p.X, x);
    EXPECT_EQ(p.Y, y);
    EXPECT_EQ(p.Z, z);
    EXPECT_EQ(p.W, w);
}

std::array<GLfloat, 4> glLightVector(GLenum light, GLenum name)
{
    std::array<GLfloat, 4> v{-1, -1, -1, -1};
    glGetLightfv(light, name, v.data());
    return v;
}

void clearGLErrors()
{
    while (glGetError() != GL_NO_ERROR) {
    }
}

// Values of the "key=value" lines of one section, in file order.
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

// An aligned copy of a light record. The record is packed, so its float
// fields may sit at odd addresses; test macros take their arguments by
// reference, which such a field cannot bind to.
struct LightView {
    int32_t LightId;
    bool LightOn;
    TGLLightKind LightKind;
    TGLColor4f Ambient, Diffuse, Specular;
    float CutOff, Exponent;
    TGLPoint4f Position, Direction;
};

LightView viewOf(const TGLLight& l)
{
    return {l.LightId, l.LightOn, l.LightKind, l.Ambient, l.Diffuse, l.Specular,
            l.CutOff,  l.Exponent, l.Position, l.Direction};
}

// Light i of the live lighter.
LightView recordOf(int i) { return viewOf(TGLLighter::Instance()->Lights[i]); }

std::string lightHex(const TGLLight& light) { return platform::IniFile::BytesToHex(&light, sizeof light); }

// A stored light that differs from every default in every field.
TGLLight storedLight(int i)
{
    TGLLight light{};
    light.LightId = 1000 + i;
    light.LightOn = i % 2 == 0;
    light.LightKind = TGLLightKind::Omni;
    light.Ambient = {0.1f, 0.1f, 0.1f, 1.0f};
    light.Diffuse = {0.25f * (i % 4), 0.5f, 1.0f, 0.5f};
    light.Specular = {0.5f, 0.5f, 0.5f, 1.0f};
    light.CutOff = 45.0f;
    light.Exponent = 2.0f;
    light.Position = {float(i), float(-i), 3.0f, 1.0f};
    light.Direction = {0.0f, -1.0f, 0.0f, 1.0f};
    return light;
}

class LighterTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (TGLLighter* lighter = TGLLighter::Instance())
            lighter->Free();
    }
    testsupport::Sandbox sandbox;
};

// The lighter is made at program start, before any GL context exists.
TEST_F(LighterTest, DefaultLightsFromAFreshStartWithoutContext)
{
    TGLLighter* lighter = TGLLighter::Create();
    ASSERT_EQ(lighter->Lights.size(), 8u);

    const TGLLightKind kinds[8] = {TGLLightKind::Direct, TGLLightKind::Omni, TGLLightKind::Spot, TGLLightKind::Omni,
                                   TGLLightKind::Omni,   TGLLightKind::Omni, TGLLightKind::Omni, TGLLightKind::Omni};
    const Rgb diffuse[8] = {{170, 255, 85}, {255, 85, 170}, {255, 170, 85}, {85, 255, 170},
                            {170, 255, 85}, {85, 170, 85},  {85, 85, 85},   {85, 170, 170}};
    const bool on[8] = {true, false, false, false, true, true, true, false};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("light " + std::to_string(i));
        const LightView light = recordOf(i);
        EXPECT_EQ(light.LightId, int32_t(GL_LIGHT0 + i));
        EXPECT_EQ(light.LightKind, kinds[i]);
        EXPECT_EQ(bytesOf(light.Diffuse), diffuse[i]);
        EXPECT_EQ(light.Diffuse.W, 0.5f);
        EXPECT_EQ(light.LightOn, on[i]);
        expectPoint(light.Position, 20.0f * kCorner[i][0], 20.0f * kCorner[i][1], 20.0f * kCorner[i][2], 1.0f);
        // Only the direct light has alpha 0 in ambient and specular.
        const float w = i == 0 ? 0.0f : 1.0f;
        expectPoint(light.Ambient, 0.3f, 0.3f, 0.3f, w);
        expectPoint(light.Specular, 1.0f, 1.0f, 1.0f, w);
        EXPECT_EQ(light.CutOff, i == 2 ? 30.0f : 180.0f);
        EXPECT_EQ(light.Exponent, 0.01f);
    }
    expectPoint(recordOf(2).Direction, 20.0f, 20.0f, 20.0f, 1.0f);
    expectPoint(lighter->ModelAmbient, 0.2f, 0.2f, 0.2f, 1.0f);

    // Without a context there are no GL lights: index operations do nothing.
    EXPECT_EQ(lighter->MaxLights(), 0);
    EXPECT_EQ(lighter->GLLightOf(3), 0u);
    lighter->SetLightOn(1, true);
    lighter->SetLightAmbient(1, GLWhite);
    EXPECT_FALSE(recordOf(1).LightOn);
    EXPECT_EQ(recordOf(1).Ambient.X, 0.3f);
    expectPoint(lighter->GetLightPosition(0), 0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_FALSE(lighter->IsLightOn(0));
    EXPECT_TRUE(recordOf(0).LightOn);
    lighter->DrawLights(true, 10.0f);
}

class LighterGLTest : public LighterTest {
protected:
    void SetUp() override
    {
        GOpglDefineInitialization();
        lighter = TGLLighter::Create();
        clearGLErrors();
    }
    void TearDown() override
    {
        LighterTest::TearDown();
        GOpglDefineFinalization();
    }
    testsupport::HeadlessGL gl;
    TGLLighter* lighter = nullptr;
};

TEST_F(LighterGLTest, PlacedLightsAndAppliedCutOffs)
{
    ASSERT_EQ(lighter->MaxLights(), 8);
    lighter->PlaceLights(Point4f(0, 0, 0), 100.0f);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("light " + std::to_string(i));
        const LightView light = recordOf(i);
        expectPoint(light.Position, 100.0f * kCorner[i][0], 100.0f * kCorner[i][1], 100.0f * kCorner[i][2], 1.0f);
        EXPECT_GE(light.CutOff, 200.0f);
        EXPECT_LE(light.CutOff, 399.0f);
        EXPECT_EQ(light.CutOff, std::floor(light.CutOff));
    }
    expectPoint(recordOf(2).Direction, 100.0f, 100.0f, 100.0f, 1.0f);
    const float spotCutOff = recordOf(2).CutOff;

    lighter->LightingOn();
    EXPECT_TRUE(lighter->IsLightingOn());
    for (int i = 0; i < 8; ++i) {
        if (i != 2) {
            EXPECT_EQ(recordOf(i).CutOff, 180.0f) << "light " << i;
        }
        EXPECT_EQ(glIsEnabled(GL_LIGHT0 + i) == GL_TRUE, recordOf(i).LightOn) << "light " << i;
    }
    // The spot keeps its refused cut-off in the record; the GL keeps 180.
    EXPECT_EQ(recordOf(2).CutOff, spotCutOff);
    EXPECT_EQ(glLightVector(GL_LIGHT2, GL_SPOT_CUTOFF)[0], 180.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_VALUE));
    clearGLErrors();

    auto diffuse = glLightVector(GL_LIGHT5, GL_DIFFUSE);
    EXPECT_EQ(diffuse[0], recordOf(5).Diffuse.X);
    EXPECT_EQ(diffuse[3], 0.5f);
    EXPECT_EQ(glLightVector(GL_LIGHT0, GL_AMBIENT)[3], 0.0f);
    EXPECT_EQ(glLightVector(GL_LIGHT0, GL_SPECULAR)[3], 0.0f);
}

TEST_F(LighterGLTest, SwitchingLightsFollowsTheGL)
{
    lighter->LightingOn();
    const bool before = lighter->IsLightOn(3);
    lighter->SetLightOn(3, !lighter->IsLightOn(3));
    EXPECT_NE(glIsEnabled(GL_LIGHT3) == GL_TRUE, before);
    lighter->SetLightOn(3, !lighter->IsLightOn(3));
    EXPECT_EQ(lighter->IsLightOn(3), before);
    EXPECT_EQ(recordOf(3).LightOn, before);

    // The answer comes from the GL and is written back into the record.
    glDisable(GL_LIGHT5);
    EXPECT_FALSE(lighter->IsLightOn(5));
    EXPECT_FALSE(recordOf(5).LightOn);

    // Indices fold onto the eight lights, negative ones included.
    lighter->SetLightOn(11, true);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
    lighter->SetLightOn(-1, true);
    EXPECT_TRUE(recordOf(7).LightOn);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT7));

    // Switching lighting on again re-sends what the GL lost meanwhile.
    lighter->LightingOff();
    EXPECT_FALSE(lighter->IsLightingOn());
    glDisable(GL_LIGHT7);
    const GLfloat red[4] = {1, 0, 0, 1};
    glLightfv(GL_LIGHT4, GL_DIFFUSE, red);
    lighter->LightingOn();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT7));
    EXPECT_EQ(glLightVector(GL_LIGHT4, GL_DIFFUSE)[0], recordOf(4).Diffuse.X);

    // At least three draws go into the pattern, so some light is always on.
    for (int round = 0; round < 20; ++round) {
        lighter->RandomSwitchLights();
        int lit = 0;
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(glIsEnabled(GL_LIGHT0 + i) == GL_TRUE, recordOf(i).LightOn);
            lit += recordOf(i).LightOn;
        }
        EXPECT_GE(lit, 1);
    }
}

TEST_F(LighterGLTest, DrawLightsPositionsAndMarksOnlyLitLights)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-150, 150, -150, 150, -300, 300);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // A black current colour leaves the emission as the marker's only colour.
    glColor4f(0, 0, 0, 1);
    lighter->PlaceLights(Point4f(0, 0, 0), 100.0f);

    lighter->LightingOff();
    lighter->DrawLights(true, 10.0f);
    for (int i = 0; i < 8; ++i) {
        auto position = glLightVector(GL_LIGHT0 + i, GL_POSITION);
        EXPECT_EQ(position[2], 1.0f) << "light " << i; // the GL's own (0, 0, 1, 0)
        EXPECT_EQ(position[3], 0.0f) << "light " << i;
    }
    for (uint8_t byte : gl.readPixels())
        ASSERT_EQ(byte, 0);

    lighter->LightingOn();
    clearGLErrors();
    lighter->DrawLights(true, 10.0f);
    for (int i = 0; i < 8; ++i) {
        auto position = glLightVector(GL_LIGHT0 + i, GL_POSITION);
        if (recordOf(i).LightOn) {
            EXPECT_EQ(position[0], recordOf(i).Position.X) << "light " << i;
            EXPECT_EQ(position[3], 1.0f) << "light " << i;
        } else {
            EXPECT_EQ(position[3], 0.0f) << "light " << i;
        }
    }
    // Lights 0, 4 and 6 are the last lit lights drawn at their screen corner;
    // lights 2 and 7 share the lower left corner and are both off.
    auto expectPixel = [&](int x, int y, const Rgb& want) {
        testsupport::HeadlessGL::Rgb got = gl.pixel(x, y);
        EXPECT_NEAR(got.r, want[0], 2) << x << "," << y;
        EXPECT_NEAR(got.g, want[1], 2) << x << "," << y;
        EXPECT_NEAR(got.b, want[2], 2) << x << "," << y;
    };
    expectPixel(213, 213, {170, 255, 85});
    expectPixel(43, 213, {170, 255, 85});
    expectPixel(213, 43, {85, 85, 85});
    expectPixel(43, 43, {0, 0, 0});
    expectPixel(128, 128, {0, 0, 0});

    // The helper leaves colour material as it found it and the emission black.
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    std::array<GLfloat, 4> emission{};
    glGetMaterialfv(GL_BACK, GL_EMISSION, emission.data());
    EXPECT_EQ(emission[1], 0.0f);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(LighterTest, SavesCountAndEveryRecord)
{
    TGLLighter* lighter = TGLLighter::Create();
    const TGLLights defaults = lighter->Lights;
    lighter->SettingsValue = 4;
    lighter->Free();

    auto lines = sectionLines(sandbox.settingsText(), "TGLLighter");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], (std::pair<std::string, std::string>{"mGLLighter", "4"}));
    EXPECT_EQ(lines[1], (std::pair<std::string, std::string>{"LightNum", "7"}));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(lines[2 + i].first, "FLights" + std::to_string(i));
        EXPECT_EQ(lines[2 + i].second.size(), 188u);
        EXPECT_EQ(lines[2 + i].second, lightHex(defaults[i]));
    }
    // Light 0 on, Direct; the kind byte and on byte sit at offsets 4 and 5.
    EXPECT_EQ(lines[2].second.substr(0, 12), "004000000100");
}

// Lights saved at the end come back unchanged at the next start, the spot
// light with its kind, cut-off and direction.
TEST_F(LighterTest, SavedLightsLoadBackUnchanged)
{
    TGLLighter* lighter = TGLLighter::Create();
    lighter->PlaceLights(Point4f(5, 0, -5), 40.0f);
    lighter->Lights[1].LightOn = true;
    const TGLLights saved = lighter->Lights;
    ASSERT_EQ(viewOf(saved[2]).LightKind, TGLLightKind::Spot);
    lighter->Free();

    lighter = TGLLighter::Create();
    ASSERT_EQ(lighter->Lights.size(), saved.size());
    for (size_t i = 0; i < saved.size(); ++i)
        EXPECT_EQ(lightHex(lighter->Lights[i]), lightHex(saved[i])) << "light " << i;
    const LightView spot = recordOf(2), before = viewOf(saved[2]);
    EXPECT_EQ(spot.LightKind, TGLLightKind::Spot);
    EXPECT_EQ(spot.CutOff, before.CutOff);
    expectPoint(spot.Direction, before.Direction.X, before.Direction.Y, before.Direction.Z, before.Direction.W);
}

// A settings file whose light 3 is missing or empty: light 3 keeps its
// default, the other lights load their stored records.
class MissingLightTest : public LighterTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingLightTest, OtherLightsStillLoad)
{
    std::string text = "[TGLLighter]\nmGLLighter=5\nLightNum=7\n";
    for (int i = 0; i < 8; ++i) {
        if (i == 3)
            text += GetParam();
        else
            text += "FLights" + std::to_string(i) + "=" + lightHex(storedLight(i)) + "\n";
    }
    sandbox.writeSettings(text);

    TGLLighter* lighter = TGLLighter::Create();
    EXPECT_EQ(lighter->SettingsValue, 5);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("light " + std::to_string(i));
        if (i == 3) {
            expectPoint(recordOf(3).Position, -20.0f, 20.0f, 20.0f, 1.0f);
            EXPECT_EQ(bytesOf(recordOf(3).Diffuse)[0], 85);
            EXPECT_FALSE(recordOf(3).LightOn);
        } else {
            const TGLLight want = storedLight(i);
            EXPECT_EQ(std::memcmp(&lighter->Lights[i], &want, sizeof(TGLLight)), 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, MissingLightTest, ::testing::Values("", "FLights3=\n"));

// Stored values anyone may have edited. Each case writes light 1 and checks
// it; light 6 always holds a good record and must load regardless.
struct BadLightCase {
    const char* name;
    std::string (*value)();
    void (*check)(const TGLLight& loaded, const TGLLight& before);
};

void PrintTo(const BadLightCase& c, std::ostream* os) { *os << c.name; }

std::string storedHex() { return lightHex(storedLight(1)); }

void keepsDefault(const TGLLight& loaded, const TGLLight& before)
{
    EXPECT_EQ(std::memcmp(&loaded, &before, sizeof(TGLLight)), 0);
}

const BadLightCase kBadLights[] = {
    {"ShortValue", [] { return storedHex().substr(0, 186); }, keepsDefault},
    {"OddLength", [] { return storedHex() + "0"; }, keepsDefault},
    {"NonHexDigit", [] { return "ZZ" + storedHex().substr(2); }, keepsDefault},
    {"LongValueUsesFirstRecord", [] { return storedHex() + "FFFFFFFF"; },
     [](const TGLLight& loaded, const TGLLight&) {
         TGLLight want = storedLight(1);
         EXPECT_EQ(std::memcmp(&loaded, &want, sizeof(TGLLight)), 0);
     }},
    {"BadKindAndOnBytes",
     [] {
         std::string hex = storedHex();
         return hex.replace(8, 4, "07FF"); // on byte 0x07, kind byte 0xFF
     },
     [](const TGLLight& record, const TGLLight&) {
         const LightView loaded = viewOf(record);
         EXPECT_EQ(loaded.LightKind, TGLLightKind::Omni);
         uint8_t onByte = 0;
         std::memcpy(&onByte, reinterpret_cast<const uint8_t*>(&record) + 4, 1);
         EXPECT_EQ(onByte, 1);
         EXPECT_EQ(loaded.Exponent, 2.0f);
     }},
    {"NonFiniteFloats",
     [] {
         TGLLight light = storedLight(1);
         light.CutOff = NAN;
         TGLPoint4f position = light.Position;
         position.Y = INFINITY;
         light.Position = position;
         return lightHex(light);
     },
     [](const TGLLight& record, const TGLLight& defaults) {
         const LightView loaded = viewOf(record), before = viewOf(defaults);
         EXPECT_EQ(loaded.CutOff, before.CutOff);
         EXPECT_EQ(loaded.Position.Y, before.Position.Y);
         EXPECT_EQ(loaded.Position.X, 1.0f); // finite values are kept
         EXPECT_EQ(loaded.Exponent, 2.0f);
     }},
};

class BadLightTest : public LighterTest, public ::testing::WithParamInterface<BadLightCase> {};

TEST_P(BadLightTest, IsKeptDrawable)
{
    TGLLighter* fresh = TGLLighter::Create();
    const TGLLight before = fresh->Lights[1];
    fresh->Free();

    sandbox.writeSettings("[TGLLighter]\nFLights1=" + GetParam().value() + "\nFLights6=" +
                          lightHex(storedLight(6)) + "\n");
    TGLLighter* lighter = TGLLighter::Create();
    GetParam().check(lighter->Lights[1], before);
    const TGLLight six = storedLight(6);
    EXPECT_EQ(std::memcmp(&lighter->Lights[6], &six, sizeof(TGLLight)), 0);
}

INSTANTIATE_TEST_SUITE_P(Settings, BadLightTest, ::testing::ValuesIn(kBadLights),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
