#include "report_layout.h"

#include "text_util.h"

#include <algorithm>

namespace {

constexpr int kChartTop = 52;  // below a page's title and note

}  // namespace

TOverviewLayout OverviewLayout(QSize Page)
{
    const int W = Page.width();
    TOverviewLayout L;
    const int KW = std::max(120, (W - 24 - 40) / 5);
    for (int I = 0; I < 5; ++I)
        L.Kpi[I] = QRect(12 + I * (KW + 10), 12, KW, 88);
    L.Info = QRect(12, 116, W - 24, 156);
    const int IndexH = std::clamp(Page.height() - 312 - 8, 130, 210);
    L.Index = QRect(12, 312, W - 24, IndexH);
    // Rows 38 px apart when there is room, at least 22; the first row moves
    // up by half of what a step gives away so the rows stay centred.
    const int Step = std::clamp((IndexH - 48 - 20 - 6) / 3, 22, 38);
    const int First = 48 - (38 - Step) / 2;
    const int Half = (W - 24 - 60) / 2;
    for (int I = 0; I < 7; ++I) {
        const int X = I < 4 ? 20 : Half + 40;
        const int Top = First + Step * (I < 4 ? I : I - 4);
        L.IdxName[I] = QRect(X, Top, 96, 20);
        L.IdxDesc[I] = QRect(X + 100, Top + 1, Half - 100, 20);
    }
    return L;
}

TTimeLayout TimeLayout(QSize Page)
{
    const int W = Page.width();
    return {QRect(16, kChartTop, W - 32, 240), QRect(16, 324, W - 32, Page.height() - 334),
            QRect(110, 304, W - 130, 18)};
}

TSplitLayout DomainLayout(QSize Page)
{
    const int W = Page.width();
    constexpr int kMinDonutW = 420;  // the 200 px ring and legend names beside it
    const int LW = std::min(int(RoundHalfEven((W - 40) * 0.6)), std::max(300, W - 50 - kMinDonutW));
    return {QRect(16, kChartTop, LW, Page.height() - 64), QRect(LW + 30, kChartTop, W - LW - 50, 300),
            QRect(LW + 30, 10, 300, 20), QRect(LW + 30, 30, W - LW - 50, 18)};
}

TSplitLayout PagesLayout(QSize Page)
{
    const int Half = (Page.width() - 40) / 2;
    const int H = Page.height() - 64;
    return {QRect(16, kChartTop, Half, H), QRect(Half + 32, kChartTop, Half, H), QRect(Half + 32, 10, 300, 20),
            QRect(Half + 32, 30, Half, 18)};
}

TBrowserLayout BrowserLayout(QSize Page, int Browsers)
{
    const int W = Page.width();
    const int CW = std::max(300, W - 32 - 380 - 14);
    // 30 px rank rows, plus the chart's top and bottom margins.
    const int CH = std::max(0, std::min(std::max(Browsers * 30 + 4 + 16, 120), Page.height() - 110));
    return {QRect(16, kChartTop, CW, CH), QRect(CW + 30, kChartTop, W - CW - 50, 244), QRect(16, CH + 62, CW, 34)};
}
