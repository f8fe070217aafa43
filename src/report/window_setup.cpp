#include "window_setup.h"

#include "palette.h"
#include "ui_font.h"

#include <QKeySequence>
#include <QPalette>
#include <QShortcut>
#include <QWidget>

void SetupResultWindow(QWidget* Window, QWidget* Owner, const QString& Caption, QSize Client,
                       QSize Minimum)
{
    Window->setWindowTitle(Caption);
    Window->resize(Client);
    Window->setMinimumSize(Minimum);
    QPalette P = Window->palette();
    P.setColor(QPalette::Window, ToQColor(clWindowBg));
    Window->setPalette(P);
    Window->setAutoFillBackground(true);
    ApplyUiFont(Window, 9, fsRegular, clText);
    if (Owner) {
        const QRect O = Owner->window()->frameGeometry();
        Window->move(O.center() - QPoint(Client.width() / 2, Client.height() / 2));
    }
    // A window-wide shortcut sees Escape before any control, edits included.
    auto* Esc = new QShortcut(QKeySequence(Qt::Key_Escape), Window);
    Esc->setContext(Qt::WindowShortcut);
    QObject::connect(Esc, &QShortcut::activated, Window, &QWidget::close);
}
