#pragma once
// The scene's eight OpenGL lights as a settings-backed singleton: a fixed
// default set built when the object is made, per-light records sent to the GL,
// switches for single lights and for lighting as a whole, placement on the
// corners of a cube and per-frame positioning with a glowing marker sphere.
#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"

#include <GL/gl.h>

#include <cstdint>
#include <string>
#include <vector>

enum class TGLLightKind : uint8_t { Direct = 0, Omni = 1, Spot = 2 };

// One light. The byte image of this record is also its stored settings value
// ("FLights%d", 188 hexadecimal digits), so the layout is a storage format:
//
//   offset  size  field
//        0     4  LightId     GL_LIGHT0 + index; stored, never used to address the GL
//        4     1  LightOn
//        5     1  LightKind   0 Direct, 1 Omni, 2 Spot
//        6    16  Ambient
//       22    16  Diffuse
//       38    16  Specular
//       54     4  CutOff      spot cut-off in degrees
//       58     4  Exponent    spot exponent
//       62    16  Position
//       78    16  Direction   spot direction; stored and saved, never sent to the GL
#pragma pack(push, 1)
struct TGLLight {
    int32_t LightId;
    bool LightOn;
    TGLLightKind LightKind;
    TGLColor4f Ambient;
    TGLColor4f Diffuse;
    TGLColor4f Specular;
    float CutOff;
    float Exponent;
    TGLPoint4f Position;
    TGLPoint4f Direction;
};
#pragma pack(pop)
static_assert(sizeof(TGLLight) == 94);

using TGLLights = std::vector<TGLLight>;

// Display names of the light kinds (four entries, the last empty) and of the
// light properties (ten entries). Filled at unit start, emptied at unit end.
extern std::vector<std::string> LightKindNames;
extern std::vector<std::string> LightPropertyNames;

class TGLLighter : public TComponent<TGLLighter> {
public:
    static constexpr const char* kClassName = "TGLLighter";
    static constexpr const char* kUnitName = "OpglLight";
    static constexpr bool kRegistersUnit = true;

    TGLLights Lights;
    TGLColor4f ModelAmbient{0.2f, 0.2f, 0.2f, 1.0f};
    bool LocalViewer = false;
    bool TwoSide = false;

    // GL_MAX_LIGHTS of the current context, low byte; 0 when no context is current.
    uint8_t MaxLights() const;
    // GL_LIGHT0 + (index mod MaxLights), or 0 when MaxLights is 0.
    GLenum GLLightOf(int index) const;

    // Index operations fold the index modulo MaxLights and do nothing (getters
    // return their default) when MaxLights is 0 or the light does not exist.

    // Store the colour in the record and send it to the GL. Colours are taken
    // by value so that fields of the packed records can be passed directly.
    void SetLightAmbient(int index, TGLColor4f colour);
    void SetLightDiffuse(int index, TGLColor4f colour);
    void SetLightSpecular(int index, TGLColor4f colour);
    // Stores and sends the spot cut-off; a light that is not a spot gets 180.
    void SetLightCutOff(int index, float degrees);
    // Stores and sends the spot exponent.
    void SetLightExponent(int index, float exponent);
    // The record's position; (0, 0, 0, 1) when there is no such light.
    TGLPoint4f GetLightPosition(int index) const;
    // The record's diffuse colour; (0.2, 0.2, 0.2, 1) when there is no such light.
    TGLColor4f GetLightDiffuse(int index) const;

    // Disables GL lighting.
    void LightingOff();
    // Enables GL lighting and re-sends every light's colours and on state.
    void LightingOn();
    // Whether GL lighting is enabled.
    bool IsLightingOn() const;
    // Takes a copy of lights (an empty array changes nothing) and applies them.
    void AssignLights(const TGLLights& lights);
    // Sends colours, cut-off and exponent of every light and enables or
    // disables each by its on flag. Positions are sent by DrawLights only.
    void ApplyAllLights();
    // The GL's enable state of the light, also stored in its record.
    bool IsLightOn(int index);
    // Stores the on flag, re-sends the light's parameters and switches it.
    void SetLightOn(int index, bool on);

    // Builds the fixed default set of eight lights around centre, seeding the
    // shared generator with fixed values, and resets the light model.
    void MakeDefaultLights(TGLLights& lights, const TGLPoint4f& centre, float radius);
    // Moves the lights onto the corners of a cube around centre and draws new
    // cut-offs; nothing is sent to the GL.
    void PlaceLights(const TGLPoint4f& centre, float radius);
    // Positions every light that is on in the current model-view frame and,
    // if asked, draws a sphere of markerRadius in its diffuse colour there.
    void DrawLights(bool showMarkers, float markerRadius);
    // Switches the lights to a pseudo-random on/off pattern (at least one on).
    void RandomSwitchLights();

    // Store and send the light model's ambient colour, local viewer and two-side flags.
    void SetModelAmbient(const TGLColor4f& colour);
    void SetLocalViewer(bool local);
    void SetTwoSide(bool twoSide);

protected:
    void PreCreateHook() override;
    void LoadKeys(const platform::IniFile& ini) override;
    void SaveKeys(platform::IniFile& ini) override;
    void CleanupHook() override;

private:
    // The record an index names after folding, or nullptr.
    TGLLight* lightAt(int index);
    const TGLLight* lightAt(int index) const;
    // Enables or disables GL light i when the GL has it.
    void switchGLLight(size_t i, bool on) const;
    void switchRandomly(TGLLights& lights);
};

// The packed colour values of MakeDefaultLights: count entries spread over
// three channel steps, drawn from the shared generator seeded with 1000.
std::vector<TColorValue> MakeLightColors(int count);

void OpglLightInitialization();
void OpglLightFinalization();
