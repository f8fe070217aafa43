#include "panel.h"

#include "palette.h"

#include <QPalette>

TPanel::TPanel(QWidget* Parent, TColor Color) : QWidget(Parent)
{
    setAutoFillBackground(true);
    SetColor(Color);
}

TColor TPanel::Color() const
{
    return FromQColor(palette().color(QPalette::Window));
}

void TPanel::SetColor(TColor Color)
{
    // Set on the panel itself, so it does not follow its parent's palette.
    QPalette P = palette();
    P.setColor(QPalette::Window, ToQColor(Color));
    setPalette(P);
}
