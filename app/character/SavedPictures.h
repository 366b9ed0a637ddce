#pragma once
// Pictures of the view that a person saves from character mode: PNG files
// under the first free numbered name, in the current folder or, where that
// cannot be written, in the user's pictures folder.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The user's pictures folder: $XDG_PICTURES_DIR, else the XDG_PICTURES_DIR
// line of user-dirs.dirs in the user's configuration folder; nothing when
// neither names one.
std::optional<std::string> UserPicturesFolder();

// Writes width x height RGB pixels (bottom row first) as "STEM-N.png", N the
// first number from 1 whose file is not there, in the current folder, or in
// UserPicturesFolder() when the current folder cannot be written; returns
// the file's path. Throws platform::EInOutError naming the folders when no
// folder takes it.
std::string SaveViewPicture(const std::string& stem, int width, int height, const std::vector<uint8_t>& rgb);
