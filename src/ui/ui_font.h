#pragma once

#include "text_util.h"

#include <QFont>
#include <QString>
#include <QStringList>

class QPainter;
class QWidget;

enum TFontStyle : unsigned { fsRegular = 0, fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

// The interface face: the first preferred face that is installed, looked up
// anew at every call (fonts can be installed while the program runs).
QString UiFontName();
// The same choice over a given list of installed families, for tests.
QString UiFontNameFrom(const QStringList& Families);

QFont UiFont(int PointSize, TFontStyles Style = fsRegular);

// Sets the widget's font and, unless Color is kDefaultColor, its text colour.
void ApplyUiFont(QWidget* Widget, int PointSize, TFontStyles Style, TColor Color);
// Sets the painter's font and, unless Color is kDefaultColor, its pen colour.
void ApplyUiFont(QPainter& Painter, int PointSize, TFontStyles Style, TColor Color);
