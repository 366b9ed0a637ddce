#pragma once
// What goes into a character's pack, and the pack written.
//
// Everything the game reads for the character (PackContents.h) is read in
// the source view, then compared with the base: a file the base holds with
// the same bytes is left out (the base provides it), one it holds with other
// bytes is packed with a warning (the pack replaces it for every character
// that reads it). The shaders the character uses that the base does not
// define alike go to one script of the pack's own, scripts/NAME.shader, each
// definition as its maker wrote it; a shader the base defines otherwise is a
// warning naming the base's characters whose skins use it, and is left out
// unless forced. Names whose letter case differs between a reference and the
// file are warnings; the pack stores the names the references use.
#include "PackViews.h"

#include "app/tools/CheckFindings.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct PackEntry {
    std::string name;  // as stored in the archive
    std::string bytes;
    std::vector<std::string> why; // what made the game read it
};

struct PackPlan {
    std::string character;
    std::vector<PackEntry> entries;      // in the archive's order: by name ignoring letter case, then bytes
    std::vector<std::string> warnings;   // one line each, without the subject
    std::set<std::string> shadowsLeftOut; // shaders the base defines otherwise, not packed (lower case)
    size_t providedByBase = 0;           // files and shaders the base holds alike, left out
    CheckReport check;                   // the checker's findings of the character as it will be packed
    std::vector<std::string> sourceLines; // ReadingLines of the source view, for the proof
    std::vector<std::string> skins;

    uint64_t Bytes() const;
};

// Plans the pack of the views' character; force packs the shaders that
// shadow the base's. Mounts the source view and then the base view; needs a
// current GL context. Throws platform::EInOutError when a file the game
// reads cannot be read.
PackPlan PlanPack(const PackViews& views, bool force);

// Writes the plan's entries as a zip archive at path, every one deflated
// and dated alike. Throws platform::EInOutError.
void WritePack(const PackPlan& plan, const std::string& path);

// The proof: mounts archive alone over the base and reads the character
// there as the plan read it in the source; the lines that differ (every line
// naming a shader left out aside), each "only from the source: LINE" or
// "only from the pack:   LINE". Empty when the pack shows the character as
// its source does. Needs a current GL context.
std::vector<std::string> ProvePack(const PackViews& views, const PackPlan& plan, const std::string& archive);

// The name of the pack's own shader script.
std::string PackScriptName(const std::string& character);
