#include "Dialogs.h"

#include "System.h"

#include <cstdio>

namespace platform {

namespace {

bool nonInteractive = false;
std::vector<RecordedMessage> recorded;
MessageBoxShower shower = nullptr;

void record(const std::string& caption, const std::string& text)
{
    recorded.push_back({caption, text});
    if (nonInteractive) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
    }
}

MessageBoxResult show(const MessageBoxRequest& request)
{
    if (shower)
        return shower(request);
    // Nothing can show a box in this program: the text still reaches the user.
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    return MessageBoxResult::Closed;
}

} // namespace

void ShowMessage(const std::string& text, const std::string& caption)
{
    record(caption, text);
    if (!nonInteractive)
        show({text, caption, MessageBoxKind::Information});
}

DialogAnswer AskYesNo(const std::string& text, const std::string& caption)
{
    record(caption, text);
    if (nonInteractive)
        return DialogAnswer::Closed;
    switch (show({text, caption, MessageBoxKind::Question})) {
    case MessageBoxResult::Yes:
        return DialogAnswer::Yes;
    case MessageBoxResult::No:
        return DialogAnswer::No;
    default:
        return DialogAnswer::Closed;
    }
}

void ShowErrorBox(const std::string& message)
{
    std::string caption = ExtractFileName(ModuleFileName());
    if (auto dot = caption.rfind('.'); dot != std::string::npos && dot > 0)
        caption.erase(dot);
    record(caption, message);
    if (!nonInteractive)
        show({message, caption, MessageBoxKind::Error});
}

void SetMessageBoxShower(MessageBoxShower showBox) { shower = showBox; }

void SetNonInteractive(bool on) { nonInteractive = on; }
bool IsNonInteractive() { return nonInteractive; }
const std::vector<RecordedMessage>& RecordedMessages() { return recorded; }
void ClearRecordedMessages() { recorded.clear(); }

} // namespace platform
