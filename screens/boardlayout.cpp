// The board window, front to back: where each element stands and how it looks.
#include "layouts.h"

namespace kiramoku::screens {

namespace {
using enum Kind;
using enum Face;

constexpr quint32 White = 0x00FFFFFF;
constexpr quint32 LightCyan = 0x00FFFF80;
constexpr quint32 Red = 0x000000FF;
constexpr quint32 Blue = 0x00FF0000;
constexpr quint32 Peach = 0x00C0E0FF;
constexpr quint32 Pink = 0x008080FF;
constexpr quint32 LightYellow = 0x0080FFFF;
constexpr quint32 LightGreen = 0x0080FF80;

constexpr double ButtonPoints = 14.25;
constexpr double PanelPoints = 12;
constexpr double MessagePoints = 9.75;
constexpr double DiePoints = 26.25;
constexpr double AnnouncementPoints = 14.25;

constexpr int LineWidth = 5;
constexpr int PanelBorder = 3;
constexpr int FieldBorder = 8;
constexpr int ShadowBorder = 1;

constexpr const char *Yen = "両";
// What is written on the squares, read out as their names.
constexpr const char *Plus = "50両";
constexpr const char *Minus = "-50両";
constexpr const char *Back = "振り出しに戻る";
constexpr unsigned PanelLabel = Framed;

// clang-format off
constexpr Element Board[] = {
//   kind          name        idx   left   top  width height colour     face    pt                  text               picture                 style                    border
    {Button,       "Command3", NoIndex, 10440, 8040, 3015,  855, LightCyan, Gothic, PanelPoints,        "双六を止める",    "quit-master.svg",      Plain,                   0},
    {Button,       "Command2", NoIndex, 3600, 7440,  1215,  975, Red,       Gothic, ButtonPoints,       "さいころをとめる", nullptr,                Disabled,                0},
    {Button,       "Command1", NoIndex, 2280, 7440,  1215,  975, LightCyan, Gothic, ButtonPoints,       "さいころをふる",  nullptr,                Plain,                   0},
    // The joins of the ring: Line1(i) runs from square i to the next; X1, Y1, X2, Y2.
    {Line,         "Line1",    24,    720, 1200,   720, 1320, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    23,   1200, 1800,  1320, 1800, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    22,   3480, 2040,  3600, 2040, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    21,   4560, 2280,  4800, 2280, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    20,   5640, 3000,  5640, 3240, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    19,   3960, 3720,  4080, 3720, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    18,   2880, 3720,  3000, 3720, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    17,    720, 4200,   720, 4320, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    16,    720, 5280,   720, 5520, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    15,   1200, 6000,  1320, 6000, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    14,   3720, 6120,  3840, 6120, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    13,   4320, 5520,  4320, 5640, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    12,   5880, 5040,  6000, 5040, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    11,   6720, 5520,  6720, 5640, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",    10,   7440, 6120,  7560, 6120, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     9,   9360, 5520,  9360, 5640, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     8,   9360, 4440,  9360, 4560, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     7,   9000, 3360,  9000, 3480, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     6,   9000, 2280,  9000, 2400, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     5,   9000, 1200,  9000, 1320, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     4,   8400,  720,  8520,  720, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     3,   5760,  720,  5880,  720, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     2,   4680,  720,  4800,  720, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     1,   3600,  720,  3720,  720, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Line,         "Line1",     0,   1200,  720,  1320,  720, 0, Default, 0, nullptr, nullptr, Plain, LineWidth},
    {Picture,      "Image3",   NoIndex, 5160, 5760,  855,  735, 0,         Default, 0,                  nullptr,           "fuji.svg",             Stretched,               0},
    {Shape,        "Shape3",   NoIndex, 5280, 5880,  855,  735, Blue,      Default, 0,                  nullptr,           nullptr,                Plain,                   ShadowBorder},
    {Picture,      "Image5",   NoIndex,    0, 8520, 1095, 1095, 0,         Default, 0,                  nullptr,           "master-seated.svg",    Stretched,               0},
    {Label,        "Label6",   NoIndex,  960, 7560, 1095,  735, Tooltip,   Gothic, DiePoints,           nullptr,           nullptr,                Framed | AlignCenter,    0},
    {Picture,      "Image6",   NoIndex,  120, 6960, 6045, 1935, 0,         Default, 0,                  nullptr,           "dice-frame.svg",       Stretched,               0},
    // The pieces, at their creation places on the start square.
    {Picture,      "Image4",    3,     600,  600,  480,  480, 0,         Default, 0,                  nullptr,           "face4.svg",            Plain,                   0},
    {Picture,      "Image4",    2,     360,  360,  480,  480, 0,         Default, 0,                  nullptr,           "face3.svg",            Plain,                   0},
    {Picture,      "Image4",    1,     600,  360,  480,  480, 0,         Default, 0,                  nullptr,           "face2.svg",            Plain,                   0},
    {Picture,      "Image4",    0,     480,  480,  480,  480, 0,         Default, 0,                  nullptr,           "face1.svg",            Plain,                   0},
    {Label,        "Label5",    3,   10440, 6840, 2895,  855, Tooltip,   Gothic, MessagePoints,       nullptr,           nullptr,                PanelLabel,              0},
    {Label,        "Label5",    2,   10440, 4920, 2895,  855, Tooltip,   Gothic, MessagePoints,       nullptr,           nullptr,                PanelLabel,              0},
    {Label,        "Label5",    1,   10440, 3000, 2895,  855, Tooltip,   Gothic, MessagePoints,       nullptr,           nullptr,                PanelLabel,              0},
    {Label,        "Label5",    0,   10440, 1080, 2895,  855, Tooltip,   Gothic, MessagePoints,       nullptr,           nullptr,                PanelLabel,              0},
    {Label,        "Label3",    3,   11040, 6480, 1305,  300, White,     Gothic, PanelPoints,         nullptr,           nullptr,                PanelLabel | AlignRight, 0},
    {Label,        "Label3",    2,   11040, 4560, 1305,  300, White,     Gothic, PanelPoints,         nullptr,           nullptr,                PanelLabel | AlignRight, 0},
    {Label,        "Label3",    1,   11040, 2640, 1305,  300, White,     Gothic, PanelPoints,         nullptr,           nullptr,                PanelLabel | AlignRight, 0},
    // The unit "両" of each purse; the labels are numbered 0, 1, 3, 4 (no 2).
    {Label,        "Label4",    4,   12360, 6480,  270,  240, Transparent, Gothic, PanelPoints,       Yen,               nullptr,                SizedToText,             0},
    {Label,        "Label4",    3,   12360, 4560,  270,  240, Transparent, Gothic, PanelPoints,       Yen,               nullptr,                SizedToText,             0},
    {Label,        "Label4",    1,   12360, 2640,  270,  240, Transparent, Gothic, PanelPoints,       Yen,               nullptr,                SizedToText,             0},
    {Label,        "Label4",    0,   12360,  720,  270,  240, White,     Gothic, PanelPoints,         Yen,               nullptr,                SizedToText,             0},
    {Label,        "Label3",    0,   11040,  720, 1305,  300, White,     Gothic, PanelPoints,         nullptr,           nullptr,                PanelLabel | AlignRight, 0},
    {Picture,      "Image2",    3,   10320, 6000,  600,  600, 0,         Default, 0,                  nullptr,           "face4.svg",            Stretched,               0},
    {Picture,      "Image2",    2,   10320, 4200,  600,  600, 0,         Default, 0,                  nullptr,           "face3.svg",            Stretched,               0},
    {Picture,      "Image2",    1,   10320, 2280,  600,  600, 0,         Default, 0,                  nullptr,           "face2.svg",            Stretched,               0},
    {Picture,      "Image2",    0,   10320,  360,  600,  600, 0,         Default, 0,                  nullptr,           "face1.svg",            Stretched,               0},
    {Label,        "Label2",    3,   11040, 6120, 2205,  300, White,     Gothic, PanelPoints,         nullptr,           nullptr,                PanelLabel,              0},
    {Label,        "Label2",    2,   11040, 4200, 2205,  300, White,     Gothic, PanelPoints,         nullptr,           nullptr,                PanelLabel,              0},
    {Label,        "Label2",    1,   11040, 2280, 2205,  300, White,     Gothic, PanelPoints,         nullptr,           nullptr,                PanelLabel,              0},
    {Label,        "Label2",    0,   11040,  360, 2205,  300, White,     Gothic, PanelPoints,         nullptr,           nullptr,                PanelLabel,              0},
    {Label,        "Label1",   NoIndex,  720, 9000, 12975, 495, Tooltip,   Gothic, AnnouncementPoints,  nullptr,           nullptr,                Framed,                  0},
    {RoundedShape, "Shape2",    3,   10200, 5880, 3375, 1935, LightGreen, Default, 0,                 nullptr,           nullptr,                Plain,                   PanelBorder},
    {RoundedShape, "Shape2",    2,   10200, 3960, 3375, 1935, LightYellow, Default, 0,                nullptr,           nullptr,                Plain,                   PanelBorder},
    {RoundedShape, "Shape2",    1,   10200, 2040, 3375, 1935, Pink,      Default, 0,                  nullptr,           nullptr,                Plain,                   PanelBorder},
    {RoundedShape, "Shape2",    0,   10200,  120, 3375, 1935, White,     Default, 0,                  nullptr,           nullptr,                Plain,                   PanelBorder},
    // The squares: each corner comes from the square table; width and height here, and in the text column what the
    // square's picture has written on it.
    {Square,       "Image1",   24,  0, 0,  975, 975, 0, Default, 0, Plus, "coin-plus.svg",          Stretched, 0},
    {Square,       "Image1",   23,  0, 0, 2175, 975, 0, Default, 0, "町娘をからかい岡っ引きに袖の下", "panel-machimusume.svg",  Stretched, 0},
    {Square,       "Image1",   22,  0, 0,  975, 975, 0, Default, 0, Plus, "coin-plus.svg",          Stretched, 0},
    {Square,       "Image1",   21,  0, 0, 2295, 975, 0, Default, 0, "絵師から浮世絵をもらう", "panel-ukiyoe-gift.svg",  Stretched, 0},
    {Square,       "Image1",   20,  0, 0, 2175, 975, 0, Default, 0, "お伊勢参りに行く", "panel-oise.svg",         Stretched, 0},
    {Square,       "Image1",   19,  0, 0,  975, 975, 0, Default, 0, Minus, "coin-minus.svg",         Stretched, 0},
    {Square,       "Image1",   18,  0, 0, 2655, 975, 0, Default, 0, Back, "panel-back.svg",         Stretched, 0},
    {Square,       "Image1",   17,  0, 0,  975, 975, 0, Default, 0, Plus, "coin-plus.svg",          Stretched, 0},
    {Square,       "Image1",   16,  0, 0,  975, 975, 0, Default, 0, Plus, "coin-plus.svg",          Stretched, 0},
    {Square,       "Image1",   15,  0, 0, 2415, 975, 0, Default, 0, "後家さんを悪者から助けお金をなくす", "panel-goke.svg",         Stretched, 0},
    {Square,       "Image1",   14,  0, 0,  975, 975, 0, Default, 0, Minus, "coin-minus.svg",         Stretched, 0},
    {Square,       "Image1",   13,  0, 0, 2295, 975, 0, Default, 0, "富くじの１等が当たる？？？", "panel-tomikuji.svg",     Stretched, 0},
    {Square,       "Image1",   12,  0, 0,  975, 975, 0, Default, 0, Plus, "coin-plus.svg",          Stretched, 0},
    {Square,       "Image1",   11,  0, 0,  975, 975, 0, Default, 0, Minus, "coin-minus.svg",         Stretched, 0},
    {Square,       "Image1",   10,  0, 0, 2415, 975, 0, Default, 0, "吉原の遊女にいれあげる", "panel-yoshiwara.svg",    Stretched, 0},
    {Square,       "Image1",    9,  0, 0,  975, 975, 0, Default, 0, Plus, "coin-plus.svg",          Stretched, 0},
    {Square,       "Image1",    8,  0, 0, 2535, 975, 0, Default, 0, "悪代官の悪だくみを知る", "panel-akudaikan.svg",    Stretched, 0},
    {Square,       "Image1",    7,  0, 0,  975, 975, 0, Default, 0, Minus, "coin-minus.svg",         Stretched, 0},
    {Square,       "Image1",    6,  0, 0,  975, 975, 0, Default, 0, Minus, "coin-minus.svg",         Stretched, 0},
    {Square,       "Image1",    5,  0, 0,  975, 975, 0, Default, 0, Plus, "coin-plus.svg",          Stretched, 0},
    {Square,       "Image1",    4,  0, 0, 2535, 975, 0, Default, 0, Back, "panel-back.svg",         Stretched, 0},
    {Square,       "Image1",    3,  0, 0,  975, 975, 0, Default, 0, Plus, "coin-plus.svg",          Stretched, 0},
    {Square,       "Image1",    2,  0, 0,  975, 975, 0, Default, 0, Minus, "coin-minus.svg",         Stretched, 0},
    {Square,       "Image1",    1,  0, 0, 2295, 975, 0, Default, 0, "浮世絵を拾う", "panel-ukiyoe-found.svg", Stretched, 0},
    {Square,       "Image1",    0,  0, 0,  975, 975, 0, Default, 0, "ふりだし", "square-start.svg",       Stretched, 0},
    {Shape,        "Shape1",   NoIndex,  120,  120, 9975, 6735, Peach,     Default, 0,                  nullptr,           nullptr,                Plain,                   FieldBorder},
};
// clang-format on
}  // namespace

std::span<const Element> BoardLayout()
{
    return Board;
}

}  // namespace kiramoku::screens
