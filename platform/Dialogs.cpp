#include "Dialogs.h"

#include "System.h"

#include <SDL2/SDL.h>

#include <cstdio>

namespace platform {

namespace {

bool nonInteractive = false;
std::vector<RecordedMessage> recorded;

void record(const std::string& caption, const std::string& text)
{
    recorded.push_back({caption, text});
    if (nonInteractive) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
    }
}

// Shows a box with the given buttons; returns the id of the button pressed,
// or -1 when the box was closed or could not be shown.
int showBox(const std::string& text, const std::string& caption, Uint32 flags,
            const SDL_MessageBoxButtonData* buttons, int count)
{
    SDL_MessageBoxData data{};
    data.flags = flags;
    data.window = nullptr;
    data.title = caption.c_str();
    data.message = text.c_str();
    data.numbuttons = count;
    data.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        // No box could be shown (no display): fall back to standard error.
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return -1;
    }
    return pressed;
}

} // namespace

void ShowMessage(const std::string& text, const std::string& caption)
{
    record(caption, text);
    if (nonInteractive)
        return;
    const SDL_MessageBoxButtonData ok{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                                      1, "OK"};
    showBox(text, caption, SDL_MESSAGEBOX_INFORMATION, &ok, 1);
}

DialogAnswer AskYesNo(const std::string& text, const std::string& caption)
{
    record(caption, text);
    if (nonInteractive)
        return DialogAnswer::Closed;
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {0, 2, "No"},
    };
    switch (showBox(text, caption, SDL_MESSAGEBOX_INFORMATION, buttons, 2)) {
    case 1:
        return DialogAnswer::Yes;
    case 2:
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
    if (nonInteractive)
        return;
    const SDL_MessageBoxButtonData ok{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                                      1, "OK"};
    showBox(message, caption, SDL_MESSAGEBOX_ERROR, &ok, 1);
}

void SetNonInteractive(bool on) { nonInteractive = on; }
bool IsNonInteractive() { return nonInteractive; }
const std::vector<RecordedMessage>& RecordedMessages() { return recorded; }
void ClearRecordedMessages() { recorded.clear(); }

} // namespace platform
