#include "CharacterPicture.h"

#include "LibraryUnits.h"
#include "Scene.h"

#include "OpglLib/base/Component.h"
#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglManage.h"
#include "OpglLib/OpglTxtFont.h"
#include "OpglLib/OpglUniFont.h"
#include "game/GameAnimation.h"
#include "game/GameRenderer.h"
#include "platform/system/Dialogs.h"
#include "platform/system/System.h"
#include "platform/window/Window.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Text is drawn with the texture font's 32-unit cells scaled to this many
// pixels; a single-byte character advances by half of it.
constexpr int kTextCellPixels = 16;
constexpr float kTextScale = static_cast<float>(kTextCellPixels) / TGLTxtFont::kCellSize;
constexpr int kTextAdvancePixels = static_cast<int>(TGLTxtFont::kSingleAdvance * kTextScale);
constexpr int kTextMargin = 3;
// The label's strip below the character, never more than this share of the picture.
constexpr int kLabelStripPixels = kTextCellPixels + 2;
constexpr int kLabelStripLargestShare = 4; // one quarter
// Glyphs over blackened cells: readable whatever the background or the character.
constexpr uint8_t kTextColorMode = 0;
constexpr const char* kCutMark = "...";

constexpr float kCrossLineWidth = 3.0f;
constexpr const char* kPlayingCaption = "Character";

// The overlay fonts lay out text in desktop pixels stretched over the
// viewport; while a picture's text is drawn the desktop is the picture, so
// that text units are the picture's pixels and glyphs are not distorted.
class DesktopAsPicture {
public:
    DesktopAsPicture(int width, int height) : saved_(platform::DesktopSize())
    {
        platform::SetDesktopSize({width, height});
    }
    ~DesktopAsPicture() { platform::SetDesktopSize(saved_); }
    DesktopAsPicture(const DesktopAsPicture&) = delete;
    DesktopAsPicture& operator=(const DesktopAsPicture&) = delete;

private:
    platform::ScreenSize saved_;
};

// text in lines of at most columns bytes, broken at spaces where it can be
// and within words where it must; more than maxLines lines are cut, the last
// one kept ending in kCutMark.
std::vector<std::string> wrapText(const std::string& text, size_t columns, size_t maxLines)
{
    std::vector<std::string> lines;
    if (columns == 0 || maxLines == 0)
        return lines;
    std::string line;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find_first_of(" \n", pos);
        std::string word = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        while (!word.empty()) {
            const size_t room = line.empty() ? columns : (line.size() + 1 < columns ? columns - line.size() - 1 : 0);
            if (word.size() <= room) {
                line += (line.empty() ? "" : " ") + word;
                word.clear();
            } else if (line.empty()) {
                lines.push_back(word.substr(0, columns));
                word.erase(0, columns);
            } else {
                lines.push_back(std::move(line));
                line.clear();
            }
        }
        if (end != std::string::npos && text[end] == '\n' && !line.empty()) {
            lines.push_back(std::move(line));
            line.clear();
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    if (lines.size() > maxLines) {
        lines.resize(maxLines);
        std::string& last = lines.back();
        const size_t mark = std::string(kCutMark).size();
        last = (last.size() + mark > columns ? last.substr(0, columns > mark ? columns - mark : 0) : last) + kCutMark;
    }
    return lines;
}

} // namespace

OffscreenRun::OffscreenRun() : wasNonInteractive_(platform::IsNonInteractive()), wasReadOnly_(SettingsReadOnly())
{
    platform::SetNonInteractive(true);
    SetSettingsReadOnly(true);
    StartUnits(LibraryUnits());
    try {
        platform::Application::Initialize(true);
    } catch (...) {
        EndUnits(LibraryUnits());
        SetSettingsReadOnly(wasReadOnly_);
        platform::SetNonInteractive(wasNonInteractive_);
        throw;
    }
}

OffscreenRun::~OffscreenRun()
{
    platform::Application::Finish();
    EndUnits(LibraryUnits());
    SetSettingsReadOnly(wasReadOnly_);
    platform::SetNonInteractive(wasNonInteractive_);
}

PictureStudio::PictureStudio(int width, int height) : window_(width, height, true), width_(width), height_(height)
{
    // The scene's state as the viewer's window gets it when it is made.
    TGLManager::Instance()->InitGLState();
    BuildNormalTable();
    TGLTxtFont::Instance()->BuildFont(kAllEnglish, nullptr);
    TGLTxtFont::Instance()->ColorMode = kTextColorMode;
    PlaceSceneLights();
    glEnable(GL_TEXTURE_2D);
}

PictureStudio::~PictureStudio()
{
    // The textures and the font's lists go while their context is current.
    textures_.Clear();
    TGLTxtFont::Instance()->ReleaseAll();
}

void PictureStudio::useShadersOf(const std::string& gameRoot)
{
    if (shadersRead_ && shadersRoot_ == gameRoot)
        return;
    shaders_ = ReadShaderScripts();
    shadersRoot_ = gameRoot;
    shadersRead_ = true;
}

Picture PictureStudio::DrawCharacter(const CharacterChoice& choice, const std::string& label)
{
    const TexturesClearedAtEnd freed(textures_);
    GamePlayer player;
    GamePart weapon;
    loadCharacter(choice, player, weapon, false);
    UseStillPose(player, choice.animations);
    return drawModel(player.Lower, label);
}

void PictureStudio::loadCharacter(const CharacterChoice& choice, GamePlayer& player, GamePart& weapon, bool partly)
{
    MountChoice(choice);
    useShadersOf(choice.gameRoot);
    const platform::LoadWatch watch;
    try {
        LoadCharacter(choice, player, weapon, textures_);
    } catch (const std::exception& e) {
        if (!partly)
            throw;
        // What loaded before the failure plays, as character mode shows it.
        platform::ShowMessage(e.what(), kPlayingCaption);
    }
}

Picture PictureStudio::DrawPart(const CharacterChoice& data, const std::string& path)
{
    MountChoice(data);
    useShadersOf(data.gameRoot);
    const TexturesClearedAtEnd freed(textures_);
    GamePart part;
    {
        const platform::LoadWatch watch;
        LoadGamePart(part, path, textures_);
    }
    return drawModel(part, "");
}

int PictureStudio::labelStrip(const std::string& label) const
{
    return label.empty() ? 0 : std::min(kLabelStripPixels, height_ / kLabelStripLargestShare);
}

Picture PictureStudio::drawModel(const GamePart& root, const std::string& label)
{
    const int strip = labelStrip(label);
    const StartView view = SceneStartView();
    const ViewAxes axes = StartViewAxes(view);
    const TGLCameraRec rec =
        FramePose(PoseAlong(root.model, axes, MeshesDrawingNothing(root)), axes, view, strip, width_, height_ - strip,
                  kPictureFill);
    return drawFramed(root, rec, strip, label, 0, 0);
}

Picture PictureStudio::drawFramed(const GamePart& root, TGLCameraRec rec, int strip, const std::string& label,
                                  double turnDegrees, double shaderSeconds)
{
    glViewport(0, 0, width_, height_);
    TGLManager::Instance()->ClearBuffers();
    TGLCamera* camera = TGLCamera::Instance();
    camera->ApplyProjection(rec);
    camera->ApplyView(rec);
    TGLLighter::Instance()->DrawLights(false, 0.0f);
    glPushMatrix();
    glRotatef(static_cast<GLfloat>(turnDegrees), 0.0f, 1.0f, 0.0f);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    UseCharacterColours();
    DrawGameModel(root, shaderSeconds);
    glPopMatrix();
    glBindTexture(GL_TEXTURE_2D, 0);
    // The label lies below the character's viewport, in the whole picture's.
    glViewport(0, 0, width_, height_);
    drawText(kTextMargin, (strip - kTextCellPixels) / 2, label);
    return readPicture();
}

std::vector<Picture> PictureStudio::DrawPlaying(const CharacterChoice& choice, size_t count, double frameSeconds,
                                                double turnDegrees)
{
    std::vector<Picture> pictures;
    DrawPlaying(choice, count, frameSeconds, turnDegrees, 1,
                [&](int, Picture&& picture) { pictures.push_back(std::move(picture)); });
    return pictures;
}

void PictureStudio::DrawPlaying(const CharacterChoice& choice, size_t count, double frameSeconds, double turnDegrees,
                                int passes, const std::function<void(int pass, Picture&& picture)>& each)
{
    const TexturesClearedAtEnd freed(textures_);
    GamePlayer player;
    GamePart weapon;
    loadCharacter(choice, player, weapon, true);
    // Each pass plays from the first frames on a clock started at 0.
    const auto start = [&] {
        // The game's playback of the pass before forgotten too: its clock
        // went on to the pass's end, and a stale lerp holds the parts still.
        for (GamePart* part : {&player.Lower, &player.Upper, &player.Head})
            part->lerp = GameLerp{};
        UseStillPose(player, choice.animations);
        for (GamePart* part : {&player.Lower, &player.Upper, &player.Head})
            part->model.LastTime = 0;
    };
    const auto secondsOf = [&](size_t i) { return static_cast<float>(static_cast<double>(i) * frameSeconds); };
    // The model turned by a is seen as the unturned model along the view's
    // axes turned by -a about the vertical.
    const StartView view = SceneStartView();
    const ViewAxes axes = StartViewAxes(view);
    const auto turnedAxes = [&](double degrees) {
        const double a = -degrees * std::numbers::pi / 180.0, c = std::cos(a), s = std::sin(a);
        const auto turn = [&](const ScenePoint& v) { return ScenePoint{v[0] * c + v[2] * s, v[1], -v[0] * s + v[2] * c}; };
        return ViewAxes{turn(axes.right), turn(axes.up), turn(axes.toEye)};
    };
    // One framing holds every pose; for a long recording the poses of at
    // most kMostFramedPictures pictures spread evenly over it (the first and
    // the last among them), so that its memory does not grow with the length.
    constexpr size_t kMostFramedPictures = 250;
    const size_t every = (count + kMostFramedPictures - 1) / kMostFramedPictures;
    PoseInView all;
    const std::unordered_set<const TMesh*> drawingNothing = MeshesDrawingNothing(player.Lower);
    start();
    for (size_t i = 0; i < count; ++i) {
        UpdateGamePlayer(player, secondsOf(i));
        if (every > 1 && i % every != 0 && i + 1 != count)
            continue;
        const PoseInView pose =
            PoseAlong(player.Lower.model, turnedAxes(static_cast<double>(i) * turnDegrees), drawingNothing);
        for (const ScenePoint& point : pose.points)
            all.box.Add(point);
        all.points.insert(all.points.end(), pose.points.begin(), pose.points.end());
    }
    const TGLCameraRec rec = FramePose(all, axes, view, 0, width_, height_, kPictureFill);
    for (int pass = 0; pass < passes; ++pass) {
        start();
        for (size_t i = 0; i < count; ++i) {
            UpdateGamePlayer(player, secondsOf(i));
            each(pass, drawFramed(player.Lower, rec, 0, "", static_cast<double>(i) * turnDegrees, secondsOf(i)));
        }
    }
}

Picture PictureStudio::DrawFailure(const std::string& label, const std::string& text)
{
    glViewport(0, 0, width_, height_);
    TGLManager::Instance()->ClearBuffers();
    const int strip = labelStrip(label);
    drawCross(strip);
    const size_t columns = static_cast<size_t>(std::max(width_ - 2 * kTextMargin, 0) / kTextAdvancePixels);
    const size_t rows = static_cast<size_t>(std::max(height_ - strip - 2 * kTextMargin, 0) / kTextCellPixels);
    const std::vector<std::string> lines = wrapText(text, columns, rows);
    for (size_t i = 0; i < lines.size(); ++i)
        drawText(kTextMargin, height_ - kTextMargin - static_cast<int>(i + 1) * kTextCellPixels, lines[i]);
    drawText(kTextMargin, (strip - kTextCellPixels) / 2, label);
    return readPicture();
}

Picture PictureStudio::DrawBlank()
{
    glViewport(0, 0, width_, height_);
    TGLManager::Instance()->ClearBuffers();
    return readPicture();
}

void PictureStudio::drawText(int x, int y, const std::string& text) const
{
    if (text.empty())
        return;
    DesktopAsPicture desktop(width_, height_);
    // The font takes overlay coordinates from 0 up; a line partly below the
    // picture is cut by the picture's edge instead.
    TGLTxtFont::Instance()->DrawText(static_cast<uint32_t>(std::max(x, 0)), static_cast<uint32_t>(std::max(y, 0)),
                                     text.c_str(), kTextScale);
}

void PictureStudio::drawCross(int bottom) const
{
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width_, 0.0, height_, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLineWidth(kCrossLineWidth);
    glColor3f(1.0f, 0.0f, 0.0f);
    const float left = kTextMargin, right = static_cast<float>(width_ - kTextMargin);
    const float low = static_cast<float>(bottom + kTextMargin), high = static_cast<float>(height_ - kTextMargin);
    glBegin(GL_LINES);
    glVertex2f(left, low);
    glVertex2f(right, high);
    glVertex2f(left, high);
    glVertex2f(right, low);
    glEnd();
    glPopAttrib();
}

Picture PictureStudio::readPicture() const
{
    // The offscreen context has a single buffer: the picture is read where
    // it was drawn, and nothing is ever swapped.
    Picture picture;
    picture.width = width_;
    picture.height = height_;
    picture.rgb.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, picture.rgb.data());
    return picture;
}
