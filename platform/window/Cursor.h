#pragma once
// The mouse cursor of the program's windows.

struct SDL_Cursor;

namespace platform {

// Shows the system's busy cursor for the life of the object and puts the
// previous cursor back afterwards. Without a video system it does nothing.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    SDL_Cursor* previous_ = nullptr;
    SDL_Cursor* busy_ = nullptr;
};

} // namespace platform
