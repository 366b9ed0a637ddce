#include "Cursor.h"

#include <SDL2/SDL.h>

namespace platform {

BusyCursor::BusyCursor()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return;
    previous_ = SDL_GetCursor();
    busy_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
    if (busy_)
        SDL_SetCursor(busy_);
}

BusyCursor::~BusyCursor()
{
    if (!busy_)
        return;
    SDL_SetCursor(previous_);
    SDL_FreeCursor(busy_);
}

} // namespace platform
