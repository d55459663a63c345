#pragma once
#include "layout.h"

namespace kiramoku::screens {

// The board window: client area 13605 × 9465 twips, orange.
inline constexpr int BoardWidth = 13605;
inline constexpr int BoardHeight = 9465;
inline constexpr quint32 BoardColour = 0x000080FF;

std::span<const Element> BoardLayout();

// The selection window: client area 4665 × 3630 twips, light green.
inline constexpr int SelectionWidth = 4665;
inline constexpr int SelectionHeight = 3630;
inline constexpr quint32 SelectionColour = 0x0080FF80;
// Where its client area's top-left corner opens on the primary screen.
inline constexpr int SelectionLeft = 6255;
inline constexpr int SelectionTop = 1515;

std::span<const Element> SelectionLayout();

// The winner window: client area 7635 × 3165 twips, light grey.
inline constexpr int WinnerWidth = 7635;
inline constexpr int WinnerHeight = 3165;
inline constexpr quint32 WinnerColour = 0x00C0C0C0;
// Where its client area's top-left corner opens on the primary screen.
inline constexpr int WinnerLeft = 4110;
inline constexpr int WinnerTop = 3510;

std::span<const Element> WinnerLayout();

}  // namespace kiramoku::screens
