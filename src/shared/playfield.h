#pragma once

namespace zorblet {

// The playfield, the picture and the window's client area: 600 x 600 pixels.
inline constexpr int PlayfieldSize = 600;

}  // namespace zorblet
