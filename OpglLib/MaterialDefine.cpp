#include "MaterialDefine.h"

std::array<std::string, kMaterialCount> MaterialNames;
std::array<TGLMaterial, kMaterialCount> MaterialTable;

namespace {

struct MaterialRow {
    const char* name;
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float shininess;
};

// Colours as R, G, B, A; each literal is the shortest decimal of the stored float.
constexpr MaterialRow kMaterialRows[kMaterialCount] = {
    {"Brass", {0.329412f, 0.223529f, 0.027451f, 0.5f}, {0.780392f, 0.568627f, 0.113725f, 0.5f},
     {0.992157f, 0.941176f, 0.807843f, 0.5f}, 0.278974f},
    {"Bronze", {0.2125f, 0.1275f, 0.054f, 0.5f}, {0.714f, 0.4284f, 0.18144f, 0.5f},
     {0.393548f, 0.271906f, 0.166721f, 0.5f}, 0.256f},
    {"Polished_Bronze", {0.25f, 0.148f, 0.06475f, 0.5f}, {0.4f, 0.2368f, 0.1036f, 0.5f},
     {0.774597f, 0.458561f, 0.200621f, 0.5f}, 0.768f},
    {"Chrome", {0.25f, 0.25f, 0.25f, 0.5f}, {0.4f, 0.4f, 0.4f, 0.5f}, {0.774597f, 0.774597f, 0.774597f, 0.5f},
     0.768f},
    {"Copper", {0.19125f, 0.0735f, 0.0225f, 0.5f}, {0.7038f, 0.27048f, 0.0828f, 0.5f},
     {0.256777f, 0.137622f, 0.086014f, 0.5f}, 0.128f},
    {"Polished_Copper", {0.2295f, 0.08825f, 0.0275f, 0.5f}, {0.5508f, 0.2118f, 0.066f, 0.5f},
     {0.580594f, 0.223257f, 0.0695701f, 0.5f}, 0.512f},
    {"Gold", {0.24725f, 0.1995f, 0.0745f, 0.5f}, {0.75164f, 0.60648f, 0.22648f, 0.5f},
     {0.628281f, 0.555802f, 0.366065f, 0.5f}, 0.512f},
    {"Polished_Gold", {0.24725f, 0.2245f, 0.0645f, 0.5f}, {0.34615f, 0.3143f, 0.0903f, 0.5f},
     {0.797357f, 0.723991f, 0.208006f, 0.5f}, 0.832f},
    {"Pewter", {0.105882f, 0.058824f, 0.113725f, 0.5f}, {0.427451f, 0.470588f, 0.541176f, 0.5f},
     {0.333333f, 0.333333f, 0.521569f, 0.5f}, 0.0984615f},
    {"Silver", {0.19225f, 0.19225f, 0.19225f, 0.5f}, {0.50754f, 0.50754f, 0.50754f, 0.5f},
     {0.508273f, 0.508273f, 0.508273f, 0.5f}, 0.512f},
    {"Polished_Silver", {0.23125f, 0.23125f, 0.23125f, 0.5f}, {0.2775f, 0.2775f, 0.2775f, 0.5f},
     {0.773911f, 0.773911f, 0.773911f, 0.5f}, 0.896f},
    {"Emerald", {0.0215f, 0.1745f, 0.0215f, 0.55f}, {0.07568f, 0.61424f, 0.07568f, 0.55f},
     {0.633f, 0.727811f, 0.633f, 0.55f}, 0.768f},
    {"Jade", {0.135f, 0.2225f, 0.1575f, 0.95f}, {0.54f, 0.89f, 0.63f, 0.95f},
     {0.316228f, 0.316228f, 0.316228f, 0.95f}, 0.128f},
    {"Obsidian", {0.05375f, 0.05f, 0.06625f, 0.82f}, {0.18275f, 0.17f, 0.22525f, 0.82f},
     {0.332741f, 0.328634f, 0.346435f, 0.82f}, 0.384f},
    {"Pearl", {0.25f, 0.20725f, 0.20725f, 0.922f}, {1.0f, 0.829f, 0.829f, 0.922f},
     {0.296648f, 0.296648f, 0.296648f, 0.922f}, 0.11264f},
    {"Ruby", {0.1745f, 0.01175f, 0.01175f, 0.55f}, {0.61424f, 0.04136f, 0.04136f, 0.55f},
     {0.727811f, 0.626959f, 0.626959f, 0.55f}, 0.768f},
    {"Turquoise", {0.1f, 0.18725f, 0.1745f, 0.8f}, {0.396f, 0.74151f, 0.69102f, 0.8f},
     {0.297254f, 0.30829f, 0.306678f, 0.8f}, 0.128f},
    {"Black_Plastic", {0.0f, 0.0f, 0.0f, 0.5f}, {0.01f, 0.01f, 0.01f, 0.5f}, {0.5f, 0.5f, 0.5f, 0.5f}, 0.32f},
    {"Black_Rubber", {0.02f, 0.02f, 0.02f, 0.5f}, {0.01f, 0.01f, 0.01f, 0.5f}, {0.4f, 0.4f, 0.4f, 0.5f}, 0.1f},
    {"Yellow Rubber", {0.05f, 0.05f, 0.0f, 0.5f}, {0.5f, 0.5f, 0.4f, 0.5f}, {0.7f, 0.7f, 0.04f, 0.5f}, 0.078125f},
    {"Red Plastic", {0.0f, 0.0f, 0.0f, 0.5f}, {0.5f, 0.0f, 0.0f, 0.5f}, {0.7f, 0.6f, 0.6f, 0.5f}, 0.25f},
    {"cyan rubber", {0.0f, 0.05f, 0.05f, 0.5f}, {0.4f, 0.5f, 0.5f, 0.5f}, {0.04f, 0.7f, 0.7f, 0.5f}, 0.078125f},
};

} // namespace

void MaterialDefineInitialization()
{
    // Create/Free is a no-op pair when the materialer's unit has started first,
    // as it does in the program.
    TGLMaterialer* materialer = TGLMaterialer::Create();
    for (size_t i = 0; i < kMaterialCount; ++i) {
        const MaterialRow& row = kMaterialRows[i];
        MaterialNames[i] = row.name;
        TGLMaterial material;
        materialer->FillMaterial(MaterialNames[i], material, row.ambient[0], row.ambient[1], row.ambient[2],
                                 row.ambient[3], row.diffuse[0], row.diffuse[1], row.diffuse[2], row.diffuse[3],
                                 row.specular[0], row.specular[1], row.specular[2], row.specular[3], row.shininess);
        MaterialTable[i] = material;
    }
    materialer->Free();
}

void MaterialDefineFinalization()
{
    for (std::string& name : MaterialNames)
        std::string().swap(name);
    for (TGLMaterial& material : MaterialTable)
        std::string().swap(material.Name);
}
