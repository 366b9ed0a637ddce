#include "CharacterMode.h"

#include "model/GameLight.h"
#include "platform/system/Dialogs.h"
#include "platform/system/System.h"

#include <algorithm>

namespace {

constexpr const char* kCaption = "Quillmo";

} // namespace

CharacterMode::CharacterMode(CharacterChoice choice) : choice_(std::move(choice)) { readShaders(); }

void CharacterMode::readShaders() { shaders_ = ReadShaderScripts(); }

std::string CharacterMode::Title() const { return CharacterTitle(choice_.name, choice_.skin); }

void CharacterMode::Open() { LoadCharacter(choice_, player_, weapon_, textures_); }

void CharacterMode::Close()
{
    textures_.Clear();
    player_ = Q3Player{};
    weapon_ = TMD3Model{};
}

void CharacterMode::Draw(float seconds) { DrawPlayer(player_, seconds); }

void CharacterMode::SetPose(uint32_t animation) { SetAnimation(player_, animation); }

SetChange CharacterMode::HandleKey(uint16_t key, platform::TShiftState shift)
{
    const int step = (shift & platform::ssShift) ? -1 : 1;
    if (key == 'N')
        return stepSkin(step);
    if (key == 'P')
        return stepCharacter(step);
    if (key == 'G') {
        UseSceneLight(CurrentSceneLight() == SceneLight::Game ? SceneLight::Viewer : SceneLight::Game);
        return SetChange::Redraw;
    }
    return SetChange::None;
}

SetChange CharacterMode::stepSkin(int step)
{
    const std::vector<std::string> skins = ListSkins(choice_.folder);
    if (skins.empty())
        return SetChange::Redraw;
    const auto at = std::find_if(skins.begin(), skins.end(), [&](const std::string& s) {
        return platform::SameText(s, choice_.skin);
    });
    const auto count = static_cast<std::ptrdiff_t>(skins.size());
    const std::ptrdiff_t index = at == skins.end() ? 0 : ((at - skins.begin()) + step + count) % count;
    choice_.skin = skins[static_cast<size_t>(index)];
    return SetChange::NewCharacter;
}

SetChange CharacterMode::stepCharacter(int step)
{
    const auto characters = SteppableCharacters(choice_);
    const auto at = std::find_if(characters.begin(), characters.end(),
                                 [&](const auto& c) { return platform::SameText(c.second, choice_.folder); });
    const auto count = static_cast<std::ptrdiff_t>(characters.size());
    const std::ptrdiff_t index = ((at - characters.begin()) + step + count) % count;
    choice_.name = characters[static_cast<size_t>(index)].first;
    choice_.folder = characters[static_cast<size_t>(index)].second;
    choice_.skin = PickSkin(choice_, std::nullopt);
    return SetChange::NewCharacter;
}

SetChange CharacterMode::Drop(const std::string& path)
{
    try {
        CharacterChoice dropped = ResolvePathChoice(path);
        choice_ = std::move(dropped);
        Close();
        readShaders();
    } catch (const CharacterError& e) {
        // The character shown stays; its game data goes back in place.
        platform::ShowMessage(e.what(), kCaption);
        MountChoice(choice_);
        return SetChange::Redraw;
    }
    return SetChange::NewCharacter;
}
