#pragma once

#include "panel.h"

#include <QString>

class QPaintEvent;

// White card with a 1 px grey border and an optional bold title at (14, 11).
class TCard : public TPanel {
    Q_OBJECT
public:
    explicit TCard(QWidget* Parent, const QString& Title = QString());

    QString Title() const { return FTitle; }
    // Does not repaint by itself; call update() when the card is visible.
    void SetTitle(const QString& Title) { FTitle = Title; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QString FTitle;
};
