#include "Thumbnail.h"

#include "app/common/CharacterChoice.h"
#include "app/common/CharacterPicture.h"
#include "app/common/Outputs.h"
#include "textures/ImageMemory.h"
#include "platform/images/PngFile.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

constexpr int kDefaultSide = 256;
constexpr uint64_t kThumbnailImageMemory = uint64_t{128} << 20;
constexpr const char* kFileScheme = "file://";
constexpr const char* kPartExtension = ".md3";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A percent sign not followed by two hexadecimal digits stays as it is.
std::string percentDecoded(const std::string& text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

// A folder holding all three parts, in any letter case.
bool holdsAllParts(const fs::path& folder)
{
    std::set<std::string> parts;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        parts.insert(platform::LowerCase(it->path().filename().string()));
    return parts.count("lower.md3") && parts.count("upper.md3") && parts.count("head.md3");
}

// What a thumbnail shows: a character, or one part of some game data.
struct Subject {
    std::optional<CharacterChoice> character;
    CharacterChoice partData; // the game data of the part
    std::string partPath;
};

// Throws CharacterError for an input that names nothing to draw.
Subject subjectOf(const std::string& path)
{
    std::error_code error;
    if (!fs::exists(path, error))
        throw CharacterError("no such file or folder");
    const bool partFile = fs::is_regular_file(path, error) && platform::LowerCase(fs::path(path).extension().string()) ==
                                                                   kPartExtension;
    Subject subject;
    if (!partFile) {
        subject.character = ResolvePathChoice(path);
        return subject;
    }
    const fs::path folder = fs::absolute(path, error).parent_path();
    if (holdsAllParts(folder)) {
        subject.character = ResolvePathChoice(folder.string());
        return subject;
    }
    const GameDataPlace place = PlaceInGameData(folder.string());
    subject.partData.gameRoot = place.gameRoot;
    // A part that lies under no "models" folder brings its own folder alone.
    subject.partData.ownFilesOnly = place.folder.empty();
    subject.partPath = place.folder + fs::path(path).filename().string();
    return subject;
}

} // namespace

std::string ThumbnailInputPath(const std::string& input)
{
    const std::string scheme = kFileScheme;
    if (platform::LowerCase(input.substr(0, scheme.size())) != scheme)
        return input;
    std::string rest = input.substr(scheme.size());
    // "file://host/path": the host is empty, "localhost" or this machine's
    // name; a file of another machine is not one to read here.
    const size_t slash = rest.find('/');
    const std::string host = platform::LowerCase(percentDecoded(rest.substr(0, slash)));
    const std::optional<std::string> machine = platform::MachineName();
    if (!host.empty() && host != "localhost" && !(machine && host == platform::LowerCase(*machine)))
        throw std::invalid_argument("the file is on another machine (" + host + ")");
    rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    return percentDecoded(rest);
}

int RunThumbnail(const CommandLine& options)
{
    std::string input;
    try {
        input = ThumbnailInputPath(*options.thumbnailInput);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "Quillmo: %s: %s\n", options.thumbnailInput->c_str(), e.what());
        return kExitProblems;
    }
    const std::string& output = *options.thumbnailOutput;
    const int side = options.thumbnailSize.value_or(kDefaultSide);
    // A file manager runs thumbnailers without asking: whatever an archive
    // holds, images are decoded no larger than the picture, and the memory
    // for the few that cannot be decoded reduced (PNG) stays small.
    UseDecodedImageSide(side);
    SetImageMemoryLimit(std::min(ImageMemoryLimit(), kThumbnailImageMemory));
    Picture picture;
    try {
        OffscreenRun run;
        Subject subject = subjectOf(input);
        if (subject.character)
            subject.character->animations = options.animations;
        PictureStudio studio(side, side);
        picture = subject.character ? studio.DrawCharacter(*subject.character, "")
                                    : studio.DrawPart(subject.partData, subject.partPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Quillmo: %s: %s\n", input.c_str(), e.what());
        return kExitProblems;
    }
    const int status = FinishOutput(kExitDone, [&] { platform::WritePng(output, picture.width, picture.height, picture.rgb); });
    if (status != kExitDone) {
        // A file the encoder left half written is no thumbnail (a device
        // such as /dev/full is left alone).
        std::error_code error;
        if (fs::is_regular_file(output, error))
            fs::remove(output, error);
    }
    return status;
}
