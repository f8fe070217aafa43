#pragma once

#include "colors.h"

#include <QColor>

// The colour table as the widgets take it.
inline QColor ToQColor(TColor C)
{
    return QColor(RedOf(C), GreenOf(C), BlueOf(C));
}

inline TColor FromQColor(const QColor& C)
{
    return Rgb(C.red(), C.green(), C.blue());
}
