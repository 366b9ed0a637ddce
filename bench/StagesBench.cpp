// Drawing the sample character with the most shader stages (vesta, default
// skin: lit bodies with reflections, glowing lines, cut-outs, an animated and
// waving hair) with every stage, against the same character drawn with the
// first stage of each shader only, for callgrind:
//
//   quillmo_bench_stages --game DIR --stages all|first --frames N [--warmup W]
//
// draws W + N frames and exits; with --toggle-collect='drawStagesFrame*' the
// instructions of N frames are those of a run with N frames less those of a
// run with 0. The functions of the per-vertex work (deforms, colours,
// texture coordinates, blending the frames) are named by bench_tools.py.
#include "game/GameCharacter.h"
#include "game/GameData.h"
#include "game/GameRenderer.h"
#include "game/GameShader.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Dialogs.h"
#include "support/HeadlessGL.h"
#include "tools/samples/SampleGame.h"

#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>

namespace {

constexpr int kWidth = 696;
constexpr int kHeight = 480;
constexpr float kFrameSeconds = 0.04f;

struct Options {
    std::string game;
    bool firstOnly = false;
    int frames = -1;
    int warmup = 2;
};

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--game")
            options.game = value;
        else if (name == "--stages")
            options.firstOnly = value == "first";
        else if (name == "--frames")
            options.frames = std::atoi(value.c_str());
        else if (name == "--warmup")
            options.warmup = std::atoi(value.c_str());
    }
    if (options.game.empty() || options.frames < 0) {
        std::fprintf(stderr, "usage: quillmo_bench_stages --game DIR --stages all|first --frames N [--warmup W]\n");
        std::exit(2);
    }
    return options;
}

// The viewer's start camera over the character.
void setUpScene()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(52.0, double(kWidth) / kHeight, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(60.0, 40.0, 60.0, 0.0, 10.0, 0.0, 0.0, 1.0, 0.0);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
}

// Points every surface at a copy of its shader that keeps the first stage.
void keepFirstStages(GamePlayer& player, std::deque<BoundShader>& copies)
{
    for (GamePart* part : {&player.Lower, &player.Upper, &player.Head}) {
        for (const BoundShader*& shader : part->shaders) {
            if (!shader || shader->shader.stages.size() < 2)
                continue;
            BoundShader& copy = copies.emplace_back(*shader);
            copy.shader.stages.resize(1);
            copy.textures.resize(1);
            shader = &copy;
        }
    }
}

} // namespace

// One frame of the character, flushed. Out of line and outside any
// namespace so that callgrind collects exactly this.
[[gnu::noinline]] void drawStagesFrame(GamePlayer& player, float t)
{
    glPushMatrix();
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    DrawGamePlayer(player, t);
    glPopMatrix();
    glFinish();
}

int main(int argc, char** argv)
{
    const Options options = parse(argc, argv);
    platform::SetNonInteractive(true);
    testsupport::HeadlessGL gl(kWidth, kHeight);
    setUpScene();
    platform::files::MountGameRoot(options.game);
    std::vector<ShaderProblem> problems;
    const ShaderTable shaders = LoadShaderScripts(problems);
    TextureSet textures(&shaders);
    auto player = std::make_unique<GamePlayer>();
    const std::string folder = std::string(kPlayersFolder) + samples::kEffectsCharacter + "/";
    LoadGamePlayer(*player, folder, samples::kDefaultSkin, textures);
    std::deque<BoundShader> copies;
    if (options.firstOnly)
        keepFirstStages(*player, copies);
    for (int k = 1; k <= options.warmup + options.frames; ++k) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
        drawStagesFrame(*player, kFrameSeconds * float(k));
    }
    textures.Clear();
    platform::files::MountDisk();
    return 0;
}
