#include "window_fit.h"

#include "ui_hooks.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QWidget>
#include <QWindow>

#include <algorithm>

QRect FitWindowRect(QSize Client, QPoint Centre, const QRect& Area, const QMargins& Frame)
{
    const QSize Room(Area.width() - Frame.left() - Frame.right(), Area.height() - Frame.top() - Frame.bottom());
    QRect R(QPoint(0, 0), Client.boundedTo(Room).expandedTo(QSize(1, 1)));
    R.moveCenter(Centre);
    // Right and bottom first, so that left and top win where nothing fits.
    const QRect Outer = R.marginsAdded(Frame);
    const int Dx = std::max(Area.left() - Outer.left(), std::min(0, Area.right() - Outer.right()));
    const int Dy = std::max(Area.top() - Outer.top(), std::min(0, Area.bottom() - Outer.bottom()));
    return R.translated(Dx, Dy);
}

QRect ScreenArea(const QWidget* Window)
{
    if (UiHooks().ScreenArea)
        return UiHooks().ScreenArea(Window);
    const QScreen* Screen = Window ? Window->screen() : QGuiApplication::primaryScreen();
    return Screen ? Screen->availableGeometry() : QRect();
}

QMargins WindowFrame(const QWidget* Window)
{
    if (const QWindow* Handle = Window ? Window->windowHandle() : nullptr; Handle && Handle->isVisible())
        return Handle->frameMargins();
    return QMargins(8, 31, 8, 8);
}

QSize PlaceOnScreen(QWidget* Window, QSize Client, QPoint Centre)
{
    const QRect Area = ScreenArea(Window);
    if (Area.isEmpty()) {
        Window->resize(Client);
        return Client;
    }
    const QRect R = FitWindowRect(Client, Centre, Area, WindowFrame(Window));
    Window->setGeometry(R);
    return R.size();
}

QScrollArea* WrapInScrollArea(QWidget* Content, QSize Minimum)
{
    auto* Area = new QScrollArea;
    Area->setFrameShape(QFrame::NoFrame);
    // Not a stop of its own on the way through the window with Tab.
    Area->setFocusPolicy(Qt::NoFocus);
    Area->setWidgetResizable(true);
    Content->setMinimumSize(Minimum);
    const QSize Size = Content->size();
    Area->setWidget(Content);
    // Anchored controls keep the distances they were given at this size.
    Content->resize(Size);
    return Area;
}
