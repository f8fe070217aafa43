#include "card.h"

#include "palette.h"
#include "ui_font.h"

#include <QPainter>

TCard::TCard(QWidget* Parent, const QString& Title) : TPanel(Parent, clWhite), FTitle(Title)
{
    ApplyUiFont(this, 9, fsRegular, clText);
}

void TCard::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.setPen(ToQColor(clBorder));
    P.setBrush(Qt::NoBrush);
    P.drawRect(rect().adjusted(0, 0, -1, -1));
    if (FTitle.isEmpty())
        return;
    QFont F = font();
    F.setBold(true);
    P.setFont(F);
    P.setPen(ToQColor(isEnabled() ? clText : clDisabledText));
    // One line from (14, 11), never elided: the card is sized for its title.
    P.drawText(QRect(14, 11, qMax(width(), 1) * 4, height()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, FTitle);
}
