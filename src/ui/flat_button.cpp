#include "flat_button.h"

#include "palette.h"
#include "panel.h"
#include "ui_font.h"

#include <QDialog>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

TButtonColors FlatButtonColors(TButtonKind Kind, bool Enabled, bool Hover, bool Pressed)
{
    if (Kind == bkPrimary) {
        if (!Enabled)
            return {Rgb(0xB9, 0xC7, 0xE9), Rgb(0xB9, 0xC7, 0xE9), clWhite};
        if (Pressed)
            return {clAccentDark, clAccentDark, clWhite};
        if (Hover)
            return {Rgb(0x25, 0x5D, 0xE8), Rgb(0x25, 0x5D, 0xE8), clWhite};
        return {clAccent, clAccent, clWhite};
    }
    if (!Enabled)
        return {clWindowBg, Rgb(0xE3, 0xE6, 0xEB), clDisabledText};
    if (Pressed)
        return {Rgb(0xD0, 0xE6, 0xF5), clAccentDark, clText};
    if (Hover)
        return {Rgb(0xE0, 0xF1, 0xFF), clAccent, clText};
    return {clWhite, clBorder, clText};
}

TFlatButton::TFlatButton(QWidget* Parent) : QWidget(Parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    ApplyUiFont(this, 9, fsRegular, clText);
    setGeometry(0, 0, 88, 28);
}

void TFlatButton::SetCaption(const QString& Caption)
{
    if (FCaption == Caption)
        return;
    FCaption = Caption;
    setAccessibleName(Caption);
    update();
}

void TFlatButton::SetKind(TButtonKind Kind)
{
    if (FKind == Kind)
        return;
    FKind = Kind;
    update();
}

TColor TFlatButton::BackColor() const
{
    QWidget* Parent = parentWidget();
    if (!Parent)
        return clWhite;
    bool Surface = qobject_cast<TPanel*>(Parent) || Parent->isWindow();
    if (!Surface) {
        // A main window's client area stands for the window itself.
        const auto* Main = qobject_cast<QMainWindow*>(Parent->parentWidget());
        Surface = Main && Main->centralWidget() == Parent;
    }
    if (!Surface)
        return clWhite;
    return FromQColor(Parent->palette().color(Parent->backgroundRole()));
}

void TFlatButton::Click()
{
    QPointer<TFlatButton> Self(this);
    emit clicked();
    // A handler may have destroyed the button (or its dialog) already.
    if (!Self || FModalResult == 0)
        return;
    if (auto* Dialog = qobject_cast<QDialog*>(window()))
        Dialog->done(FModalResult);
}

void TFlatButton::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.fillRect(rect(), ToQColor(BackColor()));

    const TButtonColors C = FlatButtonColors(FKind, isEnabled(), FHover, FPressed);
    P.setRenderHint(QPainter::Antialiasing);
    P.setPen(QPen(ToQColor(C.Border), 1));
    P.setBrush(ToQColor(C.Fill));
    // Half-pixel inset puts the 1 px outline exactly on the edge pixels.
    P.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    P.setRenderHint(QPainter::Antialiasing, false);

    P.setFont(font());
    P.setPen(ToQColor(C.Text));
    P.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine,
               fontMetrics().elidedText(FCaption, Qt::ElideRight, width()));

    if (hasFocus() && isEnabled()) {
        QPen Dots(ToQColor(C.Text), 1);
        Dots.setDashPattern({1.0, 1.0});
        P.setPen(Dots);
        P.setBrush(Qt::NoBrush);
        P.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void TFlatButton::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(Event);
        return;
    }
    if ((focusPolicy() & Qt::ClickFocus) && !hasFocus())
        setFocus(Qt::MouseFocusReason);
    FPressed = true;
    FMouseDown = true;
    update();
    Event->accept();
}

void TFlatButton::mouseMoveEvent(QMouseEvent* Event)
{
    // While the mouse is held it is grabbed, so no leave event comes: moving
    // out of the button is the leave. Coming back shows the hover look only.
    if (FMouseDown) {
        const bool Inside = rect().contains(Event->position().toPoint());
        if (!Inside && (FPressed || FHover)) {
            FPressed = false;
            FHover = false;
            update();
        } else if (Inside && !FHover) {
            FHover = true;
            update();
        }
    }
    QWidget::mouseMoveEvent(Event);
}

void TFlatButton::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(Event);
        return;
    }
    const bool WasDown = FMouseDown;
    FMouseDown = false;
    if (FPressed) {
        FPressed = false;
        update();
    }
    Event->accept();
    if (WasDown && rect().contains(Event->position().toPoint()))
        Click();
}

static bool IsClickKey(const QKeyEvent* Event)
{
    return Event->key() == Qt::Key_Space || Event->key() == Qt::Key_Return
        || Event->key() == Qt::Key_Enter;
}

void TFlatButton::keyPressEvent(QKeyEvent* Event)
{
    if (!IsClickKey(Event)) {
        QWidget::keyPressEvent(Event);
        return;
    }
    Event->accept();
    // Flash the pressed look so a keyboard click is seen.
    FPressed = true;
    repaint();
    FPressed = false;
    repaint();
    Click();
}

void TFlatButton::keyReleaseEvent(QKeyEvent* Event)
{
    // The press already clicked; the release must not reach anyone else.
    if (IsClickKey(Event))
        Event->accept();
    else
        QWidget::keyReleaseEvent(Event);
}

void TFlatButton::enterEvent(QEnterEvent* Event)
{
    FHover = true;
    update();
    QWidget::enterEvent(Event);
}

void TFlatButton::leaveEvent(QEvent* Event)
{
    FHover = false;
    FPressed = false;
    update();
    QWidget::leaveEvent(Event);
}

void TFlatButton::focusInEvent(QFocusEvent* Event)
{
    update();
    QWidget::focusInEvent(Event);
}

void TFlatButton::focusOutEvent(QFocusEvent* Event)
{
    update();
    QWidget::focusOutEvent(Event);
}

void TFlatButton::changeEvent(QEvent* Event)
{
    if (Event->type() == QEvent::EnabledChange || Event->type() == QEvent::FontChange
        || Event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(Event);
}
