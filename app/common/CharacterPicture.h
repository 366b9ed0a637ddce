#pragma once
// Pictures of characters drawn without a window, for the tools that make
// contact sheets and thumbnails and for the export's animated previews: one
// hidden GL context of a fixed size with the viewer's GL state, lights and
// texture font, in which a character of game data (or a single part) stands
// in its standing pose, framed to fill the picture, and is read back as
// pixels.
#include "CharacterChoice.h"
#include "PoseFraming.h"

#include "game/GameData.h"
#include "platform/window/BareGLWindow.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// RGB pixels, bottom row first (as GL reads them and WritePng takes them).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// A tool's run without a window: no modal box ever (messages go to standard
// error), settings read but never written, the units of the libraries
// started (the window's unit is not needed) and SDL's offscreen driver; each
// undone in reverse order when the object goes.
class OffscreenRun {
public:
    // Throws std::runtime_error when the video system cannot start.
    OffscreenRun();
    ~OffscreenRun();
    OffscreenRun(const OffscreenRun&) = delete;
    OffscreenRun& operator=(const OffscreenRun&) = delete;

private:
    bool wasNonInteractive_;
    bool wasReadOnly_;
};

// The hidden GL context in which the pictures are drawn, all of one size.
// The texture font is built once for the studio's life; each character's
// textures are freed as soon as its picture is read.
class PictureStudio {
public:
    // A hidden width x height context with the scene's GL state, the viewer's
    // lights and the texture font; needs an OffscreenRun. Throws
    // std::runtime_error when the context cannot be made.
    PictureStudio(int width, int height);
    ~PictureStudio();
    PictureStudio(const PictureStudio&) = delete;
    PictureStudio& operator=(const PictureStudio&) = delete;

    // The character of choice with its weapon, in the first frame of its
    // chosen animations (by default its standing pose), and
    // label in the lower left corner when it is not empty (the character is
    // then framed above it). Loading is a platform::LoadWatch: its messages
    // count as load problems. Throws what mounting and loading throw, and
    // NothingToDraw.
    Picture DrawCharacter(const CharacterChoice& choice, const std::string& label);
    // The character of choice playing its chosen animations (by default its
    // standing pose) from their first frames: count pictures, one every
    // frameSeconds of the animation clock (which the shaders run on too),
    // the character turned turnDegrees further about the vertical in each
    // picture than in the one before. One framing for them all, which holds
    // the pose of every picture (of at most 250 spread evenly over a longer
    // run). Loads as DrawCharacter, but a part that
    // cannot be loaded is a message (a load problem) and the rest plays;
    // throws what mounting throws, and NothingToDraw.
    std::vector<Picture> DrawPlaying(const CharacterChoice& choice, size_t count, double frameSeconds,
                                     double turnDegrees);
    // The same pictures handed to each as they are drawn, none kept, in
    // passes passes over the animation (the same pictures in each).
    void DrawPlaying(const CharacterChoice& choice, size_t count, double frameSeconds, double turnDegrees,
                     int passes, const std::function<void(int pass, Picture&& picture)>& each);
    // The MD3 at path in the game data of data (its gameRoot and
    // ownFilesOnly), alone in its first frame, textured from its shader
    // names. Throws what mounting and LoadMD3 throw, and NothingToDraw.
    Picture DrawPart(const CharacterChoice& data, const std::string& path);
    // What is drawn for a character that could not be: a red cross, the
    // error text wrapped (and cut) to fit, and the label.
    Picture DrawFailure(const std::string& label, const std::string& text);
    // The background alone.
    Picture DrawBlank();

    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    // Mounts the choice's game data and loads its character with textures in
    // textures_ under a LoadWatch; partly: an exception of loading is a
    // message, and what loaded stays.
    void loadCharacter(const CharacterChoice& choice, GamePlayer& player, GamePart& weapon, bool partly);
    Picture drawModel(const GamePart& root, const std::string& label);
    Picture drawFramed(const GamePart& root, TGLCameraRec rec, int strip, const std::string& label,
                       double turnDegrees, double shaderSeconds);
    void useShadersOf(const std::string& gameRoot);
    void drawText(int x, int y, const std::string& text) const;
    void drawCross(int bottom) const;
    int labelStrip(const std::string& label) const;
    Picture readPicture() const;

    platform::BareGLWindow window_;
    int width_;
    int height_;
    ShaderTable shaders_;
    std::string shadersRoot_;
    bool shadersRead_ = false;
    TextureSet textures_{&shaders_};
};
