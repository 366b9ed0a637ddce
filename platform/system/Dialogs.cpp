#include "Dialogs.h"

#include "System.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace platform {

namespace {

bool nonInteractive = false;
std::vector<RecordedMessage> recorded;
size_t unrecorded = 0;
MessageBoxShower shower = nullptr;
MessageCollector collector;
int loadWatches = 0; // LoadWatch objects alive
size_t loadProblems = 0;

enum class Counted { AsProblem, NotAProblem };

void record(const std::string& caption, const std::string& text, Counted counted = Counted::AsProblem)
{
    if (recorded.size() < kMostRecordedMessages)
        recorded.push_back({caption, text});
    else
        ++unrecorded;
    if (loadWatches > 0 && counted == Counted::AsProblem)
        ++loadProblems;
    if (nonInteractive) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
    }
}

// Hands a message to the installed collector instead of a box; false when
// none is installed.
bool collect(const std::string& caption, const std::string& text, Counted counted = Counted::AsProblem)
{
    if (!collector)
        return false;
    record(caption, text, counted);
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

void ShowNote(const std::string& text, const std::string& caption)
{
    if (collect(caption, text, Counted::NotAProblem))
        return;
    record(caption, text, Counted::NotAProblem);
    if (!nonInteractive)
        show({text, caption, MessageBoxKind::Information});
}

DialogAnswer AskYesNo(const std::string& text, const std::string& caption)
{
    record(caption, text, Counted::NotAProblem);
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
size_t UnrecordedMessageCount() { return unrecorded; }
void ClearRecordedMessages()
{
    recorded.clear();
    unrecorded = 0;
}

LoadWatch::LoadWatch() : exceptionsBefore_(std::uncaught_exceptions()) { ++loadWatches; }

LoadWatch::~LoadWatch()
{
    // Only the outermost watch counts an exception passing through them all.
    if (--loadWatches == 0 && std::uncaught_exceptions() > exceptionsBefore_)
        ++loadProblems;
}

size_t LoadProblemCount() { return loadProblems; }

} // namespace platform
