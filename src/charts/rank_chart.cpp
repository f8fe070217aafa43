#include "rank_chart.h"

#include "chart_geometry.h"
#include "chart_paint.h"
#include "palette.h"

#include <QCursor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QStyleHints>

#include <algorithm>
#include <chrono>

namespace {

// Milliseconds on a wrapping 32-bit counter, like the system tick count the
// double-click rule was made for.
quint32 SteadyTick()
{
    using namespace std::chrono;
    return quint32(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

TRankChart::TRankChart(QWidget* Parent)
    : TChartBase(Parent), FTickSource(SteadyTick)
{
    setFocusPolicy(Qt::StrongFocus);
    FScrollBar = new QScrollBar(Qt::Vertical, this);
    FScrollBar->hide();
    connect(FScrollBar, &QScrollBar::valueChanged, this, &TRankChart::ScrollTo);
}

void TRankChart::SetEntries(const TRankEntries& Value)
{
    FEntries = Value;
    FHover = -1;
    FCurrent = hasFocus() && !FEntries.isEmpty() ? 0 : -1;
    SetFocusItem(FCurrent);
    FRowH = RankRowHeight(FEntries);
    FScroll = 0;
    UpdateScrollBar();
    Invalidate();
}

void TRankChart::UpdateScrollBar()
{
    // The rows plus the bottom margin a row leaves below its bar.
    const int Content = RankRowTop(FRowH, int(FEntries.size())) + kRankTop;
    const int Max = std::max(0, Content - height());
    const QSignalBlocker Block(FScrollBar);
    FScrollBar->setRange(0, Max);
    FScrollBar->setPageStep(std::max(1, height()));
    FScrollBar->setSingleStep(FRowH);
    const int W = FScrollBar->sizeHint().width();
    FScrollBar->setGeometry(width() - W, 0, W, height());
    FScrollBar->setVisible(Max > 0);
    FScroll = std::clamp(FScroll, 0, Max);
    FScrollBar->setValue(FScroll);
}

void TRankChart::ScrollTo(int Offset)
{
    Offset = std::clamp(Offset, 0, FScrollBar->maximum());
    if (Offset == FScroll)
        return;
    FScroll = Offset;
    FScrollBar->setValue(Offset);
    const int Row = RowAt(mapFromGlobal(QCursor::pos()).y());
    FHover = underMouse() ? Row : -1;
    Invalidate();
}

void TRankChart::resizeEvent(QResizeEvent* Event)
{
    UpdateScrollBar();
    TChartBase::resizeEvent(Event);
}

void TRankChart::wheelEvent(QWheelEvent* Event)
{
    if (FScrollBar->maximum() <= 0) {
        TChartBase::wheelEvent(Event);
        return;
    }
    // One notch moves three rows, as lists do.
    const int Steps = Event->angleDelta().y() / 40;
    ScrollTo(FScroll - Steps * FRowH);
    Event->accept();
}

void TRankChart::SetTickSource(TTickSource Source)
{
    FTickSource = Source ? std::move(Source) : TTickSource(SteadyTick);
}

int TRankChart::RowAt(int Y) const
{
    return RankRowAt(Y + FScroll, FRowH, int(FEntries.size()));
}

void TRankChart::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    PaintBackground(P);
    const int N = int(FEntries.size());
    if (N == 0) {
        DrawEmptyText(P, ChartEmptyText());
        return;
    }
    // A shown scroll bar takes its strip from the right edge.
    const int W = width() - (FScrollBar->isVisibleTo(this) ? FScrollBar->width() : 0);
    const int H = height();
    const qint32 M = RankScaleMax(FEntries);
    const int TW = RankTrackWidth(W);
    const TChartFonts Fonts;
    const QFontMetrics SmallMetrics(Fonts.Small);

    for (int I = 0; I < N; ++I) {
        const int Y = RankRowTop(FRowH, I) - FScroll;
        if (Y >= H)
            break;
        if (Y + FRowH <= 0)
            continue;
        const TRankEntry& E = FEntries[I];
        const bool Focused = I == FCurrent && hasFocus();
        const bool Hot = I == FHover || Focused;
        if (Hot)
            P.fillRect(BoxRect(22, Y - 2, W - 8, Y + FRowH - 4), ToQColor(clRowHover));
        // The keyboard's row is framed whole, its number included.
        if (Focused)
            OutlineRound(P, BoxRect(2, Y - 2, W - 8, Y + FRowH - 4), 0, clAccent);

        SetTextStyle(P, Fonts.Small, clSecondary);
        DrawBoxText(P, BoxRect(0, Y + 2, 26, Y + 18), Qt::AlignRight | Qt::AlignTop, QString::number(I + 1));

        // A very large count takes room from the label instead of losing digits.
        const QString Count = FormatCount(E.Value);
        const int CountLeft = FitLeft(W - 66, W - 8, SmallMetrics.horizontalAdvance(Count));
        const int LabelRight = qMin(W - 66, CountLeft);

        SetTextStyle(P, Fonts.Normal, Hot ? clAccent : clText);
        DrawBoxText(P, BoxRect(34, Y + 1, LabelRight, Y + 19), Qt::AlignLeft | Qt::AlignTop, E.Name, true);

        SetTextStyle(P, Fonts.Small, clSecondary);
        if (!E.Sub.isEmpty())
            DrawBoxText(P, BoxRect(34, Y + 19, LabelRight, Y + 33), Qt::AlignLeft | Qt::AlignTop, E.Sub, true);
        DrawBoxText(P, BoxRect(CountLeft, Y + 2, W - 8, Y + 18), Qt::AlignRight | Qt::AlignTop, Count);

        const int BY = Y + FRowH - 9;
        FillRound(P, BoxRect(34, BY, 34 + TW, BY + 4), 2, clHeatEmpty);
        const int FW = RankFillWidth(E.Value, M, TW);
        FillRound(P, BoxRect(34, BY, 34 + FW, BY + 4), 2, E.Color == kDefaultColor ? clAccent : E.Color);
    }
}

void TRankChart::mouseMoveEvent(QMouseEvent* Event)
{
    const int Row = RowAt(Event->position().toPoint().y());
    if (Row != FHover) {
        FHover = Row;
        Invalidate();
    }
    TChartBase::mouseMoveEvent(Event);
}

void TRankChart::mousePressEvent(QMouseEvent* Event)
{
    TChartBase::mousePressEvent(Event);
    if (Event->button() != Qt::LeftButton)
        return;
    Event->accept();
    // Two left presses on one row within the double-click time count as a
    // double click wherever in the row they fall, even when the system does
    // not report one (the pointer moved too far between them).
    const int Row = RowAt(Event->position().toPoint().y());
    if (Row >= 0)
        SetCurrent(Row);
    const quint32 Now = FTickSource();
    const quint32 Interval = quint32(qMax(0, QGuiApplication::styleHints()->mouseDoubleClickInterval()));
    if (Row >= 0 && Row == FLastRow && quint32(Now - FLastTick) < Interval) {
        FLastTick = 0;
        FLastRow = -1;
        emit ItemDblClicked(Row);
    } else {
        FLastTick = Now;
        FLastRow = Row;
    }
}

void TRankChart::mouseDoubleClickEvent(QMouseEvent* Event)
{
    const int Row = RowAt(Event->position().toPoint().y());
    if (Row >= 0)
        emit ItemDblClicked(Row);
    // QWidget hands the double click on as a press, so the press detector sees
    // the second press of the pair as well.
    TChartBase::mouseDoubleClickEvent(Event);
}

void TRankChart::SetCurrent(int Row)
{
    if (Row == FCurrent)
        return;
    FCurrent = Row;
    SetFocusItem(Row); // the keyboard's context menu acts on it
    if (Row >= 0)
        ScrollTo(RankScrollToShow(FScroll, FRowH, Row, height()));
    Invalidate();
}

void TRankChart::keyPressEvent(QKeyEvent* Event)
{
    // The rows have keys of their own; the base's item keys are not used.
    if (Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
        QWidget::keyPressEvent(Event);
        return;
    }
    switch (Event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (FCurrent >= 0 && FCurrent < FEntries.size())
            emit ItemDblClicked(FCurrent);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        // A page is the rows that fit, less one kept in view.
        SetCurrent(RankKeyRow(FCurrent, Event->key(), int(FEntries.size()), height() / std::max(FRowH, 1) - 1));
        break;
    default:
        QWidget::keyPressEvent(Event);
        return;
    }
    Event->accept();
}

void TRankChart::focusInEvent(QFocusEvent* Event)
{
    // Reached with Tab: Enter acts on the first row straight away. A click
    // picks its own row.
    const bool ByTab = Event->reason() == Qt::TabFocusReason || Event->reason() == Qt::BacktabFocusReason;
    if (ByTab && FCurrent < 0 && !FEntries.isEmpty())
        SetCurrent(0);
    Invalidate();
    TChartBase::focusInEvent(Event);
}

void TRankChart::focusOutEvent(QFocusEvent* Event)
{
    Invalidate();
    TChartBase::focusOutEvent(Event);
}

void TRankChart::leaveEvent(QEvent* Event)
{
    if (FHover >= 0) {
        FHover = -1;
        Invalidate();
    }
    TChartBase::leaveEvent(Event);
}
