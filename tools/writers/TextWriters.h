#pragma once
// Small builders for the two text files of a character: the skin files
// ("surface,path" lines) and the animation table "animation.cfg".
#include <string>
#include <vector>

namespace writers {

struct SkinLine {
    std::string surface; // a surface name, or a tag name such as "tag_head"
    std::string path;    // forward-slash path; empty for tag lines
};

// One "surface,path" line per entry, each ending in LF.
std::string skinText(const std::vector<SkinLine>& lines);

struct AnimationLine {
    int firstFrame = 0;
    int frameCount = 0;
    int loopingFrames = 0;
    int framesPerSecond = 0;
    std::string name;
};

struct AnimationConfig {
    std::vector<std::string> comments; // written as "// text" lines at the top
    char sex = 'm';
    std::string footsteps = "normal";
    std::vector<std::string> keywords; // lines after "footsteps", such as "fixedlegs"
    std::vector<AnimationLine> lines;
    std::string lineEnd = "\n";   // "\r\n" as Windows editors leave it
    std::string separator = "\t"; // between fields; spaces where an editor replaced the TABs
    bool oneLine = false;          // every number on one line, without the names
};

// The usual layout: comment lines, "sex", "headoffset" and "footsteps" lines,
// the keyword lines, then one line per animation: four numbers each followed
// by the separator, and "// NAME" after one more separator; or, oneLine,
// all the numbers on one line separated by blanks.
std::string animationConfigText(const AnimationConfig& config);

} // namespace writers
