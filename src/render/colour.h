#pragma once

#include "shared/colour.h"

namespace zorblet::render {

using zorblet::BlueOf;
using zorblet::Colour;
using zorblet::GreenOf;
using zorblet::RedOf;
using zorblet::RGB;

constexpr Colour TextColour = RGB(155, 55, 255);
constexpr Colour StatusColour = RGB(255, 105, 105);

}  // namespace zorblet::render
