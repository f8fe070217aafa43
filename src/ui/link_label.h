#pragma once

#include <QLabel>
#include <QString>

class QEnterEvent;
class QEvent;
class QMouseEvent;

// Blue text that opens its URL with the desktop's handler when clicked and is
// underlined while the mouse is over it.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* Parent);

    QString Url() const { return FUrl; }
    void SetUrl(const QString& Url) { FUrl = Url; }

signals:
    // Emitted for every click, before the URL (if any) is opened.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    void SetUnderline(bool On);

    QString FUrl;
    bool FDown = false;
};
