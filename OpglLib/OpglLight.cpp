#include "OpglLight.h"

#include "platform/system/Random.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

// The record is a storage format: pin every offset, not just the size.
static_assert(offsetof(TGLLight, LightOn) == 4);
static_assert(offsetof(TGLLight, LightKind) == 5);
static_assert(offsetof(TGLLight, Ambient) == 6);
static_assert(offsetof(TGLLight, Diffuse) == 22);
static_assert(offsetof(TGLLight, Specular) == 38);
static_assert(offsetof(TGLLight, CutOff) == 54);
static_assert(offsetof(TGLLight, Exponent) == 58);
static_assert(offsetof(TGLLight, Position) == 62);
static_assert(offsetof(TGLLight, Direction) == 78);

std::vector<std::string> LightKindNames;
std::vector<std::string> LightPropertyNames;

namespace {

constexpr int kDefaultLightCount = 8;
constexpr float kDefaultRadius = 10.0f;
constexpr float kNoSpotCutOff = 180.0f;
constexpr float kDefaultSpotCutOff = 30.0f;
constexpr float kDefaultExponent = 0.01f;
constexpr uint32_t kLightColorSeed = 1000;
constexpr uint32_t kDefaultLightSeed = 1200;
constexpr uint32_t kSwitchRange = 8;
constexpr uint32_t kMinLightsSwitchedOn = 3;
constexpr int kMarkerSlices = 10;
constexpr int kMarkerStacks = 10;
constexpr TGLPoint4f kNoPosition{0.0f, 0.0f, 0.0f, 1.0f};
constexpr TGLColor4f kNoDiffuse{0.2f, 0.2f, 0.2f, 1.0f};
constexpr TGLColor4f kDefaultModelAmbient{0.2f, 0.2f, 0.2f, 1.0f};
constexpr const char* kLightNumKey = "LightNum";
constexpr const char* kLightKeyPrefix = "FLights";

// Sign of the offset from the centre for X, Y and Z, by light index mod 8.
constexpr int kCornerSigns[8][3] = {
    {+1, +1, +1}, {+1, +1, -1}, {-1, -1, -1}, {-1, +1, +1},
    {-1, +1, -1}, {+1, -1, +1}, {+1, -1, -1}, {-1, -1, +1},
};

std::array<GLfloat, 4> glVector(TGLPoint4f p) { return {p.X, p.Y, p.Z, p.W}; }

// Rounds half to even. Values beyond the 32-bit range (or not numbers at
// all) would make the conversion undefined, so they are clamped (NaN to 0).
int32_t roundHalfEven(float value)
{
    double rounded = std::nearbyint(static_cast<double>(value));
    if (std::isnan(rounded))
        return 0;
    if (rounded <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (rounded >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded);
}

TGLPoint4f cornerOf(size_t index, const TGLPoint4f& centre, float offset)
{
    const int* sign = kCornerSigns[index % 8];
    return {centre.X + sign[0] * offset, centre.Y + sign[1] * offset, centre.Z + sign[2] * offset, 1.0f};
}

// Pointing from the position back to the world origin. Points are taken by
// value throughout: a field of a packed record may not be bound to a reference.
TGLPoint4f towardsOrigin(TGLPoint4f position) { return {-position.X, -position.Y, -position.Z, 1.0f}; }

void keepFinite(float& value, float fallback)
{
    if (!std::isfinite(value))
        value = fallback;
}

void keepFinite(TGLPoint4f& value, TGLPoint4f fallback)
{
    keepFinite(value.X, fallback.X);
    keepFinite(value.Y, fallback.Y);
    keepFinite(value.Z, fallback.Z);
    keepFinite(value.W, fallback.W);
}

// Turns a stored light image into a record the program can draw. Stored
// values come from a text file anyone may edit: a kind byte outside the three
// kinds becomes Omni, any non-zero on byte means on (a bool holding another
// byte would be undefined), and a float that is not finite takes the value of
// the record in place, so no NaN or infinity ever reaches the GL.
TGLLight decodeLight(const uint8_t* bytes, const TGLLight& current)
{
    std::array<uint8_t, sizeof(TGLLight)> image;
    std::memcpy(image.data(), bytes, image.size());
    uint8_t& on = image[offsetof(TGLLight, LightOn)];
    on = on != 0 ? 1 : 0;
    uint8_t& kind = image[offsetof(TGLLight, LightKind)];
    if (kind > static_cast<uint8_t>(TGLLightKind::Spot))
        kind = static_cast<uint8_t>(TGLLightKind::Omni);

    TGLLight light;
    std::memcpy(&light, image.data(), sizeof light);
    // Packed members cannot bind to references: repair copies, then store them.
    TGLColor4f ambient = light.Ambient, diffuse = light.Diffuse, specular = light.Specular;
    TGLPoint4f position = light.Position, direction = light.Direction;
    float cutOff = light.CutOff, exponent = light.Exponent;
    keepFinite(ambient, current.Ambient);
    keepFinite(diffuse, current.Diffuse);
    keepFinite(specular, current.Specular);
    keepFinite(position, current.Position);
    keepFinite(direction, current.Direction);
    keepFinite(cutOff, current.CutOff);
    keepFinite(exponent, current.Exponent);
    light.Ambient = ambient;
    light.Diffuse = diffuse;
    light.Specular = specular;
    light.Position = position;
    light.Direction = direction;
    light.CutOff = cutOff;
    light.Exponent = exponent;
    return light;
}

} // namespace

std::vector<TColorValue> MakeLightColors(int count)
{
    if (count <= 0)
        return {};
    uint32_t counts[3] = {uint32_t(count / 3), uint32_t(count / 3), uint32_t(count / 3)};
    for (int extra = 0; extra < count % 3; ++extra)
        ++counts[extra];
    const uint32_t step = 255 / counts[0];

    platform::SetRandSeed(kLightColorSeed);
    std::vector<TColorValue> colours;
    colours.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        // The draw order blue, green, red is part of the fixed default colours.
        uint32_t b = platform::Random(counts[2]);
        uint32_t g = platform::Random(counts[1]);
        uint32_t r = platform::Random(counts[0]);
        colours.push_back((((r + 1) * step) & 0xFF) | (((g + 1) * step) & 0xFF) << 8 |
                          (((b + 1) * step) & 0xFF) << 16);
    }
    return colours;
}

uint8_t TGLLighter::MaxLights() const
{
    // Without a current context the query leaves the value as it is: 0 lights.
    GLint count = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &count);
    return static_cast<uint8_t>(count & 0xFF);
}

GLenum TGLLighter::GLLightOf(int index) const
{
    const int count = MaxLights();
    if (count == 0)
        return 0;
    int folded = index % count;
    if (folded < 0)
        folded += count;
    return GL_LIGHT0 + static_cast<GLenum>(folded);
}

const TGLLight* TGLLighter::lightAt(int index) const
{
    const GLenum light = GLLightOf(index);
    if (light == 0)
        return nullptr;
    // A GL with more lights than records would fold onto indices past the
    // array; those lights have no record.
    const size_t i = light - GL_LIGHT0;
    return i < Lights.size() ? &Lights[i] : nullptr;
}

TGLLight* TGLLighter::lightAt(int index)
{
    return const_cast<TGLLight*>(static_cast<const TGLLighter*>(this)->lightAt(index));
}

void TGLLighter::switchGLLight(size_t i, bool on) const
{
    if (i >= MaxLights())
        return;
    const GLenum light = GL_LIGHT0 + static_cast<GLenum>(i);
    if (on)
        glEnable(light);
    else
        glDisable(light);
}

void TGLLighter::SetLightAmbient(int index, TGLColor4f colour)
{
    TGLLight* light = lightAt(index);
    if (!light)
        return;
    light->Ambient = colour;
    glLightfv(GLLightOf(index), GL_AMBIENT, glVector(colour).data());
}

void TGLLighter::SetLightDiffuse(int index, TGLColor4f colour)
{
    TGLLight* light = lightAt(index);
    if (!light)
        return;
    light->Diffuse = colour;
    glLightfv(GLLightOf(index), GL_DIFFUSE, glVector(colour).data());
}

void TGLLighter::SetLightSpecular(int index, TGLColor4f colour)
{
    TGLLight* light = lightAt(index);
    if (!light)
        return;
    light->Specular = colour;
    glLightfv(GLLightOf(index), GL_SPECULAR, glVector(colour).data());
}

void TGLLighter::SetLightCutOff(int index, float degrees)
{
    TGLLight* light = lightAt(index);
    if (!light)
        return;
    // Only a spot light has a cone; 180 is the GL's "shines everywhere".
    if (light->LightKind != TGLLightKind::Spot)
        degrees = kNoSpotCutOff;
    light->CutOff = degrees;
    glLightf(GLLightOf(index), GL_SPOT_CUTOFF, degrees);
}

void TGLLighter::SetLightExponent(int index, float exponent)
{
    TGLLight* light = lightAt(index);
    if (!light)
        return;
    light->Exponent = exponent;
    glLightf(GLLightOf(index), GL_SPOT_EXPONENT, exponent);
}

TGLPoint4f TGLLighter::GetLightPosition(int index) const
{
    const TGLLight* light = lightAt(index);
    if (!light)
        return kNoPosition;
    return light->Position;
}

TGLColor4f TGLLighter::GetLightDiffuse(int index) const
{
    const TGLLight* light = lightAt(index);
    if (!light)
        return kNoDiffuse;
    return light->Diffuse;
}

void TGLLighter::LightingOff() { glDisable(GL_LIGHTING); }

void TGLLighter::LightingOn()
{
    glEnable(GL_LIGHTING);
    AssignLights(Lights);
}

bool TGLLighter::IsLightingOn() const { return glIsEnabled(GL_LIGHTING) == GL_TRUE; }

void TGLLighter::AssignLights(const TGLLights& lights)
{
    if (lights.empty())
        return;
    if (&lights != &Lights)
        Lights = lights;
    ApplyAllLights();
}

void TGLLighter::ApplyAllLights()
{
    const size_t count = std::min<size_t>(Lights.size(), MaxLights());
    for (size_t i = 0; i < count; ++i) {
        const int index = static_cast<int>(i);
        const TGLLight light = Lights[i];
        SetLightAmbient(index, light.Ambient);
        SetLightDiffuse(index, light.Diffuse);
        SetLightSpecular(index, light.Specular);
        SetLightCutOff(index, light.CutOff);
        SetLightExponent(index, light.Exponent);
        switchGLLight(i, light.LightOn);
    }
}

bool TGLLighter::IsLightOn(int index)
{
    TGLLight* light = lightAt(index);
    if (!light)
        return false;
    light->LightOn = glIsEnabled(GLLightOf(index)) == GL_TRUE;
    return light->LightOn;
}

void TGLLighter::SetLightOn(int index, bool on)
{
    TGLLight* light = lightAt(index);
    if (!light)
        return;
    light->LightOn = on;
    const TGLLight copy = *light;
    SetLightAmbient(index, copy.Ambient);
    SetLightDiffuse(index, copy.Diffuse);
    SetLightSpecular(index, copy.Specular);
    SetLightCutOff(index, copy.CutOff);
    SetLightExponent(index, copy.Exponent);
    if (on)
        glEnable(GLLightOf(index));
    else
        glDisable(GLLightOf(index));
}

void TGLLighter::MakeDefaultLights(TGLLights& lights, const TGLPoint4f& centre, float radius)
{
    // Every GL offers at least eight lights and the default set is exactly
    // eight, whatever the current context (if any) reports.
    const std::vector<TColorValue> colours = MakeLightColors(kDefaultLightCount);
    platform::SetRandSeed(kDefaultLightSeed);
    lights.assign(kDefaultLightCount, TGLLight{});
    const float offset = static_cast<float>(roundHalfEven(radius * 2.0f));
    for (size_t i = 0; i < lights.size(); ++i) {
        TGLLight& light = lights[i];
        light.LightId = static_cast<int32_t>(GL_LIGHT0 + i);
        light.LightKind = i == 0 ? TGLLightKind::Direct : i == 2 ? TGLLightKind::Spot : TGLLightKind::Omni;
        // The direct light's ambient and specular alpha is what marks it apart.
        const float w = i == 0 ? 0.0f : 1.0f;
        light.Ambient = {0.3f, 0.3f, 0.3f, w};
        light.Diffuse = ValueToColor4f(colours[i]);
        light.Specular = {1.0f, 1.0f, 1.0f, w};
        light.Exponent = kDefaultExponent;
        light.Position = cornerOf(i, centre, offset);
        if (light.LightKind == TGLLightKind::Spot) {
            light.CutOff = kDefaultSpotCutOff;
            light.Direction = towardsOrigin(light.Position);
        } else {
            light.CutOff = kNoSpotCutOff;
        }
    }
    switchRandomly(lights);

    ModelAmbient = kDefaultModelAmbient;
    LocalViewer = false;
    TwoSide = false;
    SetModelAmbient(ModelAmbient);
    SetLocalViewer(LocalViewer);
    SetTwoSide(TwoSide);
}

void TGLLighter::PlaceLights(const TGLPoint4f& centre, float radius)
{
    const int32_t spread = roundHalfEven(radius * 2.0f);
    for (size_t i = 0; i < Lights.size(); ++i) {
        TGLLight& light = Lights[i];
        // A cut-off of 200 ... 399 is more than any spot cone: the GL refuses
        // it and a spot light keeps shining in every direction.
        const uint32_t range = spread > 0 ? static_cast<uint32_t>(spread) : 0;
        light.CutOff = static_cast<float>(spread + static_cast<int64_t>(platform::Random(range)));
        light.Exponent = kDefaultExponent;
        light.Position = cornerOf(i, centre, radius);
        if (light.LightKind == TGLLightKind::Spot)
            light.Direction = towardsOrigin(light.Position);
    }
}

void TGLLighter::DrawLights(bool showMarkers, float markerRadius)
{
    const bool colorMaterial = glIsEnabled(GL_COLOR_MATERIAL) == GL_TRUE;
    glMaterialfv(GL_FRONT, GL_AMBIENT, glVector(GLBlack).data());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, glVector(GLBlack).data());
    glMaterialfv(GL_FRONT, GL_SPECULAR, glVector(GLBlack).data());
    glMaterialf(GL_FRONT, GL_SHININESS, GLShininess);
    glEnable(GL_COLOR_MATERIAL);

    const int count = MaxLights();
    for (int i = 0; i < count; ++i) {
        const TGLPoint4f position = GetLightPosition(i);
        glPushMatrix();
        glTranslatef(position.X, position.Y, position.Z);
        if (IsLightingOn() && IsLightOn(i)) {
            // The light sits at the origin of the translated frame, so it ends
            // up at its position in the caller's model-view frame.
            glLightfv(GLLightOf(i), GL_POSITION, glVector(GLOpaqueBlack).data());
            if (showMarkers && SharedQuadric) {
                glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, glVector(GetLightDiffuse(i)).data());
                gluSphere(SharedQuadric, markerRadius, kMarkerSlices, kMarkerStacks);
            }
        }
        glPopMatrix();
    }

    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, glVector(GLBlack).data());
    if (!colorMaterial)
        glDisable(GL_COLOR_MATERIAL);
}

void TGLLighter::switchRandomly(TGLLights& lights)
{
    uint32_t count = platform::Random(kSwitchRange);
    if (count < kMinLightsSwitchedOn)
        count = kMinLightsSwitchedOn;
    std::array<bool, kSwitchRange> chosen{};
    for (uint32_t n = 0; n < count; ++n)
        chosen[platform::Random(kSwitchRange)] = true;
    for (size_t i = 0; i < lights.size(); ++i) {
        const bool on = i < chosen.size() && chosen[i];
        lights[i].LightOn = on;
        switchGLLight(i, on);
    }
}

void TGLLighter::RandomSwitchLights() { switchRandomly(Lights); }

void TGLLighter::SetModelAmbient(const TGLColor4f& colour)
{
    ModelAmbient = colour;
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, glVector(colour).data());
}

void TGLLighter::SetLocalViewer(bool local)
{
    LocalViewer = local;
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, local ? 1 : 0);
}

void TGLLighter::SetTwoSide(bool twoSide)
{
    TwoSide = twoSide;
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, twoSide ? 1 : 0);
}

void TGLLighter::PreCreateHook()
{
    if (Lights.empty())
        MakeDefaultLights(Lights, kNoPosition, kDefaultRadius);
}

void TGLLighter::LoadKeys(const platform::IniFile& ini)
{
    for (size_t i = 0; i < Lights.size(); ++i) {
        auto bytes = ini.ReadBinary(kClassName, kLightKeyPrefix + std::to_string(i));
        // Missing, empty, malformed and short values leave the default light.
        if (!bytes || bytes->size() < sizeof(TGLLight))
            continue;
        Lights[i] = decodeLight(bytes->data(), Lights[i]);
    }
}

void TGLLighter::SaveKeys(platform::IniFile& ini)
{
    ini.WriteInteger(kClassName, kLightNumKey, static_cast<int32_t>(Lights.size()) - 1);
    for (size_t i = 0; i < Lights.size(); ++i)
        ini.WriteBinary(kClassName, kLightKeyPrefix + std::to_string(i), &Lights[i], sizeof(TGLLight));
}

void TGLLighter::CleanupHook() { TGLLights().swap(Lights); }

void OpglLightInitialization()
{
    LightKindNames = {"Direct Light", "Omit Light", "Spot Light", ""};
    LightPropertyNames = {"Light Ambient",           "Light Diffuse",        "Light Specular",
                          "Light Position",          "Light Direction",      "Light Exponent(FallOff)",
                          "Light CutOff",            "Light Const Attenuation", "Light Linear Attenuation",
                          "Light Quaratic Attenuation"};
    TGLLighter::Create();
}

void OpglLightFinalization()
{
    // The tables go first: releasing the instance may throw when the settings
    // cannot be written.
    std::vector<std::string>().swap(LightKindNames);
    std::vector<std::string>().swap(LightPropertyNames);
    if (TGLLighter* lighter = TGLLighter::Instance())
        lighter->Free();
}
