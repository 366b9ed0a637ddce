#pragma once
// Named material records and the singleton that fills them.
#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"

#include <cstdint>
#include <string>

// A named material; copied by value, name included.
struct TGLMaterial {
    std::string Name;
    float Reserved1 = 0.0f; // 1.0 once filled; nothing reads it
    float Shininess = 0.0f; // 0 ... 1 as stored
    uint32_t Reserved2 = 0; // nothing reads it
    TGLColor4f Ambient{};
    TGLColor4f Diffuse{};
    TGLColor4f Specular{};
    TGLColor4f Emission{};
};

class TGLMaterialer : public TComponent<TGLMaterialer> {
public:
    static constexpr const char* kClassName = "TGLMaterialer";
    static constexpr const char* kUnitName = "OpglMaterial";
    static constexpr bool kRegistersUnit = false;

    // Sets the name, colours and shininess of material, Reserved1 to 1 and the
    // emission to (0.1, 0.1, 0.1, 1); Reserved2 keeps what the record held.
    void FillMaterial(const std::string& name, TGLMaterial& material,
                      float ambientR, float ambientG, float ambientB, float ambientA,
                      float diffuseR, float diffuseG, float diffuseB, float diffuseA,
                      float specularR, float specularG, float specularB, float specularA,
                      float shininess) const;

protected:
    void SettingsLoad() override;
};

void OpglMaterialInitialization();
void OpglMaterialFinalization();
