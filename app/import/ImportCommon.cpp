// What both readers of a glTF file share: part names, paths moved to the
// imported character's folder, images as stored, and skins from variants.
#include "ImportLayouts.h"

#include "game/GameSkin.h"
#include "platform/images/PngFile.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cctype>
#include <tuple>

namespace gltfin {

const char* PartFileName(ImportedPart part)
{
    constexpr const char* kNames[kPartCount] = {"lower", "upper", "head"};
    return kNames[part];
}

std::string MovedText(const std::string& text, const std::string& from, const std::string& name)
{
    const std::string folder = platform::LowerCase("models/players/" + from + "/");
    const std::string lower = platform::LowerCase(text);
    std::string out;
    size_t at = 0;
    for (size_t found; (found = lower.find(folder, at)) != std::string::npos; at = found + folder.size())
        out += text.substr(at, found - at) + "models/players/" + name + "/";
    return out + text.substr(at);
}

std::string MovedPath(const std::string& path, const std::string& from, const std::string& name)
{
    const std::string folder = "models/players/" + from + "/";
    if (path.size() >= folder.size() && platform::SameText(path.substr(0, folder.size()), folder))
        return "models/players/" + name + "/" + path.substr(folder.size());
    return path;
}

std::pair<std::vector<uint8_t>, std::string> ImageBytes(const GltfScene& scene, int image)
{
    const tinygltf::Model& model = scene.Model();
    if (image < 0 || static_cast<size_t>(image) >= model.images.size())
        return {};
    // The loader keeps each image's bytes as stored (see GltfImport.cpp).
    const tinygltf::Image& stored = model.images[static_cast<size_t>(image)];
    const std::vector<uint8_t> bytes(stored.image.begin(), stored.image.end());
    static const uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
    if (bytes.size() > 4 && std::equal(std::begin(kPng), std::end(kPng), bytes.begin()))
        return {bytes, ".png"};
    if (bytes.size() > 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return {bytes, ".jpg"};
    return {};
}

std::vector<uint8_t> TargaOfPng(const std::vector<uint8_t>& png)
{
    constexpr int64_t kLargestIcon = 4096;
    platform::PngPicture picture;
    const auto accept = [](int64_t w, int64_t h) { return w > 0 && h > 0 && w <= kLargestIcon && h <= kLargestIcon; };
    if (platform::DecodePngRgba(png, accept, picture) != platform::PngResult::Decoded)
        return {};
    const auto w = static_cast<size_t>(picture.width), h = static_cast<size_t>(picture.height);
    // Uncompressed true colour, 32 bits with 8 of alpha, bottom row first.
    std::vector<uint8_t> tga{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(w & 0xFF),
                             static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(h & 0xFF), static_cast<uint8_t>(h >> 8),
                             32, 8};
    for (size_t y = h; y-- > 0;)
        for (size_t x = 0; x < w; ++x) {
            const uint8_t* p = picture.rgba.data() + (y * w + x) * 4;
            tga.insert(tga.end(), {p[2], p[1], p[0], p[3]});
        }
    return tga;
}

std::string WithExtension(const std::string& path, const std::string& ext)
{
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + ext;
}

std::vector<ImportedCharacter::Skin> SkinsOf(const tinygltf::Model& model, const std::vector<SurfaceSource>& surfaces,
                                             const std::map<int, std::string>& shaderOfMaterial,
                                             const std::array<TMD3Model, kPartCount>& parts)
{
    constexpr const char* kVariants = "KHR_materials_variants";
    std::vector<std::string> names;
    std::vector<std::pair<int, std::string>> icons;
    std::vector<std::map<std::string, std::string>> files;
    if (const auto found = model.extensions.find(kVariants); found != model.extensions.end()) {
        const tinygltf::Value& variants = found->second.Get("variants");
        for (size_t v = 0; variants.IsArray() && v < variants.ArrayLen(); ++v) {
            const tinygltf::Value& variant = variants.Get(static_cast<int>(v));
            const tinygltf::Value& name = variant.Get("name");
            names.push_back(name.IsString() ? name.Get<std::string>() : "variant" + std::to_string(v));
            const tinygltf::Value& icon = variant.Get("extras");
            icons.emplace_back(icon.Get("icon").IsInt() ? icon.Get("icon").Get<int>() : -1,
                               icon.Get("iconPath").IsString() ? icon.Get("iconPath").Get<std::string>() : "");
            auto& carried = files.emplace_back();
            const tinygltf::Value& texts = icon.Get("files");
            if (texts.IsObject())
                for (const std::string& part : texts.Keys())
                    if (texts.Get(part).IsString())
                        carried[part] = texts.Get(part).Get<std::string>();
        }
    }
    if (names.empty())
        names.push_back("default");
    icons.resize(names.size(), {-1, ""});
    files.resize(names.size());
    std::vector<ImportedCharacter::Skin> skins(names.size());
    for (size_t v = 0; v < names.size(); ++v) {
        // A skin's name goes into file names: only letters, digits, '_' and '-'.
        for (const char c : names[v])
            skins[v].name += std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' ? c : '_';
        std::tie(skins[v].iconImage, skins[v].iconPath) = icons[v];
        skins[v].files = files[v];
        for (const SurfaceSource& s : surfaces) {
            int material = s.primitive->material;
            if (const auto found = s.primitive->extensions.find(kVariants); found != s.primitive->extensions.end()) {
                const tinygltf::Value& mappings = found->second.Get("mappings");
                for (size_t m = 0; mappings.IsArray() && m < mappings.ArrayLen(); ++m) {
                    const tinygltf::Value& mapping = mappings.Get(static_cast<int>(m));
                    const tinygltf::Value& listed = mapping.Get("variants");
                    for (size_t k = 0; listed.IsArray() && k < listed.ArrayLen(); ++k)
                        if (listed.Get(static_cast<int>(k)).GetNumberAsInt() == static_cast<int>(v))
                            material = static_cast<int>(mapping.Get("material").GetNumberAsInt());
                }
            }
            // Skins name surfaces as the game stores their names; a surface
            // split in two shares its line.
            const auto shader = shaderOfMaterial.find(material);
            auto& lines = skins[v].lines[s.part];
            const std::string surface = GameSurfaceName(s.surface);
            if (shader != shaderOfMaterial.end() &&
                std::none_of(lines.begin(), lines.end(), [&](const auto& line) { return line.first == surface; }))
                lines.emplace_back(surface, shader->second);
        }
        // The tags too, as skin files list them (the game passes them by).
        for (int part = 0; part < kPartCount; ++part) {
            const TMD3Model& md3 = parts[static_cast<size_t>(part)];
            for (size_t t = 0; t < md3.Links.size() && t < md3.Tags.size(); ++t)
                skins[v].lines[static_cast<size_t>(part)].emplace_back(MD3Name(md3.Tags[t].Name), "");
        }
    }
    return skins;
}

} // namespace gltfin
