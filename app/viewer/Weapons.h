#pragma once
// The two fixed weapon sets: a weapon file, its textures bound by surface
// name, and the link that hangs it on the torso's "tag_weapon".
#include <string>

// Loads the weapon of the character answered with Yes into Weapon and hangs
// it on Player's torso. Throws what the model loader throws.
void LoadLaraWeapon();
// The same for the other character.
void LoadSargeWeapon();
// Binds the image at imagePath (the whole path) to every mesh of Weapon named
// surfaceName, ignoring letter case; the mesh counts as textured whatever the
// load's outcome.
void SetMeshTexture(const std::string& imagePath, const std::string& surfaceName);
