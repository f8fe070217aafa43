#pragma once

#include "text_util.h"

// The program's one colour table; every window and chart names its colours
// here. Plain values, so the pure models that fall back to a colour need no
// widget header.
inline constexpr TColor clWhite = Rgb(0xFF, 0xFF, 0xFF);
inline constexpr TColor clText = Rgb(0x22, 0x26, 0x2B);       // main text
inline constexpr TColor clSecondary = Rgb(0x6B, 0x72, 0x80);  // hints, axis labels
inline constexpr TColor clAccent = Rgb(0x2F, 0x6B, 0xF5);     // bars, links, primary buttons
inline constexpr TColor clAccentDark = Rgb(0x1F, 0x4F, 0xC8); // hovered bar, pressed accent
inline constexpr TColor clBorder = Rgb(0xDC, 0xDF, 0xE4);     // dividers and card borders
inline constexpr TColor clWindowBg = Rgb(0xF4, 0xF5, 0xF7);   // window background
inline constexpr TColor clDisabledText = Rgb(0x96, 0x9E, 0xAC); // text of disabled controls
inline constexpr TColor clHeatEmpty = Rgb(0xEE, 0xF2, 0xF7);  // empty heat cell, rank bar track
inline constexpr TColor clGridLine = Rgb(0xED, 0xEB, 0xEA);   // trend chart scale lines
inline constexpr TColor clRowHover = Rgb(0xF7, 0xF9, 0xFA);   // hovered rank row
