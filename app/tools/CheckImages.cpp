#include "CheckImages.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <utility>

namespace {

// What the game does with a Targa its reader refuses: it stops with an error
// (the game's dropping error) and leaves the level for its menu.
constexpr const char* kGameStopsOnImage =
    "the game stops with an error when it loads this image and drops back to its menu";

} // namespace

void ImageCheck::Report(const std::string& skin, const std::string& whereText, const std::string& image,
                        std::set<std::string>& reportedImages)
{
    const Judgement& judged = judge(image);
    if (!judged.failure && !judged.targa)
        return;
    if (!reportedImages.insert(platform::LowerCase(image)).second)
        return;
    const std::string where = " (" + whereText + ")";
    if (judged.targa && !judged.targa->refusal.empty()) {
        findings_.Add(skin, Severity::Error, FindingKind::ImageGameRefuses, {image},
                      image + ": the game refuses this image (" + judged.targa->refusal +
                          ") and stops with an error when it loads it, dropping back to its menu; " +
                          (judged.failure ? "Quillmo cannot read it either" : "Quillmo draws it") + where,
                      kGameStopsOnImage);
        return;
    }
    if (judged.failure) {
        findings_.Add(skin, Severity::Error, FindingKind::ImageRejected, {image}, *judged.failure + where);
        return;
    }
    reportOrientation(skin, image, *judged.targa, where);
}

// A Targa the game reads with origin bits it ignores.
void ImageCheck::reportOrientation(const std::string& skin, const std::string& image,
                                   const TargaGameReading& targa, const std::string& where)
{
    if (!targa.upsideDown && !targa.mirrored)
        return;
    const std::string flags = targa.upsideDown && targa.mirrored ? "top-down and right-to-left flags"
                              : targa.upsideDown                  ? "top-down flag"
                                                                  : "right-to-left flag";
    const std::string shown = targa.upsideDown && targa.mirrored ? "upside down and mirrored"
                              : targa.upsideDown                  ? "upside down"
                                                                  : "mirrored";
    findings_.Add(skin, Severity::Warning, FindingKind::ImageOrientation, {image},
                  image + ": the game ignores the image's " + flags + " and shows it " + shown +
                      "; stored bottom row first, left to right, it would show as made" + where,
                  "the game shows this image " + shown);
}

const ImageCheck::Judgement& ImageCheck::judge(const std::string& path)
{
    const std::string key = platform::LowerCase(path);
    if (auto known = images_.find(key); known != images_.end())
        return known->second;
    Judgement judged;
    try {
        ImageFile file = ReadGameImageFile(path);
        if (file.failure)
            judged.failure = file.failure->text;
        judged.targa = std::move(file.targa);
    } catch (const platform::EInOutError& e) {
        judged.failure = e.what();
    }
    // Some messages say only what went wrong; the finding names the file.
    if (judged.failure && judged.failure->find(path) == std::string::npos)
        judged.failure = path + ": " + *judged.failure;
    return images_[key] = std::move(judged);
}
