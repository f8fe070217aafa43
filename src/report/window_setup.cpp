#include "window_setup.h"

#include "palette.h"
#include "ui_font.h"

#include <QFontMetrics>
#include <QKeySequence>
#include <QPalette>
#include <QShortcut>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QWidget>

#include <algorithm>

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

namespace {

class TListDelegate final : public QStyledItemDelegate {
public:
    TListDelegate(int MiddleColumn, QObject* Parent)
        : QStyledItemDelegate(Parent)
        , FMiddleColumn(MiddleColumn)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override
    {
        QStyledItemDelegate::initStyleOption(Option, Index);
        Option->state &= ~QStyle::State_HasFocus;
        Option->textElideMode = Index.column() == FMiddleColumn ? Qt::ElideMiddle : Qt::ElideRight;
    }

private:
    int FMiddleColumn;
};

}  // namespace

QStyledItemDelegate* MakeListDelegate(int MiddleColumn, QObject* Parent)
{
    return new TListDelegate(MiddleColumn, Parent);
}

void FitNumberColumn(QTableWidget* List, int Column, int MinWidth)
{
    const QFontMetrics Metrics(List->font());
    // The cell's text margins on both sides, plus a little air.
    const int Margins = 2 * (List->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, List) + 1) + 8;
    int Width = MinWidth;
    for (int R = 0; R < List->rowCount(); ++R)
        if (const QTableWidgetItem* Item = List->item(R, Column))
            Width = std::max(Width, Metrics.horizontalAdvance(Item->text()) + Margins);
    List->setColumnWidth(Column, Width);
}
