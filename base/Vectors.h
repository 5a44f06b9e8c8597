#pragma once
// Vector2, Vector3, Vector4: the small fixed-size vectors of doubles that every layer passes
// around (points of D, parameter pairs, images in space, point pairs of D x D).

#include <array>

namespace tandor {

using Vector2 = std::array<double, 2>;
using Vector3 = std::array<double, 3>;
using Vector4 = std::array<double, 4>;

} // namespace tandor
