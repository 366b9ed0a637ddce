#pragma once
// Game data the size of what collectors own, made from the sample game
// (SampleGame.h), for measurements and for tests of large collections:
//
// - a collection: a folder of many .pk3 archives, one character each, as a
//   download folder of character packs is; each character is a sample
//   character under a name of its own ("char0000", "char0001", ...), its
//   skin lines and shader names moved to its own folder;
// - an image bomb: one archive of one character whose three images are
//   run-length Targa files of a single colour that claim 8192 x 8192 pixels
//   each: a few hundred kilobytes that would decode to 600 MB.
#include <string>

namespace samples {

// The side, in pixels, the images of the image bomb claim.
inline constexpr int kImageBombSide = 8192;
// The name of the character in the image bomb.
inline constexpr char kImageBombCharacter[] = "bomb";

// The name of the character of archive index of a collection: "char0042".
std::string collectionCharacter(int index);

// Writes count archives char0000.pk3 ... into folder (made when missing),
// each holding collectionCharacter(i): the sample characters in turn under
// those names, the sample weapon in the first archive. The bytes are the same
// on every run. Throws platform::EInOutError when a file cannot be written.
void writeSampleCollection(const std::string& folder, int count);

// Writes the image bomb archive at path. Throws platform::EInOutError when
// it cannot be written.
void writeImageBombArchive(const std::string& path);

} // namespace samples
