#include "tools/samples/Weapons.h"

namespace samples {

namespace {

constexpr UvRect kWhole{};

// Tubes hang along -Z; this turns them to run along +X from their origin.
Transform alongBarrel(Vec3 start) { return translate(start) * rotate(rotY(-90.0f)); }

// The grip leans back a little, like a pistol grip.
Transform gripLean() { return rotate(rotY(12.0f)); }

writers::Md3Model finish(std::vector<SurfaceBuilder> surfaces, float muzzleX)
{
    writers::Md3Model model;
    model.name = "railgun";
    model.frameCount = 1;
    writers::Md3Tag flash;
    flash.name = "tag_flash";
    flash.origin = {muzzleX, 0.0f, 2.0f};
    model.tags.push_back({flash});
    const RigFrames rig{{Transform{}}};
    for (const auto& surface : surfaces)
        model.surfaces.push_back(surface.bake(rig));
    return model;
}

const std::string& shader(const ShaderNames& shaders, const std::string& name)
{
    static const std::string none;
    const auto found = shaders.find(name);
    return found == shaders.end() ? none : found->second;
}

} // namespace

writers::Md3Model makeSlenderWeapon(const ShaderNames& shaders)
{
    SurfaceBuilder body("w_railcase", shader(shaders, "w_railcase"));
    body.addBox(0, {}, {-4.0f, -1.3f, 0.4f}, {12.0f, 1.3f, 3.6f}, kWhole);
    body.addTube(0, alongBarrel({12.0f, 0, 2.0f}), {12.0f, 0.8f, 0.8f, 0.7f, 0.7f, 12, true}, kWhole);
    body.addTube(0, alongBarrel({12.0f, 0, 0.9f}), {9.0f, 0.4f, 0.4f, 0.4f, 0.4f, 8, true}, kWhole);

    SurfaceBuilder grip("w_railgrip", shader(shaders, "w_railgrip"));
    grip.addBox(0, gripLean(), {-1.0f, -0.8f, -4.6f}, {1.4f, 0.8f, 0.4f}, kWhole);

    SurfaceBuilder rear("w_railrear", shader(shaders, "w_railrear"));
    rear.addBox(0, {}, {-9.0f, -1.5f, 0.0f}, {-4.0f, 1.5f, 3.8f}, kWhole);
    rear.addBox(0, {}, {-10.0f, -1.2f, -0.5f}, {-9.0f, 1.2f, 3.5f}, kWhole);

    SurfaceBuilder display("w_raillcd", shader(shaders, "w_raillcd"));
    display.addBox(0, {}, {0.5f, -1.0f, 3.6f}, {6.5f, 1.0f, 4.2f}, kWhole);

    return finish({body, grip, rear, display}, 24.0f);
}

writers::Md3Model makeBulkyWeapon(const ShaderNames& shaders)
{
    SurfaceBuilder body("w_railgun1", shader(shaders, "w_railgun1"));
    body.addBox(0, {}, {-5.0f, -1.6f, 0.3f}, {13.0f, 1.6f, 4.0f}, kWhole);

    SurfaceBuilder coils("w_railgun2", shader(shaders, "w_railgun2"));
    for (float x : {14.0f, 16.5f, 19.0f, 21.5f})
        coils.addTube(0, alongBarrel({x, 0, 2.0f}), {1.6f, 1.5f, 1.5f, 1.5f, 1.5f, 12, true}, kWhole);

    SurfaceBuilder grip("w_railgun4", shader(shaders, "w_railgun4"));
    grip.addBox(0, gripLean(), {-1.1f, -0.9f, -4.8f}, {1.5f, 0.9f, 0.3f}, kWhole);

    SurfaceBuilder rail("w_railgun3", shader(shaders, "w_railgun3"));
    rail.addBox(0, {}, {-2.0f, -0.5f, 4.0f}, {24.0f, 0.5f, 4.6f}, kWhole);

    SurfaceBuilder rear("w_railgun05", shader(shaders, "w_railgun05"));
    rear.addBox(0, {}, {-10.0f, -1.7f, 0.2f}, {-5.0f, 1.7f, 4.2f}, kWhole);
    rear.addTube(0, alongBarrel({13.0f, 0, 2.0f}), {13.0f, 0.65f, 0.65f, 0.65f, 0.65f, 10, true}, kWhole);

    return finish({body, coils, grip, rail, rear}, 26.0f);
}

} // namespace samples
