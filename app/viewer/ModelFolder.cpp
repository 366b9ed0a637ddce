#include "ModelFolder.h"

#include "Unit1.h"
#include "Weapons.h"

#include <cstdio>

void ModelFolderCharacters::Open()
{
    char question[128];
    std::snprintf(question, sizeof question, kLoadQuestion, "");
    const platform::DialogAnswer answer = presetAnswer_ ? *presetAnswer_ : platform::AskYesNo(question, "Confirm");
    if (answer == platform::DialogAnswer::Yes) {
        LoadPlayer(Player, ModelRoot + "ModelLara/Body/", "default");
        LoadLaraWeapon();
    } else {
        LoadPlayer(Player, ModelRoot + "ModelSarge/Body/", "default");
        LoadSargeWeapon();
    }
}

void ModelFolderCharacters::Draw(float seconds) { DrawPlayer(Player, seconds); }

void ModelFolderCharacters::SetPose(uint32_t animation) { SetAnimation(Player, animation); }
