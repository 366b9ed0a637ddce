#pragma once
// Modal message boxes. In non-interactive mode (tests, --batch) no box is
// shown: each message goes to standard error as "caption: text", is recorded
// for tests, and is answered as if the box had been closed.
#include <string>
#include <vector>

namespace platform {

enum class DialogAnswer { Yes, No, Closed };

struct RecordedMessage {
    std::string caption;
    std::string text;
};

// An OK box with text and caption.
void ShowMessage(const std::string& text, const std::string& caption);
// A Yes/No question; Closed when the box was closed without an answer.
DialogAnswer AskYesNo(const std::string& text, const std::string& caption);
// The framework's standard error box for an exception that ended a handler.
void ShowErrorBox(const std::string& message);

void SetNonInteractive(bool on);
bool IsNonInteractive();
// Messages shown since the last clear, in order (recorded in either mode).
const std::vector<RecordedMessage>& RecordedMessages();
void ClearRecordedMessages();

} // namespace platform
