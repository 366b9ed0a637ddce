#pragma once
// `Quillmo --pack OUT.pk3 [--game-root BASE] CHARACTER [--dry-run] [--why] [--force]`:
// a character made ready for release as one archive holding exactly what
// the game reads for it and the base game does not already provide
// (PackPlan.h), checked first and proven by reopening.
//
// 1. The character is checked as it will be packed; its findings and the
//    pack's own warnings go to standard error, each a line
//    "NAME[/SKIN]: error|warning: TEXT".
// 2. --dry-run prints the entries (with --why, below each what made the game
//    read it) and a summary on standard output and writes nothing; --why
//    prints them for a written pack too.
// 3. With errors the pack is not written, unless --force; --force also packs
//    the shaders that shadow the base game's.
// 4. The archive is written (beside OUT, as OUT.partial), then mounted alone
//    over the base and what the game makes of the character there compared
//    with what it makes of the source; any difference is printed and the
//    archive removed, leaving an earlier OUT as it was. A proven archive
//    takes OUT's place.
//
// Exit status: 0 when the pack is written and proven without errors (or a
// dry run found none), 1 with errors (written with --force or not at all),
// a failed proof, or nothing to pack, 2 when it cannot run or write.
#include "app/common/CommandLine.h"

int RunPack(const CommandLine& options);
