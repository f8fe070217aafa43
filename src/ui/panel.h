#pragma once

#include "text_util.h"

#include <QWidget>

// A plain surface of one colour. Buttons placed on it blend their corners into
// that colour, which is why it is a type of its own rather than any QWidget.
class TPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPanel(QWidget* Parent, TColor Color = Rgb(0xFF, 0xFF, 0xFF));

    TColor Color() const;
    void SetColor(TColor Color);
};
