#pragma once
// Rgb: a colour of the pictures, with the two every drawing uses.

#include <cstdint>

namespace tandor {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb &, const Rgb &) = default;
};

inline constexpr Rgb White{255, 255, 255};
inline constexpr Rgb Black{0, 0, 0};

} // namespace tandor
