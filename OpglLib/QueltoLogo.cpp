#include "QueltoLogo.h"

#include "MaterialDefine.h"

std::vector<std::string> LogoStyleNames;

namespace {

constexpr float kDefaultLogoWidth = 20.0f;
constexpr float kDefaultScale = 1.0f;
constexpr float kDefaultShininess = 30.0f;
constexpr bool kDefaultMixLogoColor = false;
constexpr float kDefaultMixRate = 0.3f;
constexpr size_t kDefaultMaterial = 6; // "Gold"

constexpr const char* kLogoWidthKey = "FLogoWidth";
constexpr const char* kScaleKey = "FScale";
constexpr const char* kMixLogoColorKey = "FMixLogoColor";
constexpr const char* kMixRateKey = "FMixRate";
constexpr const char* kAmbientKey = "FClrAmbient";
constexpr const char* kDiffuseKey = "FClrDiffuse";
constexpr const char* kSpecularKey = "FClrSpecular";
constexpr const char* kEmissionKey = "FClrEmission";
constexpr const char* kShininessKey = "FShinese";

} // namespace

void TGLQueltoLogo::InitDefaults()
{
    FLogoWidth = kDefaultLogoWidth;
    FReserved1 = 0;
    FReserved2 = 0;
    FScale = kDefaultScale;
    LogoStyle = 0;
    LogoMaterial = MaterialTable[kDefaultMaterial];
    FShinese = kDefaultShininess;
    FClrEmission = {0.1f, 0.1f, 0.1f, 0.5f};
    FClrAmbient = {0.02f, 0.02f, 0.02f, 0.5f};
    FClrSpecular = {0.7f, 0.7f, 0.7f, 0.5f};
    FClrDiffuse = {0.7f, 0.7f, 0.7f, 0.5f};
    LogoSwitch = true;
    FMixLogoColor = kDefaultMixLogoColor;
    FMixRate = kDefaultMixRate;
    FReserved3 = 2;
    FReserved4 = 1;
}

void TGLQueltoLogo::LoadKeys(const platform::IniFile& ini)
{
    FLogoWidth = static_cast<float>(ini.ReadFloat(kClassName, kLogoWidthKey, kDefaultLogoWidth));
    FScale = static_cast<float>(ini.ReadFloat(kClassName, kScaleKey, kDefaultScale));
    FMixLogoColor = ini.ReadBool(kClassName, kMixLogoColorKey, kDefaultMixLogoColor);
    FMixRate = static_cast<float>(ini.ReadFloat(kClassName, kMixRateKey, kDefaultMixRate));
    // A colour value that is missing, empty, malformed or shorter than a
    // colour leaves the start value.
    platform::ReadBinaryRecord(ini, kClassName, kAmbientKey, &FClrAmbient, sizeof FClrAmbient);
    platform::ReadBinaryRecord(ini, kClassName, kDiffuseKey, &FClrDiffuse, sizeof FClrDiffuse);
    platform::ReadBinaryRecord(ini, kClassName, kSpecularKey, &FClrSpecular, sizeof FClrSpecular);
    platform::ReadBinaryRecord(ini, kClassName, kEmissionKey, &FClrEmission, sizeof FClrEmission);
    FShinese = static_cast<float>(ini.ReadFloat(kClassName, kShininessKey, FShinese));
}

void TGLQueltoLogo::SaveKeys(platform::IniFile& ini)
{
    ini.WriteFloat(kClassName, kLogoWidthKey, FLogoWidth);
    ini.WriteFloat(kClassName, kScaleKey, FScale);
    ini.WriteBool(kClassName, kMixLogoColorKey, FMixLogoColor);
    ini.WriteFloat(kClassName, kMixRateKey, FMixRate);
    ini.WriteBinary(kClassName, kAmbientKey, &FClrAmbient, sizeof FClrAmbient);
    ini.WriteBinary(kClassName, kDiffuseKey, &FClrDiffuse, sizeof FClrDiffuse);
    ini.WriteBinary(kClassName, kSpecularKey, &FClrSpecular, sizeof FClrSpecular);
    ini.WriteBinary(kClassName, kEmissionKey, &FClrEmission, sizeof FClrEmission);
    ini.WriteFloat(kClassName, kShininessKey, FShinese);
}

void QueltoLogoInitialization()
{
    LogoStyleNames = {"User Define", "Normal", "Phone", "Metal", "Plastic", "Others"};
    TGLQueltoLogo::Create();
}

void QueltoLogoFinalization()
{
    // The names go first: releasing the instance may throw when the settings
    // cannot be written.
    std::vector<std::string>().swap(LogoStyleNames);
    if (TGLQueltoLogo* logo = TGLQueltoLogo::Instance())
        logo->Free();
}
