#pragma once
// Private to the shader compiler (GameShader.cpp): the keywords of a shader's
// stages (GameStageKeywords.cpp), and the values a keyword of either the
// shader or a stage takes from the rest of its line (GameShader.cpp).
#include "GameShader.h"
#include "GameTokens.h"

#include "platform/system/System.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Whether a stage image can be loaded, as CompileShaderWith is told.
struct StageImages {
    ImageLoadsFunction loads;
    const void* context;
};

// Reads the keyword lines of block into stage, with the game's defaults for
// what they leave unsaid, and appends what the game did not take to notes.
// False where the game gives up on the shader (the last note says why); the
// stage then keeps what was read before.
bool ReadGameStage(const ShaderStage& block, GameStage& stage, const StageImages& images,
                   std::vector<std::string>& notes);

// A number as the C library's atof reads it: the longest number at the start,
// 0 when there is none.
float ShaderNumber(const std::string& text);

// A wave form by name; the game takes a name it does not know for a sine.
WaveForm ShaderWaveForm(const std::string& name);

// "FORM BASE AMPLITUDE PHASE FREQUENCY" on the rest of the line; values the
// line lacks keep their defaults, as in the game.
Wave ReadShaderWave(GameTokens& tokens);

// "( A B C )" on the rest of the line; false when it is not there.
bool ReadShaderVector(GameTokens& tokens, float (&values)[3]);

// The value of name in a table of names (letter case ignored), or null.
template <class Value, size_t N>
const Value* ShaderNamed(const std::pair<const char*, Value> (&named)[N], const std::string& name)
{
    for (const auto& [text, value] : named) {
        if (platform::SameText(name, text))
            return &value;
    }
    return nullptr;
}
