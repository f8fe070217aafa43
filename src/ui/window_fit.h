#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QScrollArea;
class QWidget;

// Windows are never larger than the screen's available area: a window built
// for a fixed client size gets less where the screen (after scaling) is
// smaller, and its content scrolls.

// The client rectangle of a window of client size Client with the frame
// Frame around it: centred on Centre, its client no larger than lets the
// frame fit inside Area, and moved as little as needed to lie inside Area.
QRect FitWindowRect(QSize Client, QPoint Centre, const QRect& Area, const QMargins& Frame);

// The available area of the screen Window opens on (UiHooks().ScreenArea
// when set).
QRect ScreenArea(const QWidget* Window);
// The frame the window system puts around Window, or a usual title bar and
// border while it is not known yet (before the window is first shown).
QMargins WindowFrame(const QWidget* Window);

// Places Window by FitWindowRect on its screen; returns the client size given.
QSize PlaceOnScreen(QWidget* Window, QSize Client, QPoint Centre);

// A frameless scroll area that shows Content filling it, but never smaller
// than Minimum: below that, Content scrolls. The caller places the area.
QScrollArea* WrapInScrollArea(QWidget* Content, QSize Minimum);
