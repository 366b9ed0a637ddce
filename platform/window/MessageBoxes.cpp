#include "MessageBoxes.h"

#include "platform/system/Dialogs.h"

#include <SDL2/SDL.h>

#include <cstdio>

namespace platform {

namespace {

enum ButtonId { kOk = 1, kYes = 1, kNo = 2 };

// Shows a box with the given buttons; returns the id of the button pressed,
// or -1 when the box was closed or could not be shown.
int showBox(const MessageBoxRequest& request, Uint32 flags, const SDL_MessageBoxButtonData* buttons, int count)
{
    SDL_MessageBoxData data{};
    data.flags = flags;
    data.window = nullptr;
    data.title = request.caption.c_str();
    data.message = request.text.c_str();
    data.numbuttons = count;
    data.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        // No box could be shown (no display): fall back to standard error.
        std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
        return -1;
    }
    return pressed;
}

MessageBoxResult showRequest(const MessageBoxRequest& request)
{
    const SDL_MessageBoxButtonData ok{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                                      kOk, "OK"};
    switch (request.kind) {
    case MessageBoxKind::Question: {
        const SDL_MessageBoxButtonData buttons[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kYes, "Yes"},
            {0, kNo, "No"},
        };
        const int pressed = showBox(request, SDL_MESSAGEBOX_INFORMATION, buttons, 2);
        return pressed == kYes ? MessageBoxResult::Yes : pressed == kNo ? MessageBoxResult::No : MessageBoxResult::Closed;
    }
    case MessageBoxKind::Error:
        return showBox(request, SDL_MESSAGEBOX_ERROR, &ok, 1) == kOk ? MessageBoxResult::Ok : MessageBoxResult::Closed;
    case MessageBoxKind::Information:
        break;
    }
    return showBox(request, SDL_MESSAGEBOX_INFORMATION, &ok, 1) == kOk ? MessageBoxResult::Ok
                                                                      : MessageBoxResult::Closed;
}

} // namespace

void UseWindowMessageBoxes() { SetMessageBoxShower(showRequest); }

} // namespace platform
