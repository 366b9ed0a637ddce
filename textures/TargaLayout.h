#pragma once
// The fixed parts of a Targa file that both its decoder and the reading of
// it as the game reads it need. Internal to textures/.
#include <cstddef>
#include <cstdint>

namespace targa {

inline constexpr size_t kHeaderSize = 18;
inline constexpr uint8_t kTopLeftOrigin = 0x20; // descriptor bit 5: the top row is stored first
inline constexpr uint8_t kRightToLeft = 0x10;   // descriptor bit 4: each row is stored right to left
inline constexpr uint8_t kRunPacket = 0x80;     // packet header: one pixel repeated, else literal pixels
inline constexpr uint8_t kPacketCount = 0x7F;   // packet header: pixel count minus one

} // namespace targa
