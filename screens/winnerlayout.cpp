// The winner window: the congratulations in a balloon beside a smiling boy.
#include "layouts.h"

namespace kiramoku::screens {

namespace {
using enum Kind;
using enum Face;

// clang-format off
constexpr quint32 LightYellow = 0x00C0FFFF;
constexpr double WinnerPoints = 14.25;

constexpr Element Winner[] = {
//   kind     name        idx      left   top  width height colour       face     pt            text     picture           style        border
    {Button,  "Command1", NoIndex, 5400, 1440, 2055, 1575, LightYellow, Default, 0,            nullptr, "winner-boy.svg", Graphical,   0},
    {Label,   "Label1",   NoIndex,  480,  480,  120,  285, Transparent, Mincho,  WinnerPoints, nullptr, nullptr,          SizedToText, 0},
    {Picture, "Image2",   NoIndex, -720,    0, 5895, 2055, 0,           Default, 0,            nullptr, "balloon.svg",    Stretched,   0},
};
// clang-format on
}  // namespace

std::span<const Element> WinnerLayout()
{
    return Winner;
}

}  // namespace kiramoku::screens
