#pragma once
// Modal message boxes of the window system (SDL's), shown for the dialogs of
// platform/system/Dialogs.h.

namespace platform {

// Makes the dialogs show real boxes from now on. Safe to call more than once
// and before the video system has started.
void UseWindowMessageBoxes();

} // namespace platform
