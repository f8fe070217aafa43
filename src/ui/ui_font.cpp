#include "ui_font.h"

#include "palette.h"
#include "ui_font_platform.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPalette>
#include <QWidget>

QString UiFontNameFrom(const QStringList& Families)
{
    for (const char* Face : PreferredUiFaces()) {
        const QString Name = QString::fromLatin1(Face);
        for (const QString& F : Families)
            if (F.compare(Name, Qt::CaseInsensitive) == 0)
                return Name;
    }
    return QStringLiteral("Tahoma");
}

QString UiFontName()
{
    return UiFontNameFrom(QFontDatabase::families());
}

QFont UiFont(int PointSize, TFontStyles Style)
{
    QFont F(UiFontName());
    F.setPointSize(PointSize);
    F.setBold(Style & fsBold);
    F.setItalic(Style & fsItalic);
    F.setUnderline(Style & fsUnderline);
    F.setStrikeOut(Style & fsStrikeOut);
    return F;
}

void ApplyUiFont(QWidget* Widget, int PointSize, TFontStyles Style, TColor Color)
{
    if (!Widget)
        return;
    Widget->setFont(UiFont(PointSize, Style));
    if (Color != kDefaultColor) {
        QPalette P = Widget->palette();
        const QColor C = ToQColor(Color);
        // The colour is for the usable control; a disabled one keeps the muted
        // text that tells the user it takes no input.
        for (const QPalette::ColorRole Role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
            P.setColor(QPalette::Active, Role, C);
            P.setColor(QPalette::Inactive, Role, C);
            P.setColor(QPalette::Disabled, Role, ToQColor(clDisabledText));
        }
        Widget->setPalette(P);
    }
}

void ApplyUiFont(QPainter& Painter, int PointSize, TFontStyles Style, TColor Color)
{
    Painter.setFont(UiFont(PointSize, Style));
    if (Color != kDefaultColor)
        Painter.setPen(ToQColor(Color));
}
