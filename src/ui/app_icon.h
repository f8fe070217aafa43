#pragma once

#include "text_util.h"

class QIcon;
class QPainter;
class QPixmap;
class QRectF;

// Draws the program's icon into Rect (vector, any size). The shipped PNG
// renderings are made from this.
void PaintAppIcon(QPainter& Painter, const QRectF& Rect);

// The icon with all its shipped sizes; the application and window icon.
QIcon AppIcon();

// A Size × Size picture filled with Background and the icon drawn over it
// (a plain square when the icon cannot be loaded). The caller owns it.
QPixmap MakeAppIconBitmap(int Size, TColor Background);
