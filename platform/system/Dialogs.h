#pragma once
// Modal message boxes. In non-interactive mode (tests, --batch) no box is
// shown: each message goes to standard error as "caption: text", is recorded
// for tests, and is answered as if the box had been closed.
//
// The boxes themselves belong to the window system, which installs the one
// function that shows them (platform/window/MessageBoxes.h); everything below
// the window (the file layer, the readers) reports through here without
// knowing it. Until one is installed, a box's text goes to standard error
// and the box counts as closed.
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

enum class DialogAnswer { Yes, No, Closed };

struct RecordedMessage {
    std::string caption;
    std::string text;
};

// An OK box with text and caption.
void ShowMessage(const std::string& text, const std::string& caption);
// The same for what the user should know but nothing went wrong for: it is
// no load problem (LoadWatch below does not count it).
void ShowNote(const std::string& text, const std::string& caption);
// A Yes/No question; Closed when the box was closed without an answer.
DialogAnswer AskYesNo(const std::string& text, const std::string& caption);
// The framework's standard error box for an exception that ended a handler.
void ShowErrorBox(const std::string& message);

// What a box shows and offers, and what the user did with it.
enum class MessageBoxKind { Information, Question, Error }; // OK, Yes/No, OK
enum class MessageBoxResult { Ok, Yes, No, Closed };
struct MessageBoxRequest {
    std::string text;
    std::string caption;
    MessageBoxKind kind;
};
using MessageBoxShower = MessageBoxResult (*)(const MessageBoxRequest& request);
// Installs the function that shows boxes in interactive mode; nullptr removes it.
void SetMessageBoxShower(MessageBoxShower showBox);

// Takes the messages of ShowMessage and ShowErrorBox instead of a box while
// it is installed (a mode that gathers its problems to list them itself):
// each is still recorded and written to standard error as "caption: text",
// in either mode, and then handed to the collector. Questions still ask.
using MessageCollector = std::function<void(const RecordedMessage& message)>;
// Installs collector (an empty one removes it) and returns the one it replaces.
MessageCollector SetMessageCollector(MessageCollector collector);
// A collector installed for the life of the object; the one before comes back.
class ScopedMessageCollector {
public:
    explicit ScopedMessageCollector(MessageCollector collector)
        : previous_(SetMessageCollector(std::move(collector)))
    {
    }
    ~ScopedMessageCollector() { SetMessageCollector(std::move(previous_)); }
    ScopedMessageCollector(const ScopedMessageCollector&) = delete;
    ScopedMessageCollector& operator=(const ScopedMessageCollector&) = delete;

private:
    MessageCollector previous_;
};

void SetNonInteractive(bool on);
bool IsNonInteractive();

// The log of messages: every one shown since the last clear, in order
// (recorded in either mode), up to kMostRecordedMessages. Messages beyond
// that are still shown (and written to standard error in non-interactive
// mode) but not kept, so that a run meeting thousands of broken files holds
// no more than this many; UnrecordedMessageCount says how many were dropped.
// A log kept from its start rather than its end keeps the place of every
// message it holds, so callers may remember RecordedMessages().size() and
// later read what came after it.
inline constexpr size_t kMostRecordedMessages = 1000;
const std::vector<RecordedMessage>& RecordedMessages();
size_t UnrecordedMessageCount();
void ClearRecordedMessages();

// Loading problems. While a LoadWatch lives (around loading what a window
// or a picture shows), every message shown, question boxes aside, counts as
// a load problem, and so does an exception that leaves the watch (the error
// box shows it afterwards). The count is never cleared: a run without a
// window reads it at the end to say that what it drew was not whole.
class LoadWatch {
public:
    LoadWatch();
    ~LoadWatch();
    LoadWatch(const LoadWatch&) = delete;
    LoadWatch& operator=(const LoadWatch&) = delete;

private:
    int exceptionsBefore_;
};
// Load problems counted since the program started.
size_t LoadProblemCount();

} // namespace platform
