#include "Check.h"

#include "CheckOutput.h"
#include "CheckRules.h"

#include <cstdio>
#include <stdexcept>

namespace {

constexpr int kExitClean = 0;
constexpr int kExitErrors = 1;
constexpr int kExitCannotRun = 2;

} // namespace

int RunCheck(const CommandLine& options)
{
    std::vector<CharacterChoice> characters;
    try {
        characters = ResolveCharacterList(options);
    } catch (const std::runtime_error& e) {
        // Unknown names, folders without a character, a game root that
        // cannot be read or holds no character.
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    const CheckReport report = CheckCharacters(characters);
    WriteTextReport(report);
    return report.Errors() > 0 ? kExitErrors : kExitClean;
}
