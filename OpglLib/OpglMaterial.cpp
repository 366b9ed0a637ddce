#include "OpglMaterial.h"

namespace {
constexpr TGLColor4f kMaterialEmission{0.1f, 0.1f, 0.1f, 1.0f};
}

void TGLMaterialer::FillMaterial(const std::string& name, TGLMaterial& material, float ambientR, float ambientG,
                                 float ambientB, float ambientA, float diffuseR, float diffuseG, float diffuseB,
                                 float diffuseA, float specularR, float specularG, float specularB, float specularA,
                                 float shininess) const
{
    material.Name = name;
    material.Reserved1 = 1.0f;
    material.Shininess = shininess;
    material.Ambient = {ambientR, ambientG, ambientB, ambientA};
    material.Diffuse = {diffuseR, diffuseG, diffuseB, diffuseA};
    material.Specular = {specularR, specularG, specularB, specularA};
    material.Emission = kMaterialEmission;
}

// The materialer keeps nothing between runs: its common key is written at
// the end but deliberately never read back, so it is always saved as 0.
void TGLMaterialer::SettingsLoad() {}

void OpglMaterialInitialization() { TGLMaterialer::Create(); }

void OpglMaterialFinalization()
{
    if (TGLMaterialer* materialer = TGLMaterialer::Instance())
        materialer->Free();
}
