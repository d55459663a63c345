// The selection window: how many characters people play, and their names.
#include "layouts.h"

namespace kiramoku::screens {

namespace {
using enum Kind;
using enum Face;

constexpr quint32 LightCyan = 0x00FFFF80;
constexpr double TitlePoints = 14.25;
constexpr const char *NameCaption = "若旦那の名前";

// clang-format off
constexpr Element Selection[] = {
//   kind     name        idx      left   top  width height colour       face     pt            text               picture      style                    border
    {Label,   "Label1",   NoIndex,  480,  360, 1215,  285, Transparent, Gothic,  TitlePoints,  "参加人数",         nullptr,     SizedToText,             0},
    {ListBox, "List1",    NoIndex, 1920,  240,  495,  600, 0,           Default, 0,            "１|２|３|４",      nullptr,     Plain,                   0},
    {Picture, "Image1",   NoIndex, 3480,  120,  840,  720, 0,           Default, 0,            nullptr,           "face4.svg", Stretched,               0},
    {Label,   "Label2",   0,        720, 1080, 1080,  180, Transparent, Default, 0,            NameCaption,       nullptr,     SizedToText,             0},
    {Label,   "Label2",   1,        720, 1560, 1080,  180, Transparent, Default, 0,            NameCaption,       nullptr,     SizedToText,             0},
    {Label,   "Label2",   2,        720, 2040, 1080,  180, Transparent, Default, 0,            NameCaption,       nullptr,     SizedToText,             0},
    {Label,   "Label2",   3,        720, 2520, 1080,  180, Transparent, Default, 0,            NameCaption,       nullptr,     SizedToText,             0},
    {TextBox, "Text1",    0,       1920,  960, 2535,  375, 0,           Default, 0,            "備前屋の若旦那",   nullptr,     Plain,                   0},
    {TextBox, "Text1",    1,       1920, 1440, 2535,  375, 0,           Default, 0,            "越後屋の若旦那",   nullptr,     Hidden,                  0},
    {TextBox, "Text1",    2,       1920, 1920, 2535,  375, 0,           Default, 0,            "錠前屋の若旦那",   nullptr,     Hidden,                  0},
    {TextBox, "Text1",    3,       1920, 2400, 2535,  375, 0,           Default, 0,            "旗本の三男坊",     nullptr,     Hidden,                  0},
    {Button,  "Command1", NoIndex,  240, 3000, 4215,  495, LightCyan,   Default, 0,            "はじめる",         nullptr,     Graphical,               0},
};

// clang-format on
}  // namespace

std::span<const Element> SelectionLayout()
{
    return Selection;
}

}  // namespace kiramoku::screens
