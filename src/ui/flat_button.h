#pragma once

#include "text_util.h"

#include <QString>
#include <QWidget>

class QEnterEvent;
class QEvent;
class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;

enum TButtonKind { bkPrimary, bkSecondary };

// Colours of one look of a flat button.
struct TButtonColors {
    TColor Fill;
    TColor Border;
    TColor Text;
};

// Pressed wins over hover; disabled wins over both.
TButtonColors FlatButtonColors(TButtonKind Kind, bool Enabled, bool Hover, bool Pressed);

// A flat button with rounded corners. Space or Enter clicks it once; a click
// first emits clicked(), then hands ModalResult (when not 0) to the dialog the
// button sits on, which closes a modally shown dialog.
class TFlatButton : public QWidget {
    Q_OBJECT
public:
    explicit TFlatButton(QWidget* Parent);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& Caption);

    TButtonKind Kind() const { return FKind; }
    void SetKind(TButtonKind Kind);

    int ModalResult() const { return FModalResult; }
    void SetModalResult(int Result) { FModalResult = Result; }

    bool Hover() const { return FHover; }
    bool Pressed() const { return FPressed; }

    // The colour painted outside the rounded shape: the parent's background
    // when the parent is a panel, a card or a window (or a main window's client
    // area), else white.
    TColor BackColor() const;

    // Clicks the button as the user would: clicked(), then the modal result.
    void Click();

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    QString FCaption;
    TButtonKind FKind = bkSecondary;
    bool FHover = false;
    bool FPressed = false;
    // The mouse went down on the button and has not been released yet.
    bool FMouseDown = false;
    int FModalResult = 0;
};
