#include "window_setup.h"

#include "palette.h"
#include "ui_font.h"
#include "window_fit.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPalette>
#include <QScrollArea>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

QWidget* SetupResultWindow(QWidget* Window, QWidget* Owner, const QString& Caption, QSize Client,
                           QSize Minimum)
{
    Window->setWindowTitle(Caption);
    QPalette P = Window->palette();
    P.setColor(QPalette::Window, ToQColor(clWindowBg));
    Window->setPalette(P);
    Window->setAutoFillBackground(true);
    ApplyUiFont(Window, 9, fsRegular, clText);

    auto* Content = new QWidget;
    Content->resize(Client);
    auto* Layout = new QVBoxLayout(Window);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(WrapInScrollArea(Content, Minimum));

    const QPoint Centre = Owner ? Owner->window()->frameGeometry().center() : ScreenArea(Window).center();
    const QSize Size = PlaceOnScreen(Window, Client, Centre);
    Window->setMinimumSize(Minimum.boundedTo(Size));
    return Content;
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

void SetUpResultList(QTableView* List)
{
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setShowGrid(false);
    List->setSortingEnabled(false);
    List->setWordWrap(false);
    List->setTextElideMode(Qt::ElideRight);
    List->setFrameShape(QFrame::StyledPanel);
    List->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    List->verticalHeader()->hide();
    List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List->verticalHeader()->setDefaultSectionSize(22);
    List->horizontalHeader()->setSectionsClickable(false);
    List->horizontalHeader()->setHighlightSections(false);
    List->horizontalHeader()->setStretchLastSection(false);
    List->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    List->setAutoFillBackground(true);
    QPalette P = List->palette();
    P.setColor(QPalette::Base, ToQColor(clWhite));
    List->setPalette(P);
    ApplyUiFont(List, 9, fsRegular, clText);
}

void FitLastColumn(QTableView* List)
{
    if (!List || !List->model())
        return;
    const int Columns = List->model()->columnCount();
    if (Columns <= 0)
        return;
    int Others = 0;
    for (int C = 0; C < Columns - 1; ++C)
        Others += List->columnWidth(C);
    const int ScrollBar = List->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, List);
    const int Avail = List->contentsRect().width() - Others - ScrollBar - 4;
    if (Avail > 80)
        List->setColumnWidth(Columns - 1, Avail);
}
