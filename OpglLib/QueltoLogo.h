#pragma once
// Appearance parameters of a logo: width and scale, colour mixing, four
// material colours and a shininess, a material from the table and a few
// switches. The viewer sets them; nothing here draws.
#include "OpglMaterial.h"

#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"

#include <cstdint>
#include <string>
#include <vector>

// Display names of the logo styles (six entries). Filled at unit start,
// emptied at unit end.
extern std::vector<std::string> LogoStyleNames;

class TGLQueltoLogo : public TComponent<TGLQueltoLogo> {
public:
    static constexpr const char* kClassName = "TGLQueltoLogo";
    static constexpr const char* kUnitName = "QueltoLogo";
    static constexpr bool kRegistersUnit = false;

    float FLogoWidth = 0.0f;
    int32_t FReserved1 = 0; // nothing reads it
    int32_t FReserved2 = 0; // nothing reads it
    float FScale = 0.0f;
    uint8_t LogoStyle = 0;
    TGLMaterial LogoMaterial;
    float FShinese = 0.0f;
    TGLColor4f FClrEmission{};
    TGLColor4f FClrAmbient{};
    TGLColor4f FClrSpecular{};
    TGLColor4f FClrDiffuse{};
    bool LogoSwitch = false;
    bool FMixLogoColor = false;
    float FMixRate = 0.0f;
    uint8_t FReserved3 = 0; // nothing reads it
    uint8_t FReserved4 = 0; // nothing reads it

protected:
    void InitDefaults() override;
    void LoadKeys(const platform::IniFile& ini) override;
    void SaveKeys(platform::IniFile& ini) override;
};

void QueltoLogoInitialization();
void QueltoLogoFinalization();
