#include "tools/writers/TextWriters.h"

namespace writers {

std::string skinText(const std::vector<SkinLine>& lines)
{
    std::string out;
    for (const auto& line : lines)
        out += line.surface + "," + line.path + "\n";
    return out;
}

std::string animationConfigText(const AnimationConfig& config)
{
    std::string out;
    for (const auto& comment : config.comments)
        out += "// " + comment + "\n";
    out += "\n";
    out += std::string("sex\t") + config.sex + "\n\n";
    out += "headoffset 0 0 0\n";
    out += "footsteps " + config.footsteps + "\n\n";
    out += "// first frame, num frames, looping frames, frames per second\n\n";
    for (const auto& line : config.lines) {
        out += std::to_string(line.firstFrame) + "\t" + std::to_string(line.frameCount) + "\t"
               + std::to_string(line.loopingFrames) + "\t" + std::to_string(line.framesPerSecond)
               + "\t\t// " + line.name + "\n";
    }
    return out;
}

} // namespace writers
