#include "GltfMaterials.h"

#include "GltfConvert.h"

#include "game/GameData.h"
#include "platform/files/FileLayer.h"
#include "platform/images/PngFile.h"
#include "platform/system/System.h"

#include <optional>

namespace gltf {

namespace {

// Half a step of an 8-bit alpha: a cutoff that passes what the game's
// "greater than" passes.
constexpr double kHalfAlphaStep = 0.5 / 255.0;
// zlib's fastest level: the images of a character compress to within a few
// percent of the default level's bytes in a fraction of its time.
constexpr int kImageZlibLevel = 1;

// The pixels of image (a path of the game data, "" for the game's default
// image), bottom row first; nothing when it cannot be read.
std::optional<DecodedImage> decodedImage(const std::string& image)
{
    DecodedImage decoded;
    if (image.empty()) {
        decoded.width = decoded.height = kDefaultImageSide;
        decoded.format = GL_RGBA;
        decoded.pixels = DefaultImagePixels();
        return decoded;
    }
    const std::optional<std::string> path = FindGameImage(image);
    if (!path)
        return std::nullopt;
    decoded = ReadGameImageFile(*path).image;
    if (decoded.fault != ImageFault::None || decoded.pixels.empty())
        return std::nullopt;
    return decoded;
}

// The bytes of a PNG of image, alpha inverted when asked; empty when it
// cannot be read.
std::vector<uint8_t> pngOf(const std::string& image, bool invertAlpha)
{
    const std::optional<DecodedImage> decoded = decodedImage(image);
    if (!decoded)
        return {};
    const bool alpha = decoded->format == GL_RGBA || invertAlpha;
    const size_t channels = decoded->format == GL_RGBA ? 4 : 3, out = alpha ? 4 : 3;
    const size_t width = static_cast<size_t>(decoded->width), height = static_cast<size_t>(decoded->height);
    std::vector<uint8_t> rows(width * height * out);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            // Decoded images come bottom row first; PNG rows top first.
            const uint8_t* from = decoded->pixels.data() + ((height - 1 - y) * width + x) * channels;
            uint8_t* to = rows.data() + (y * width + x) * out;
            std::copy_n(from, 3, to);
            if (alpha) {
                const uint8_t a = channels == 4 ? from[3] : 255;
                to[3] = invertAlpha ? static_cast<uint8_t>(255 - a) : a;
            }
        }
    platform::PngLayout layout;
    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);
    layout.colorType = alpha ? platform::PngColorType::Rgba : platform::PngColorType::Rgb;
    layout.zlibLevel = kImageZlibLevel;
    return platform::EncodePng(layout, rows);
}

// The stage a material is made from: the first with an image file, else the
// first; null for a shader without stages.
const GameStage* baseStage(const GameShader& shader)
{
    for (const GameStage& stage : shader.stages)
        if (!stage.images.empty() && stage.images.front().kind == StageImageKind::File)
            return &stage;
    return shader.stages.empty() ? nullptr : &shader.stages.front();
}

} // namespace

GltfMaterials::GltfMaterials(tinygltf::Model& model, GltfBuffers& buffers, const ShaderTable* shaders)
    : model_(model), buffers_(buffers), shaders_(shaders)
{
}

void GltfMaterials::carryDefinition(tinygltf::Material& material, const GameShader& shader, const GameStage* base)
{
    const ShaderDefinition* definition = shaders_ && shader.fromScript ? shaders_->Find(shader.name) : nullptr;
    const GameStage* baseImage = base && !base->images.empty() ? base : nullptr;
    tinygltf::Value carried = carriedDefinition(definition, shader, baseImage);
    if (carried.IsObject())
        material.extras = std::move(carried);
}

tinygltf::Value GltfMaterials::DefinitionOf(const std::string& name)
{
    const ShaderDefinition* definition = shaders_ ? shaders_->Find(name) : nullptr;
    if (!definition)
        return {};
    const GameShader shader = CompileShader(*definition, [](const std::string&, bool) { return true; });
    return carriedDefinition(definition, shader, nullptr);
}

// A definition as its script writes it, with the images of its stages
// (but the first of base, which the material shows) in the file.
tinygltf::Value GltfMaterials::carriedDefinition(const ShaderDefinition* definition, const GameShader& shader,
                                                 const GameStage* base)
{
    if (!definition)
        return {};
    auto [script, added] = scripts_.emplace(definition->fileName, "");
    if (added) {
        try {
            const std::vector<uint8_t> bytes = platform::files::ReadFileBytes(definition->fileName);
            script->second.assign(bytes.begin(), bytes.end());
        } catch (const std::exception&) {
            // A script that cannot be read again is not carried.
        }
    }
    const std::string_view text = DefinitionText(*definition, script->second);
    if (text.empty())
        return {};
    using tinygltf::Value;
    Value::Object images;
    for (const GameStage& stage : shader.stages)
        for (const ShaderStageImage& image : stage.images) {
            if (image.kind != StageImageKind::File || (&stage == base && &image == &stage.images.front()))
                continue;
            const int index = addImage(image.name, false);
            if (index >= 0)
                images.emplace(Utf8Name(image.name), Value(index));
        }
    Value::Object carried{{"shader", Value(Utf8Name(std::string(text)))}};
    if (!images.empty())
        carried.emplace("stageImages", Value(std::move(images)));
    return Value(std::move(carried));
}

int GltfMaterials::MaterialOf(const BoundShader* bound)
{
    if (const auto found = materials_.find(bound); found != materials_.end())
        return found->second;
    tinygltf::Material material;
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = 1.0;
    const GameShader* shader = bound ? &bound->shader : nullptr;
    material.name = shader && !shader->name.empty() ? Utf8Name(shader->name) : "(no shader)";
    const GameStage* base = shader ? baseStage(*shader) : nullptr;
    if (shader)
        material.doubleSided = shader->cull == CullFace::None;
    if (shader)
        carryDefinition(material, *shader, base);
    if (base) {
        takeStage(material, *base);
    } else {
        // Nothing is drawn of a surface without stages.
        material.alphaMode = "BLEND";
        material.pbrMetallicRoughness.baseColorFactor = {1, 1, 1, 0};
    }
    model_.materials.push_back(material);
    const int index = static_cast<int>(model_.materials.size()) - 1;
    materials_[bound] = index;
    return index;
}

void GltfMaterials::takeStage(tinygltf::Material& material, const GameStage& base)
{
    const bool inverted = base.alphaFunc == GL_LESS;
    if (base.alphaFunc != GL_ALWAYS) {
        material.alphaMode = "MASK";
        material.alphaCutoff = base.alphaFunc == GL_GEQUAL ? base.alphaRef
                               : inverted                  ? 1.0 - base.alphaRef + kHalfAlphaStep
                                                           : base.alphaRef + kHalfAlphaStep;
    } else if (base.blend) {
        material.alphaMode = "BLEND";
    }
    if (base.rgbGen == RgbGen::Const)
        for (size_t c = 0; c < 3; ++c)
            material.pbrMetallicRoughness.baseColorFactor[c] = base.constColor[c] / 255.0;
    if (!base.images.empty() && base.images.front().kind == StageImageKind::File) {
        const int texture = addTexture(base.images.front().name, base.clamp, inverted);
        if (texture >= 0)
            material.pbrMetallicRoughness.baseColorTexture.index = texture;
    }
}

int GltfMaterials::addTexture(const std::string& image, bool clamp, bool invertAlpha)
{
    const std::string picture = platform::LowerCase(image) + (invertAlpha ? "|inverted" : "");
    const std::string key = picture + (clamp ? "|clamp" : "");
    if (const auto found = textures_.find(key); found != textures_.end())
        return found->second;
    // An image repeated and clamped is written once.
    const int source = addImage(image, invertAlpha);
    int texture = -1;
    if (source >= 0) {
        tinygltf::Texture made;
        made.source = source;
        made.sampler = addSampler(clamp);
        model_.textures.push_back(made);
        texture = static_cast<int>(model_.textures.size()) - 1;
    }
    textures_[key] = texture;
    return texture;
}

int GltfMaterials::addImage(const std::string& image, bool invertAlpha)
{
    const std::string picture = platform::LowerCase(image) + (invertAlpha ? "|inverted" : "");
    auto [source, added] = images_.emplace(picture, -1);
    if (added) {
        const std::vector<uint8_t> png = pngOf(image, invertAlpha);
        if (!png.empty()) {
            tinygltf::Image made;
            made.name = image.empty() ? "default" : Utf8Name(image);
            made.mimeType = "image/png";
            made.bufferView = buffers_.AddView(png.data(), png.size(), 0, 0);
            model_.images.push_back(made);
            source->second = static_cast<int>(model_.images.size()) - 1;
        }
    }
    return source->second;
}

int GltfMaterials::addSampler(bool clamp)
{
    int& sampler = clamp ? clampSampler_ : repeatSampler_;
    if (sampler < 0) {
        tinygltf::Sampler made;
        made.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
        made.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
        made.wrapS = made.wrapT = clamp ? TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE : TINYGLTF_TEXTURE_WRAP_REPEAT;
        model_.samplers.push_back(made);
        sampler = static_cast<int>(model_.samplers.size()) - 1;
    }
    return sampler;
}

} // namespace gltf
