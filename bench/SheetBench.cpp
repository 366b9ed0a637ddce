// The contact sheet's time per cell against the floor of the same work, side
// by side in one process and one offscreen GL context of the cell's size:
//   Cell/NAME    PictureStudio::DrawCharacter as the sheet calls it: load the
//                character with its textures, frame its standing pose, draw
//                it lit, label it, read the pixels, free the textures
//   Floor/NAME   load the character with its textures (LoadCharacter), draw
//                one frame from the viewer's start camera (DrawGamePlayer), read
//                the pixels, free the textures
// Both find the game data mounted and its shader scripts read.
//
//   quillmo_bench_sheet --game-root DIR [benchmark options]
#include "app/common/CharacterPicture.h"
#include "app/common/Scene.h"
#include "game/GameRenderer.h"

#include "OpglLib/OpglCamera.h"
#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglManage.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kCellSide = 256; // the sheet's default cell

void drawCell(benchmark::State& state, PictureStudio* studio, const CharacterChoice* choice)
{
    for (auto _ : state) {
        Picture picture = studio->DrawCharacter(*choice, choice->name);
        benchmark::DoNotOptimize(picture.rgb.data());
    }
}

void drawFloor(benchmark::State& state, const CharacterChoice* choice, const ShaderTable* shaders)
{
    TGLCameraRec camera{};
    TGLCamera::Instance()->InitCamera(camera, TGLViewDir::vdUser, StartEye(), StartViewPoint(), SceneSize * 5);
    TGLCamera::Instance()->SetViewport(camera, 0, 0, kCellSide, kCellSide);
    std::vector<uint8_t> pixels(kCellSide * kCellSide * 3);
    for (auto _ : state) {
        TextureSet textures(shaders);
        GamePlayer player;
        GamePart weapon;
        MountChoice(*choice);
        LoadCharacter(*choice, player, weapon, textures);
        TGLCamera::Instance()->ApplyProjection(camera);
        TGLCamera::Instance()->ApplyView(camera);
        TGLManager::Instance()->ClearBuffers();
        TGLLighter::Instance()->DrawLights(false, 0.0f);
        glPushMatrix();
        glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
        DrawGamePlayer(player, 0.0f);
        glPopMatrix();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kCellSide, kCellSide, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        benchmark::DoNotOptimize(pixels.data());
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CommandLine options;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--game-root") == 0)
            options.gameRoot = argv[i + 1];
    }
    if (!options.gameRoot) {
        std::fprintf(stderr, "usage: quillmo_bench_sheet --game-root DIR [benchmark options]\n");
        return 2;
    }
    try {
        const std::vector<CharacterChoice> characters = ResolveCharacterList(options);
        OffscreenRun run;
        PictureStudio studio(kCellSide, kCellSide);
        MountChoice(characters.front());
        const ShaderTable shaders = ReadShaderScripts();
        for (const CharacterChoice& character : characters) {
            benchmark::RegisterBenchmark(("Cell/" + character.name).c_str(), drawCell, &studio, &character)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("Floor/" + character.name).c_str(), drawFloor, &character, &shaders)
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmo_bench_sheet: %s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
