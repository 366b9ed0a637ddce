#pragma once
// The three ways a pack's character is seen, each mounted in the one file
// layer in turn:
// - the base: the game's own data the pack will be laid over (--game-root;
//   the archives alone when that is also where the maker works, and nothing
//   when there is none);
// - the source: the maker's files over the base, as the character is before
//   it is packed;
// - the pack: the written archive alone over the base.
// And what one view shows of the character: what the game makes of each of
// its surfaces and what the checker finds, reduced to lines that two views
// must share when the pack holds what the source does.
#include "PackContents.h"

#include "app/common/CharacterChoice.h"
#include "app/common/CommandLine.h"
#include "app/tools/CheckFindings.h"
#include "app/tools/SurfaceReport.h"
#include "game/GameData.h"
#include "game/Shaders.h"

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

class PackViews {
public:
    // The views of the character the options name: --game-root and one
    // positional CHARACTER, a character folder on disk or a NAME of the game
    // root. Throws CharacterError when they name no character, and
    // platform::EInOutError for game data that cannot be read.
    explicit PackViews(const CommandLine& options);
    ~PackViews();
    PackViews(const PackViews&) = delete;
    PackViews& operator=(const PackViews&) = delete;

    // The character as the views see it: its name and folder
    // (models/players/NAME/), no weapon.
    const CharacterChoice& Character() const { return character_; }

    // Mount one view, dropping the one before. Throw platform::EInOutError.
    void MountBase() const;
    void MountSource() const;
    void MountPack(const std::string& archive) const;

private:
    CharacterChoice character_;
    std::string baseRoot_;            // a game root; an empty folder of our own when there is no base
    platform::files::RootContents baseContents_ = platform::files::RootContents::Everything;
    bool sourceIsBaseRoot_ = false;   // the maker's files are the loose files of baseRoot_
    std::string workDir_;             // else: the folder mounted over the base
    std::string workAt_;              // where it appears in the game data ("" for the root)
    std::filesystem::path emptyRoot_; // removed with the views
};

// What one view shows of the character.
struct ViewReading {
    std::unique_ptr<ShaderTable> shaders;
    std::unique_ptr<TextureSet> textures; // what report's shaders point into
    std::vector<ShaderProblem> shaderProblems;
    SurfaceReport report;                 // every skin, the levels of detail and icons, no weapon
    CheckReport check;
    PackContents contents;                // every file the game reads for the character

    ViewReading();
    ~ViewReading();
    ViewReading(ViewReading&&) noexcept;
    ViewReading& operator=(ViewReading&&) noexcept;
};

// Reads the character in the view mounted now, with skins. Needs a current
// GL context. Throws nothing but std::bad_alloc.
ViewReading ReadView(const CharacterChoice& character, const std::vector<std::string>& skins);

// The reading as lines to compare: every file the game reads by its name and
// content (those read only through shaders' stages naming the shaders), each
// surface lookup with the shader it makes (its definition's keyword lines
// and stage images by content, not by the script or archive they come
// from), the files missing or unreadable, and the checker's findings of the
// character, with places in shader scripts left out of their texts. Letter case is ignored throughout (a pack
// may store names in the case the references use): the lines are in lower
// case. Reads image files through the file layer.
std::vector<std::string> ReadingLines(const ViewReading& reading);

// The lines that name none of names (lower case).
std::vector<std::string> LinesNamingNone(const std::vector<std::string>& lines, const std::set<std::string>& names);
