#pragma once
// Keyboard and mouse vocabulary shared by the window layer and the code that
// reacts to input: the shift state of a mouse or key event as separate key
// and button flags, and the virtual-key codes the program's keys arrive as.
#include <cstdint>

namespace platform {

// One flag per modifier key and mouse button held during an event.
enum TShiftFlag : uint8_t {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
};

// A set of TShiftFlag values, combined with "|" and tested with "&".
using TShiftState = uint8_t;

// The mouse button of a button event.
enum class TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// Virtual-key code of a key press.
using TVirtualKey = uint16_t;

inline constexpr TVirtualKey VK_BACK = 0x08;
inline constexpr TVirtualKey VK_TAB = 0x09;
inline constexpr TVirtualKey VK_RETURN = 0x0D;
inline constexpr TVirtualKey VK_SHIFT = 0x10;
inline constexpr TVirtualKey VK_CONTROL = 0x11;
inline constexpr TVirtualKey VK_MENU = 0x12; // Alt
inline constexpr TVirtualKey VK_ESCAPE = 0x1B;
inline constexpr TVirtualKey VK_SPACE = 0x20;
inline constexpr TVirtualKey VK_PRIOR = 0x21; // Page Up
inline constexpr TVirtualKey VK_NEXT = 0x22;  // Page Down
inline constexpr TVirtualKey VK_END = 0x23;
inline constexpr TVirtualKey VK_HOME = 0x24;
inline constexpr TVirtualKey VK_LEFT = 0x25;
inline constexpr TVirtualKey VK_UP = 0x26;
inline constexpr TVirtualKey VK_RIGHT = 0x27;
inline constexpr TVirtualKey VK_DOWN = 0x28;
inline constexpr TVirtualKey VK_INSERT = 0x2D;
inline constexpr TVirtualKey VK_DELETE = 0x2E;
// Digit keys of the main block are their characters '0' to '9'.
inline constexpr TVirtualKey VK_0 = 0x30;
inline constexpr TVirtualKey VK_9 = 0x39;
// Letter keys are their upper-case characters 'A' to 'Z', whatever Shift says.
inline constexpr TVirtualKey VK_A = 0x41;
inline constexpr TVirtualKey VK_Z = 0x5A;
inline constexpr TVirtualKey VK_NUMPAD0 = 0x60;
inline constexpr TVirtualKey VK_NUMPAD1 = 0x61;
inline constexpr TVirtualKey VK_NUMPAD2 = 0x62;
inline constexpr TVirtualKey VK_NUMPAD3 = 0x63;
inline constexpr TVirtualKey VK_NUMPAD4 = 0x64;
inline constexpr TVirtualKey VK_NUMPAD5 = 0x65;
inline constexpr TVirtualKey VK_NUMPAD6 = 0x66;
inline constexpr TVirtualKey VK_NUMPAD7 = 0x67;
inline constexpr TVirtualKey VK_NUMPAD8 = 0x68;
inline constexpr TVirtualKey VK_NUMPAD9 = 0x69;
inline constexpr TVirtualKey VK_F1 = 0x70; // F2 to F12 follow
inline constexpr TVirtualKey VK_F12 = 0x7B;
// The comma and full stop keys of the main block, whatever Shift says.
inline constexpr TVirtualKey VK_OEM_COMMA = 0xBC;
inline constexpr TVirtualKey VK_OEM_PERIOD = 0xBE;

// Code of the main-block digit key d (0 to 9).
constexpr TVirtualKey VkDigit(int d) { return static_cast<TVirtualKey>(VK_0 + d); }
// Code of the keypad digit key d (0 to 9).
constexpr TVirtualKey VkNumpad(int d) { return static_cast<TVirtualKey>(VK_NUMPAD0 + d); }
// Code of the letter key c ('A' to 'Z'; a lower-case letter gives the same key).
constexpr TVirtualKey VkLetter(char c)
{
    return static_cast<TVirtualKey>(c >= 'a' && c <= 'z' ? c - 'a' + VK_A : c);
}

} // namespace platform
