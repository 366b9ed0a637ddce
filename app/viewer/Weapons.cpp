#include "Weapons.h"

#include "Unit1.h"

#include "model/Model.h"
#include "textures/Textures.h"

#include <strings.h>

namespace {

struct WeaponTexture {
    const char* image;
    const char* surface;
};

void loadWeaponSet(const std::string& folder, const WeaponTexture* textures, size_t count)
{
    LoadMD3(Weapon, ModelRoot + folder + "railgun.md3");
    for (size_t i = 0; i < count; ++i)
        SetMeshTexture(ModelRoot + folder + textures[i].image, textures[i].surface);
    LinkModel(Player.Upper, "tag_weapon", Weapon);
}

} // namespace

void SetMeshTexture(const std::string& imagePath, const std::string& surfaceName)
{
    for (TMesh& mesh : Weapon.Meshes) {
        const std::string name = MD3Name(mesh.Header.Name);
        if (name.size() == surfaceName.size() && ::strcasecmp(name.c_str(), surfaceName.c_str()) == 0) {
            TextureFromFile(imagePath, mesh.Texture, false);
            mesh.HasTexture = true;
        }
    }
}

void LoadLaraWeapon()
{
    static const WeaponTexture textures[] = {
        {"railgun.bmp", "w_railcase"},
        {"railgun2.bmp", "w_railgrip"},
        {"railgun3.bmp", "w_railrear"},
        {"railgun4.bmp", "w_raillcd"},
    };
    loadWeaponSet("ModelLara/Weapon/", textures, std::size(textures));
}

void LoadSargeWeapon()
{
    // railgun1.jpg serves two surfaces and is loaded once for each.
    static const WeaponTexture textures[] = {
        {"railgun1.jpg", "w_railgun1"},
        {"railgun2.glow.jpg", "w_railgun2"},
        {"railgun4.jpg", "w_railgun4"},
        {"railgun3.glow.jpg", "w_railgun3"},
        {"railgun1.jpg", "w_railgun05"},
    };
    loadWeaponSet("ModelSarge/Weapon/", textures, std::size(textures));
}
