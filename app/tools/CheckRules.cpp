#include "CheckRules.h"

#include "CheckAnimation.h"
#include "CheckCore.h"
#include "CheckParts.h"
#include "CheckSkins.h"

namespace {

// The skin the game's search for a character's parts is made with: the
// parts and the animation file are found the same way for every skin.
constexpr const char* kAnySkin = "default";

} // namespace

void CheckCharacter(const std::string& name, const std::string& folder, const ShaderTable& shaders,
                    CheckReport& report)
{
    ++report.characters;
    CharacterFindings findings(name, report);
    const GameCharacterFiles found = FindGameCharacterFiles(folder, kAnySkin);
    const CharacterParts parts = CheckParts(found, findings);
    CheckAnimationFile(found[CharacterFile::Animation], Checked(parts[kLegs]), Checked(parts[kTorso]),
                       [&findings](Severity severity, FindingKind kind, const std::string& file, size_t line,
                                   const std::string& text, const std::string& gameDoes) {
                           findings.Add("", severity, kind, {file, line}, text, gameDoes);
                       });
    SkinCheck skins(folder, shaders, parts, findings);
    for (const std::string& skin : skins.SkinNames())
        skins.Check(skin);
}
