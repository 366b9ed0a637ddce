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
    const std::string& sep = config.separator;
    out += "sex" + sep.substr(0, 1) + config.sex + "\n\n";
    out += "headoffset 0 0 0\n";
    out += "footsteps " + config.footsteps + "\n";
    for (const auto& keyword : config.keywords)
        out += keyword + "\n";
    out += "\n// first frame, num frames, looping frames, frames per second\n\n";
    for (const auto& line : config.lines) {
        if (config.oneLine) {
            out += std::to_string(line.firstFrame) + " " + std::to_string(line.frameCount) + " " +
                   std::to_string(line.loopingFrames) + " " + std::to_string(line.framesPerSecond) + " ";
            continue;
        }
        out += std::to_string(line.firstFrame) + sep + std::to_string(line.frameCount) + sep
               + std::to_string(line.loopingFrames) + sep + std::to_string(line.framesPerSecond) + sep + sep
               + "// " + line.name + "\n";
    }
    if (config.oneLine)
        out += "\n";
    if (config.lineEnd == "\n")
        return out;
    std::string ended;
    for (char c : out)
        ended += c == '\n' ? config.lineEnd : std::string(1, c);
    return ended;
}

} // namespace writers
