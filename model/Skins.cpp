// Skin files: lines "surface name,folders/image.ext" that bind one image to
// every mesh of a part with that name.
#include "Model.h"
#include "platform/system/System.h"

#include "platform/files/FileLayer.h"
#include "textures/Textures.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

// Loads folder + imageName into every mesh named surfaceName (letter case
// ignored). A mesh counts as textured even when its image fails to load: it
// is then drawn with texture 0 bound, and the loader has told the user.
void bindImage(TMD3Model& part, const std::string& surfaceName, const std::string& folder,
               const std::string& imageName)
{
    const std::string wanted = platform::UpperCase(surfaceName);
    for (TMesh& mesh : part.Meshes) {
        if (platform::UpperCase(MD3Name(mesh.Header.Name)) == wanted) {
            TextureFromFile(folder + imageName, mesh.Texture, false);
            mesh.HasTexture = true;
        }
    }
}

// The binding of one skin line, or nothing for a line that binds no image.
std::optional<SkinBinding> parseSkinLine(const std::string& line)
{
    if (line.size() < 2)
        return std::nullopt;
    // A comma needs at least two characters after it. A line without a comma
    // passes with an empty surface name and the whole line as the path.
    const size_t comma = line.find(',');
    const size_t pathStart = comma == std::string::npos ? 0 : comma + 1;
    if (comma != std::string::npos && comma + 2 >= line.size())
        return std::nullopt;
    std::string surfaceName = comma == std::string::npos ? std::string() : line.substr(0, comma);
    // Tags are attachment points, not surfaces; only the lower-case prefix
    // marks them.
    if (surfaceName.compare(0, 4, "tag_") == 0)
        return std::nullopt;
    // Only the image file name counts; the image lies in the model's folder.
    const std::string path = line.substr(pathStart);
    const size_t slash = path.rfind('/');
    std::string imageName = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    const std::string upperImage = platform::UpperCase(imageName);
    if (upperImage.find(".JPG") == std::string::npos && upperImage.find(".TGA") == std::string::npos &&
        upperImage.find(".BMP") == std::string::npos)
        return std::nullopt;
    return SkinBinding{std::move(surfaceName), std::move(imageName)};
}

} // namespace

std::vector<SkinBinding> ParseSkinLines(const std::vector<std::string>& lines)
{
    std::vector<SkinBinding> bindings;
    for (const std::string& line : lines) {
        auto binding = parseSkinLine(line);
        if (binding)
            bindings.push_back(std::move(*binding));
    }
    return bindings;
}

void LoadSkin(TMD3Model& part, const std::string& folder, const std::string& skinFileName)
{
    const std::string skinPath = folder + skinFileName;
    if (!platform::files::FileExists(skinPath))
        return;
    for (const SkinBinding& binding : ParseSkinLines(platform::files::ReadTextLines(skinPath)))
        bindImage(part, binding.surfaceName, folder, binding.imageName);
}
