#pragma once
// What the viewer's window shows: a set of characters that the window draws
// every frame, titles itself after, and hands the keys and dropped files it
// does not handle itself. The window owns this interface; the sample
// characters of the model folder and character mode each implement it.
#include "model/Model.h"
#include "platform/window/Input.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

// What a key or a drop did to the set.
enum class SetChange {
    None,         // not the set's: nothing changed
    Redraw,       // handled; draw a new frame
    NewCharacter, // the set chose another character: the window closes the old
                  // one, restarts its animation clock, retitles, opens it and
                  // frames it
    NewSkin,      // as NewCharacter, but the camera stays where it is (the same
                  // figure in other colours)
    Frame,        // the window frames the character again
    SaveView,     // the window hands the set a picture of its view
};

// How the window draws the world axes with a set.
enum class SceneAxes {
    Described, // the stippled axes and, as the settings say, their coloured planes
    Lines,     // the stippled axes alone
    Hidden,    // none
};

class CharacterSet {
public:
    virtual ~CharacterSet() = default;

    // Loads what the set shows; runs with the window's GL context current.
    // Throws what the loaders throw.
    virtual void Open() = 0;
    // Frees what Open made while the GL context is still current.
    virtual void Close() = 0;
    // Draws the characters at animation time seconds, in their own Z-up
    // coordinates (the window stands them upright).
    virtual void Draw(float seconds) = 0;
    // Plays the animation of that index from now on (the pose key).
    virtual void SetPose(uint32_t animation) = 0;
    // The window's title while the set is shown; "" keeps the window's own.
    virtual std::string Title() const = 0;
    // A key the window does not handle itself.
    virtual SetChange HandleKey(uint16_t key, platform::TShiftState shift) = 0;
    // A file or folder dropped on the window.
    virtual SetChange Drop(const std::string& path) = 0;
    // The window's animation clock stopped (pause) or runs again.
    virtual void SetPaused(bool paused) = 0;
    // The part tree the window frames, brought to its pose at animation time
    // seconds; nullptr leaves the camera as it is.
    virtual const TMD3Model* FramedModel(float seconds) = 0;
    // The meshes of that tree that draw nothing, which framing leaves out.
    virtual std::unordered_set<const TMesh*> MeshesDrawingNothing() const { return {}; }
    // The lines of text the overlay shows for the set, top to bottom (the
    // window wraps long ones and leaves out what does not fit); empty for the
    // window's own overlay.
    virtual std::vector<std::string> OverlayLines() const = 0;
    // Keeps a picture of the view: width x height RGB pixels, bottom row
    // first. Throws nothing: the set tells the user what became of it.
    virtual void SaveView(int width, int height, const std::vector<uint8_t>& rgb) = 0;
    // How the world axes are drawn with the set.
    virtual SceneAxes Axes() const { return SceneAxes::Described; }
};
