// Skin files and surface names by the game's reading.
#include "GameSkin.h"

#include "GameTokens.h"
#include "platform/files/FileLayer.h"

namespace {

// ASCII lower case, byte by byte, as the game lowers names.
std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace

GameSkin ReadGameSkin(std::string_view text)
{
    GameSkin skin;
    GameTokens tokens(text, GameTokens::Words::EndAtBlankOrComma);
    for (;;) {
        const std::string surface = tokens.Next();
        if (surface.empty())
            break;
        const int surfaceLine = tokens.Line();
        if (tokens.NextByteIs(','))
            tokens.SkipByte();
        // Only this exact spelling marks a tag, wherever it stands.
        if (surface.find("tag_") != std::string::npos) {
            skin.tagLines.push_back(surfaceLine);
            continue;
        }
        std::string shader = tokens.Next();
        if (skin.entries.size() == kMostSkinSurfaces) {
            ++skin.ignored;
            continue;
        }
        skin.entries.push_back({lowered(surface).substr(0, kMostGameNameBytes), std::move(shader), surfaceLine,
                                tokens.Line()});
    }
    return skin;
}

GameSkin ReadGameSkinFile(const std::string& path)
{
    const std::vector<uint8_t> bytes = platform::files::ReadFileBytes(path);
    return ReadGameSkin({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

const GameSkinEntry* FindSkinEntry(const GameSkin& skin, std::string_view surface)
{
    for (const GameSkinEntry& entry : skin.entries) {
        if (entry.surface == surface)
            return &entry;
    }
    return nullptr;
}

std::string GameSurfaceName(std::string_view md3Name)
{
    std::string name = lowered(md3Name);
    if (name.size() > 2 && name[name.size() - 2] == '_')
        name.resize(name.size() - 2);
    return name;
}
