// Drawing a sample character: the viewer's DrawPlayer against the
// vertex-array reference, in an offscreen GL context (Mesa's llvmpipe).
//
//   quillmo_bench_draw --model-root DIR --mode program|reference --frames N [--warmup W]
//       draws W + N frames and exits; for callgrind with
//       --toggle-collect='drawCharacterFrame*': the instructions of N frames
//       are those of a run with N frames less those of a run with 0.
//   quillmo_bench_draw --model-root DIR --check [--png FILE]
//       draws the same frames both ways and counts the pixels that differ.
//   quillmo_bench_draw --model-root DIR [benchmark options]
//       wall-clock time per frame of both, side by side.
//
// Every frame is cleared and flushed before the character is drawn, and the
// character is flushed (glFinish) before the frame counts as drawn, so that
// llvmpipe's rasterisation of the character belongs to the frame.
#include "ReferenceDraw.h"

#include "model/Model.h"
#include "platform/system/Dialogs.h"
#include "platform/images/PngFile.h"
#include "support/HeadlessGL.h"

#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

enum class DrawMode { Program, Reference };

namespace {

constexpr int kWidth = 696; // the viewer's default client area
constexpr int kHeight = 480;
constexpr float kFrameSeconds = 0.04f; // 25 frames per second on the animation clock

struct Options {
    std::string modelRoot;
    std::string character = "ModelLara";
    std::string mode;
    int frames = -1;
    int warmup = 2;
    bool check = false;
    std::string png;
};

// The viewer's start-up scene: its default camera, one light, lighting,
// texturing and the depth test on.
void setUpScene()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(52.0, double(kWidth) / kHeight, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(100.0, 66.7, 100.0, 0.0, 10.0, 0.0, 0.0, 1.0, 0.0);
    const GLfloat lightPosition[4] = {50.0f, 100.0f, 50.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

std::unique_ptr<Q3Player> loadCharacter(const Options& options)
{
    auto player = std::make_unique<Q3Player>();
    LoadPlayer(*player, options.modelRoot + "/" + options.character + "/Body/", "default");
    if (player->Lower.Meshes.empty()) {
        std::fprintf(stderr, "quillmo_bench_draw: no character in %s/%s\n", options.modelRoot.c_str(),
                     options.character.c_str());
        std::exit(1);
    }
    return player;
}

void clearFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFinish();
}

} // namespace

// One character drawn and flushed, in the scene's coordinates (the model's
// Z-up turned upright like the viewer does). Kept out of line and outside
// any namespace so that callgrind can collect exactly this.
[[gnu::noinline]] void drawCharacterFrame(DrawMode mode, Q3Player& player, ReferenceDrawer& reference, float t)
{
    glPushMatrix();
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    if (mode == DrawMode::Program)
        DrawPlayer(player, t);
    else
        reference.drawPlayer(player, t);
    glPopMatrix();
    glFinish();
}

namespace {

int runFrames(const Options& options)
{
    testsupport::HeadlessGL gl(kWidth, kHeight);
    setUpScene();
    auto player = loadCharacter(options);
    ReferenceDrawer reference(*player);
    const DrawMode mode = options.mode == "program" ? DrawMode::Program : DrawMode::Reference;
    const int total = options.warmup + options.frames;
    for (int k = 1; k <= total; ++k) {
        clearFrame();
        drawCharacterFrame(mode, *player, reference, kFrameSeconds * float(k));
    }
    return 0;
}

// Draws the same frames with both and counts differing pixels; the two must
// show the same picture for the comparison to mean anything.
int runCheck(const Options& options)
{
    testsupport::HeadlessGL gl(kWidth, kHeight);
    setUpScene();
    auto programPlayer = loadCharacter(options);
    auto referencePlayer = loadCharacter(options);
    ReferenceDrawer reference(*referencePlayer);
    constexpr int kCheckFrames = 30;
    size_t differing = 0, covered = 0;
    int largest = 0;
    for (int k = 1; k <= kCheckFrames; ++k) {
        const float t = kFrameSeconds * float(k);
        clearFrame();
        drawCharacterFrame(DrawMode::Program, *programPlayer, reference, t);
        const std::vector<uint8_t> drawn = gl.readPixels();
        clearFrame();
        drawCharacterFrame(DrawMode::Reference, *referencePlayer, reference, t);
        const std::vector<uint8_t> expected = gl.readPixels();
        for (size_t i = 0; i < drawn.size(); i += 3) {
            bool same = true;
            for (size_t c = 0; c < 3; ++c) {
                const int d = std::abs(int(drawn[i + c]) - int(expected[i + c]));
                largest = std::max(largest, d);
                same = same && d == 0;
            }
            differing += same ? 0 : 1;
            covered += (drawn[i] | drawn[i + 1] | drawn[i + 2]) ? 1 : 0;
        }
        if (k == kCheckFrames && !options.png.empty())
            platform::WritePng(options.png, kWidth, kHeight, drawn);
    }
    std::printf("frames %d, character pixels %zu, differing pixels %zu, largest channel difference %d\n",
                kCheckFrames, covered, differing, largest);
    return differing == 0 ? 0 : 1;
}

struct TimingScene {
    std::unique_ptr<testsupport::HeadlessGL> gl;
    std::unique_ptr<Q3Player> program;
    std::unique_ptr<Q3Player> referencePlayer;
    std::unique_ptr<ReferenceDrawer> reference;
};

TimingScene& timingScene()
{
    static TimingScene scene;
    return scene;
}

void benchDraw(benchmark::State& state, DrawMode mode)
{
    TimingScene& scene = timingScene();
    Q3Player& player = mode == DrawMode::Program ? *scene.program : *scene.referencePlayer;
    int k = 0;
    for (auto _ : state) {
        clearFrame();
        const auto start = std::chrono::steady_clock::now();
        drawCharacterFrame(mode, player, *scene.reference, kFrameSeconds * float(++k));
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

int runTiming(const Options& options, int argc, char** argv)
{
    TimingScene& scene = timingScene();
    scene.gl = std::make_unique<testsupport::HeadlessGL>(kWidth, kHeight);
    setUpScene();
    scene.program = loadCharacter(options);
    scene.referencePlayer = loadCharacter(options);
    scene.reference = std::make_unique<ReferenceDrawer>(*scene.referencePlayer);
    benchmark::RegisterBenchmark("Draw/program", benchDraw, DrawMode::Program)->UseManualTime();
    benchmark::RegisterBenchmark("Draw/reference", benchDraw, DrawMode::Reference)->UseManualTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    scene = TimingScene{};
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--model-root" && hasValue)
            options.modelRoot = argv[++i];
        else if (arg == "--character" && hasValue)
            options.character = argv[++i];
        else if (arg == "--mode" && hasValue)
            options.mode = argv[++i];
        else if (arg == "--frames" && hasValue)
            options.frames = std::atoi(argv[++i]);
        else if (arg == "--warmup" && hasValue)
            options.warmup = std::atoi(argv[++i]);
        else if (arg == "--png" && hasValue)
            options.png = argv[++i];
        else if (arg == "--check")
            options.check = true;
        else
            rest.push_back(argv[i]);
    }
    const bool modeKnown = options.mode.empty() || options.mode == "program" || options.mode == "reference";
    if (options.modelRoot.empty() || !modeKnown || (options.mode.empty() != (options.frames < 0))) {
        std::fprintf(stderr, "usage: quillmo_bench_draw --model-root DIR [--character NAME]\n"
                             "         (--mode program|reference --frames N [--warmup W] | --check [--png FILE]"
                             " | [benchmark options])\n");
        return 2;
    }
    platform::SetNonInteractive(true);
    BuildNormalTable();
    if (!options.mode.empty())
        return runFrames(options);
    if (options.check)
        return runCheck(options);
    return runTiming(options, static_cast<int>(rest.size()), rest.data());
}
