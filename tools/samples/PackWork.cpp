#include "tools/samples/PackWork.h"

#include "tools/samples/Animations.h"
#include "tools/samples/Figures.h"
#include "tools/samples/GameTree.h"
#include "tools/samples/Painter.h"
#include "tools/samples/SampleGame.h"
#include "tools/samples/SampleTextures.h"
#include "tools/writers/ImageWriters.h"
#include "tools/writers/Md3Writer.h"
#include "tools/writers/TextWriters.h"

#include <cstdint>
#include <map>

namespace samples {

namespace {

using writers::Image;

const ChannelMix kRust{{1.3f, 0.3f, 0.0f}, {0.2f, 0.5f, 0.1f}, {0.0f, 0.2f, 0.3f}};
const ChannelMix kDarkRust{{0.8f, 0.2f, 0.0f}, {0.1f, 0.3f, 0.1f}, {0.0f, 0.1f, 0.2f}};

const std::string kFolder = std::string("models/players/") + kPackCharacter + "/";

Image flat(int size, uint8_t r, uint8_t g, uint8_t b)
{
    Image image(size, size, 3);
    for (size_t i = 0; i < image.pixels.size(); i += 3) {
        image.pixels[i] = r;
        image.pixels[i + 1] = g;
        image.pixels[i + 2] = b;
    }
    return image;
}

// A sound file of samples 16-bit samples of silence, as a sound editor
// writes a wave file.
std::string waveFile(uint32_t samples)
{
    auto le = [](uint32_t v, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
        return out;
    };
    const uint32_t data = samples * 2;
    return "RIFF" + le(36 + data, 4) + "WAVE" + "fmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(22050, 4) +
           le(44100, 4) + le(2, 2) + le(16, 2) + "data" + le(data, 4) + std::string(data, '\0');
}

std::string skinFile(const writers::Md3Model& model, const std::map<std::string, std::string>& paths)
{
    std::vector<writers::SkinLine> lines;
    for (const auto& surface : model.surfaces)
        lines.push_back({surface.name, paths.at(surface.name)});
    if (!model.tags.empty())
        for (const auto& tag : model.tags.front())
            lines.push_back({tag.name, ""});
    return writers::skinText(lines);
}

std::string scriptText()
{
    return std::string("// kestrel, and a shader of another pack this script was copied from\n\n") + kFolder +
           "torso\n"
           "{\n"
           "\t{\n"
           "\t\tmap " + kFolder + "torso.tga\n"
           "\t\trgbGen lightingDiffuse\n"
           "\t}\n"
           "}\n\n" + kFolder +
           "visor\n"
           "{\n"
           "\t{\n"
           "\t\tanimMap 2 " + kFolder + "visor1.tga " + kFolder + "visor2.tga\n"
           "\t\trgbGen lightingDiffuse\n"
           "\t}\n"
           "}\n\n"
           "// the cape, made darker than the base game makes it\n" +
           kPackShadowedShader +
           "\n"
           "{\n"
           "\tcull none\n"
           "\t{\n"
           "\t\tmap " + kPackShadowImage + "\n"
           "\t\trgbGen lightingDiffuse\n"
           "\t}\n"
           "}\n\n"
           "models/players/other/unused\n"
           "{\n"
           "\t{\n"
           "\t\tmap models/players/other/unused.tga\n"
           "\t}\n"
           "}\n";
}

} // namespace

void writePackWork(const std::string& dir)
{
    const std::string root = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    writeSampleGame(root + kPackBaseFolder, GameLayout::Archives);
    const std::string work = root + kPackWorkFolder + "/";
    auto write = [&](const std::string& path, const std::string& bytes) { writers::writeFileBytes(work + path, bytes); };

    const Build build = bulkyBuild();
    std::map<std::string, std::string> paths = {
        {"l_legs", kFolder + "legs.tga"},          {"u_torso", kFolder + "torso"},
        {"u_arms", kFolder + "Arms.tga"},          {kTwoSidedSurface, kPackShadowedShader},
        {"h_head", "models/players/mira/head.jpg"}, {"h_helmet", kFolder + "visor"}};
    writers::Md3Model legs = makeLegs(build, paths);
    writers::Md3Model torso = makeTorso(build, paths);
    torso.surfaces.push_back(makeCape(build, kTwoSidedSurface, kPackShadowedShader));
    const writers::Md3Model head = makeHead(build, paths);
    write(kFolder + "lower.md3", writers::serialiseMd3(legs));
    write(kFolder + "upper.md3", writers::serialiseMd3(torso));
    write(kFolder + "head.md3", writers::serialiseMd3(head));
    // The level of detail names an image of its own.
    writers::Md3Model lod = makeLegs(build, {{"l_legs", kFolder + "legs_lod.tga"}});
    write(kFolder + "lower_1.md3", writers::serialiseMd3(lod));

    writers::AnimationConfig animation;
    animation.comments = {"kestrel"};
    animation.lines = animationLines();
    write(kFolder + "animation.cfg", writers::animationConfigText(animation));
    for (const char* skin : {"default", "red"}) {
        std::map<std::string, std::string> skinPaths = paths;
        if (std::string(skin) == "red")
            skinPaths["l_legs"] = kFolder + "legs_red.tga";
        write(kFolder + "lower_" + skin + ".skin", skinFile(legs, skinPaths));
        write(kFolder + "upper_" + skin + ".skin", skinFile(torso, skinPaths));
        write(kFolder + "head_" + skin + ".skin", skinFile(head, skinPaths));
        write(kFolder + "icon_" + skin + ".tga", writers::encodeTga(flat(32, 170, 70, 30)));
    }

    write(kFolder + "legs.tga", writers::encodeTga(remixed(legsTexture(Figure::Bulky), kRust)));
    write(kFolder + "legs_red.tga", writers::encodeTga(remixed(legsTexture(Figure::Bulky), kDarkRust)));
    write(kFolder + "legs_lod.tga", writers::encodeTga(flat(16, 150, 60, 30)));
    write(kFolder + "torso.png", writers::encodePng(remixed(torsoTexture(Figure::Bulky, 3), kRust),
                                                    platform::PngColorType::Rgb));
    write(kFolder + "arms.tga", writers::encodeTga(remixed(armsTexture(Figure::Bulky), kRust)));
    write(kFolder + "visor1.tga", writers::encodeTga(flat(16, 40, 200, 220)));
    write(kFolder + "visor2.tga", writers::encodeTga(flat(16, 20, 120, 240)));
    write(kPackShadowImage, writers::encodeTga(remixed(capeTexture(), kDarkRust)));
    // A head image copied unchanged from the base game's mira.
    const GameTree base = resolveGameTree(root + kPackBaseFolder);
    write("models/players/mira/head.jpg", base.at("models/players/mira/head.jpg").bytes);
    write(kPackWorkScript, scriptText());

    const std::string sounds = std::string("sound/player/") + kPackCharacter + "/";
    write(sounds + "death1.wav", waveFile(2205));
    write(sounds + "jump1.ogg", "OggS" + std::string(60, '\x01')); // the game asks for jump1.wav
    write(sounds + "taunt.wav", waveFile(4410));

    // Leftovers the game never reads.
    write(sounds + "hello.wav", waveFile(1000));
    write(kFolder + "torso.psd", "8BPS" + std::string(100, '\0'));
    write(kFolder + "notes.txt", "export the visor again before release\n");
    write(kFolder + "legs_old.tga", writers::encodeTga(flat(16, 90, 90, 90)));
    write(kFolder + "lower_old.md3", writers::serialiseMd3(lod));
    write("models/players/other/unused.tga", writers::encodeTga(flat(16, 0, 255, 0)));
}

} // namespace samples
