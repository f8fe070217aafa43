#include "link_label.h"

#include "palette.h"
#include "shell_util.h"
#include "ui_font.h"

#include <QMouseEvent>

TLinkLabel::TLinkLabel(QWidget* Parent) : QLabel(Parent)
{
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(false);
    ApplyUiFont(this, 9, fsRegular, clAccent);
}

void TLinkLabel::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton)
        FDown = true;
    QLabel::mousePressEvent(Event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event)
{
    const bool WasDown = FDown;
    if (Event->button() == Qt::LeftButton)
        FDown = false;
    QLabel::mouseReleaseEvent(Event);
    // A click is a press and a release both on the label.
    if (Event->button() != Qt::LeftButton || !WasDown || !rect().contains(Event->position().toPoint()))
        return;
    emit clicked();
    if (!FUrl.isEmpty())
        ShellOpen(FUrl);
}

void TLinkLabel::enterEvent(QEnterEvent* Event)
{
    SetUnderline(true);
    QLabel::enterEvent(Event);
}

void TLinkLabel::leaveEvent(QEvent* Event)
{
    SetUnderline(false);
    QLabel::leaveEvent(Event);
}

void TLinkLabel::SetUnderline(bool On)
{
    QFont F = font();
    if (F.underline() == On)
        return;
    F.setUnderline(On);
    setFont(F);
}
