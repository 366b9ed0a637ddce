#pragma once
// The active ANSI code page. The program's own texts are Big5, so Big5
// (code page 950) is active by default; tests switch to a single-byte page.
#include <cstdint>
#include <string>

namespace platform {

constexpr int kCodePageBig5 = 950;
constexpr int kCodePageWestern = 1252;

int ActiveCodePage();
void SetActiveCodePage(int codePage);

// True when b starts a two-byte character in the active code page.
bool IsDBCSLeadByte(uint8_t b);

// Unicode code point of one character of the active code page (one byte, or
// two when the first is a lead byte). Returns 0 when the bytes name no
// character (a lone lead byte, an unassigned pair).
char32_t CharToUnicode(const std::string& character);

// Unicode code point of one byte read in the Western single-byte page,
// whatever page is active (glyph builders use it for their 256 single-byte
// codes, which are lead bytes in Big5). Returns 0 for the page's unassigned bytes.
char32_t WesternToUnicode(uint8_t byte);

} // namespace platform
