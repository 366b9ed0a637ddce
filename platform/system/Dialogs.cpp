#include "Dialogs.h"

#include "System.h"

#include <cstdio>
#include <utility>

namespace platform {

namespace {

bool nonInteractive = false;
std::vector<RecordedMessage> recorded;
MessageBoxShower shower = nullptr;
MessageCollector collector;

void record(const std::string& caption, const std::string& text)
{
    recorded.push_back({caption, text});
    if (nonInteractive) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
    }
}

// Hands a message to the installed collector instead of a box; false when
// none is installed.
bool collect(const std::string& caption, const std::string& text)
{
    if (!collector)
        return false;
    record(caption, text);
    // Non-interactive mode has written it already.
    if (!nonInteractive) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
    }
    // The collector may install another one while it runs.
    const MessageCollector current = collector;
    current({caption, text});
    return true;
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
    if (collect(caption, text))
        return;
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
    if (collect(caption, message))
        return;
    record(caption, message);
    if (!nonInteractive)
        show({message, caption, MessageBoxKind::Error});
}

void SetMessageBoxShower(MessageBoxShower showBox) { shower = showBox; }

MessageCollector SetMessageCollector(MessageCollector next)
{
    MessageCollector previous = std::move(collector);
    collector = std::move(next);
    return previous;
}

void SetNonInteractive(bool on) { nonInteractive = on; }
bool IsNonInteractive() { return nonInteractive; }
const std::vector<RecordedMessage>& RecordedMessages() { return recorded; }
void ClearRecordedMessages() { recorded.clear(); }

} // namespace platform
