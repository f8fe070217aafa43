#pragma once

// Drawing helpers shared by the chart widgets' paint code.

#include "text_util.h"

#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

// The two text sizes every chart uses, looked up once per paint rather than once
// per text group (finding the interface face queries the font database).
struct TChartFonts {
    TChartFonts();
    QFont Small;  // 8 pt
    QFont Normal; // 9 pt
};

// Rounded rectangle filled and outlined in one colour, covering exactly the
// pixels of Box; Radius is half the corner ellipse (corner 6 -> 3).
void FillRound(QPainter& Painter, const QRect& Box, int Radius, TColor Color);
// Outline only, on the outermost pixels of Box.
void OutlineRound(QPainter& Painter, const QRect& Box, int Radius, TColor Color);

// Single-line text in Box with Qt alignment flags; Elide cuts it with "…" at the
// end when it is wider than the box. Clipped to the box like any boxed text.
void DrawBoxText(QPainter& Painter, const QRect& Box, int Align, const QString& Text, bool Elide = false);

void SetTextStyle(QPainter& Painter, const QFont& Font, TColor Color);
