#pragma once
// The three windows as a player sees them when they open, written out by hand and never read from the game's own layout
// tables: each element's rectangle (twips), the colour on its face, its font and text; each window's title, size,
// colours at chosen spots, and the order the Tab key visits.
#include "expected_squares.h"

#include <QStringList>

#include <vector>

namespace kiramoku::expected {

inline constexpr quint32 NoOneColour = 0xFF000000;    // a picture, a button or a box: not checked by colour
inline constexpr quint32 TooltipColour = 0xFF000001;  // the desktop's tooltip background

struct Font {
    const char *face;  // nullptr: the window's own font
    double points;
    int weight;
};
inline constexpr Font Own{nullptr, 0, 0};
inline constexpr Font Gothic12{"ＭＳ Ｐゴシック", 12, 700};
inline constexpr Font Gothic1425{"ＭＳ Ｐゴシック", 14.25, 700};

struct Element {
    const char *name;
    int left, top, width, height;  // twips; width 0: sized to its text, only the corner is fixed
    quint32 colour;                // the colour most of its face shows, 0x00BBGGRR
    Font font;
    const char *text;  // nullptr: no text of its own
};

struct Sight {  // a spot of the window and the colour a player sees there
    int x, y;   // twips
    quint32 colour;
    const char *what;
};

struct Join {  // Line1(i): from square i to the next, twips
    int x1, y1, x2, y2;
};

struct Window {
    const char *title;
    int width, height;
    std::vector<Element> elements;
    std::vector<Sight> sights;
    QStringList tabOrder;  // from the element that has the focus when the window opens
};

// The four characters, players 1 to 4.
inline constexpr const char *CharacterNames[4] = {"備前屋の若旦那", "越後屋の若旦那", "錠前屋の若旦那", "旗本の三男坊"};

inline constexpr quint32 White = 0x00FFFFFF;
inline constexpr quint32 Pink = 0x008080FF;
inline constexpr quint32 LightYellow = 0x0080FFFF;
inline constexpr quint32 LightGreen = 0x0080FF80;

// clang-format off
inline const Window Board{"きらもく", 13605, 9465, {
    {"Command3",  10440, 8040, 3015,  855, NoOneColour, Gothic12, "双六を止める"},
    {"Command2",   3600, 7440, 1215,  975, NoOneColour, Gothic1425, "さいころをとめる"},
    {"Command1",   2280, 7440, 1215,  975, NoOneColour, Gothic1425, "さいころをふる"},
    {"Image3",     5160, 5760,  855,  735, NoOneColour, Own, nullptr},
    {"Shape3",     5280, 5880,  855,  735, NoOneColour, Own, nullptr},
    {"Image5",        0, 8520, 1095, 1095, NoOneColour, Own, nullptr},
    {"Label6",      960, 7560, 1095,  735, TooltipColour, {"ＭＳ Ｐゴシック", 26.25, 700}, ""},
    {"Image6",      120, 6960, 6045, 1935, NoOneColour, Own, nullptr},
    {"Image4(0)",   480,  480,  480,  480, NoOneColour, Own, nullptr},
    {"Image4(1)",   600,  360,  480,  480, NoOneColour, Own, nullptr},
    {"Image4(2)",   360,  360,  480,  480, NoOneColour, Own, nullptr},
    {"Image4(3)",   600,  600,  480,  480, NoOneColour, Own, nullptr},
    {"Label5(0)", 10440, 1080, 2895,  855, TooltipColour, {"ＭＳ Ｐゴシック", 9.75, 700}, ""},
    {"Label5(1)", 10440, 3000, 2895,  855, TooltipColour, {"ＭＳ Ｐゴシック", 9.75, 700}, ""},
    {"Label5(2)", 10440, 4920, 2895,  855, TooltipColour, {"ＭＳ Ｐゴシック", 9.75, 700}, ""},
    {"Label5(3)", 10440, 6840, 2895,  855, TooltipColour, {"ＭＳ Ｐゴシック", 9.75, 700}, ""},
    {"Label3(0)", 11040,  720, 1305,  300, White, Gothic12, "1000"},
    {"Label3(1)", 11040, 2640, 1305,  300, White, Gothic12, "1000"},
    {"Label3(2)", 11040, 4560, 1305,  300, White, Gothic12, "1000"},
    {"Label3(3)", 11040, 6480, 1305,  300, White, Gothic12, "1000"},
    // The unit beside each purse: numbered 0, 1, 3, 4; player 1's on white, the others on their panel.
    {"Label4(0)", 12360,  720,    0,    0, White, Gothic12, "両"},
    {"Label4(1)", 12360, 2640,    0,    0, Pink, Gothic12, "両"},
    {"Label4(3)", 12360, 4560,    0,    0, LightYellow, Gothic12, "両"},
    {"Label4(4)", 12360, 6480,    0,    0, LightGreen, Gothic12, "両"},
    {"Image2(0)", 10320,  360,  600,  600, NoOneColour, Own, nullptr},
    {"Image2(1)", 10320, 2280,  600,  600, NoOneColour, Own, nullptr},
    {"Image2(2)", 10320, 4200,  600,  600, NoOneColour, Own, nullptr},
    {"Image2(3)", 10320, 6000,  600,  600, NoOneColour, Own, nullptr},
    {"Label2(0)", 11040,  360, 2205,  300, White, Gothic12, CharacterNames[0]},
    {"Label2(1)", 11040, 2280, 2205,  300, White, Gothic12, CharacterNames[1]},
    {"Label2(2)", 11040, 4200, 2205,  300, White, Gothic12, CharacterNames[2]},
    {"Label2(3)", 11040, 6120, 2205,  300, White, Gothic12, CharacterNames[3]},
    {"Label1",      720, 9000, 12975, 495, TooltipColour, Gothic1425, "   備前屋の若旦那の番でありんすぅ"},
    {"Shape2(0)", 10200,  120, 3375, 1935, NoOneColour, Own, nullptr},
    {"Shape2(1)", 10200, 2040, 3375, 1935, NoOneColour, Own, nullptr},
    {"Shape2(2)", 10200, 3960, 3375, 1935, NoOneColour, Own, nullptr},
    {"Shape2(3)", 10200, 5880, 3375, 1935, NoOneColour, Own, nullptr},
    {"Shape1",      120,  120, 9975, 6735, NoOneColour, Own, nullptr},
}, {
    {7500, 7500, 0x000080FF, "the orange window"},
    {2250, 4950, 0x00C0E0FF, "the peach field inside the ring"},
    {150, 3000, 0x00000000, "the field's thick black border"},
    {120, 120, 0x00000000, "the border's square outer corner"},
    {6105, 6200, 0x00FF0000, "the blue shadow beside the picture of the mountain, up to its edge"},
    {6120, 6200, 0x00000000, "the shadow's black edge, 1 px"},
    {10230, 1080, 0x00000000, "player 1's panel's black border, 3 px"},
    {10200, 120, 0x000080FF, "the orange window outside player 1's panel's rounded corner"},
    {10245, 1080, White, "player 1's panel just inside its border"},
    {10290, 1320, White, "player 1's panel"},
    {10290, 3240, Pink, "player 2's panel"},
    {10290, 5160, LightYellow, "player 3's panel"},
    {10290, 7080, LightGreen, "player 4's panel"},
}, {"Command1", "Command2", "Command3"}};

inline constexpr Join Lines[25] = {
    {1200,  720, 1320,  720}, {3600,  720, 3720,  720}, {4680,  720, 4800,  720}, {5760,  720, 5880,  720},
    {8400,  720, 8520,  720}, {9000, 1200, 9000, 1320}, {9000, 2280, 9000, 2400}, {9000, 3360, 9000, 3480},
    {9360, 4440, 9360, 4560}, {9360, 5520, 9360, 5640}, {7440, 6120, 7560, 6120}, {6720, 5520, 6720, 5640},
    {5880, 5040, 6000, 5040}, {4320, 5520, 4320, 5640}, {3720, 6120, 3840, 6120}, {1200, 6000, 1320, 6000},
    { 720, 5280,  720, 5520}, { 720, 4200,  720, 4320}, {2880, 3720, 3000, 3720}, {3960, 3720, 4080, 3720},
    {5640, 3000, 5640, 3240}, {4560, 2280, 4800, 2280}, {3480, 2040, 3600, 2040}, {1200, 1800, 1320, 1800},
    { 720, 1200,  720, 1320},
};

inline const Window Selection{"設定画面", 4665, 3630, {
    {"Label1",     480,  360,    0,    0, LightGreen, Gothic1425, "参加人数"},
    {"List1",     1920,  240,  495,  600, NoOneColour, Own, "１|２|３|４"},
    {"Image1",    3480,  120,  840,  720, NoOneColour, Own, nullptr},
    {"Label2(0)",  720, 1080,    0,    0, LightGreen, Own, "若旦那の名前"},
    {"Label2(1)",  720, 1560,    0,    0, LightGreen, Own, "若旦那の名前"},
    {"Label2(2)",  720, 2040,    0,    0, LightGreen, Own, "若旦那の名前"},
    {"Label2(3)",  720, 2520,    0,    0, LightGreen, Own, "若旦那の名前"},
    {"Text1(0)",  1920,  960, 2535,  375, NoOneColour, Own, CharacterNames[0]},
    {"Text1(1)",  1920, 1440, 2535,  375, NoOneColour, Own, CharacterNames[1]},
    {"Text1(2)",  1920, 1920, 2535,  375, NoOneColour, Own, CharacterNames[2]},
    {"Text1(3)",  1920, 2400, 2535,  375, NoOneColour, Own, CharacterNames[3]},
    {"Command1",   240, 3000, 4215,  495, NoOneColour, Own, "はじめる"},
}, {
    {300, 1500, LightGreen, "the light green window"},
}, {"Text1(0)", "Text1(1)", "Text1(2)", "Text1(3)", "Command1", "List1"}};

// The winner window as it opens when player 3 has won.
inline const Window Winner{"", 7635, 3165, {
    {"Command1",  5400, 1440, 2055, 1575, NoOneColour, Own, ""},
    {"Label1",     480,  480,    0,    0, White, {"ＭＳ Ｐ明朝", 14.25, 700}, "おめでとう。錠前屋の若旦那さん\r\n"},
    {"Image2",    -720,    0, 5895, 2055, NoOneColour, Own, nullptr},
}, {
    {200, 2700, 0x00C0C0C0, "the grey window below the balloon"},
    // The whole balloon shows: its white spans about 340 to 4846 across and 247 to 1916 down, and lies under the
    // label's corner.
    {450, 450, 0x00FFFFFF, "the balloon under the label's corner"},
    {75, 1050, 0x00C0C0C0, "grey left of the balloon"},
    {255, 1050, 0x00C0C0C0, "grey just left of the balloon's outline"},
    {405, 1050, 0x00FFFFFF, "the balloon's white at its left end"},
    {4770, 1050, 0x00FFFFFF, "the balloon's white at its right end"},
    {4950, 1050, 0x00C0C0C0, "grey right of the balloon"},
    {2250, 165, 0x00C0C0C0, "grey above the balloon"},
    {2250, 300, 0x00FFFFFF, "the balloon's white at its top"},
    {2250, 1860, 0x00FFFFFF, "the balloon's white at its bottom"},
    {2250, 1995, 0x00C0C0C0, "grey below the balloon"},
}, {"Command1"}};
// clang-format on

}  // namespace kiramoku::expected
