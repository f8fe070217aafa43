#pragma once

// Where the resizing controls of the report window's pages go, as plain
// functions of the page size: the window's resize handlers apply them, and
// tests check them without a widget. Every rectangle is in its page, except
// the rows of the overview's table of contents, which are in their card.

#include <QRect>
#include <QSize>

#include <array>

// The page area of a window of the initial size; pages are built for it, and
// anchored controls keep their distances to it as the real page size varies.
inline constexpr QSize kBuiltPage(1112, 572);

struct TOverviewLayout {
    std::array<QRect, 5> Kpi;      // key-figure cards, left to right
    QRect Info;                    // "采集概况" card
    QRect Index;                   // table-of-contents card
    std::array<QRect, 7> IdxName;  // page names, in the index card
    std::array<QRect, 7> IdxDesc;  // page descriptions beside them
};
// Cards share the width, none below 120 px; at small heights the table of
// contents closes up its rows so that all of them stay inside the page.
TOverviewLayout OverviewLayout(QSize Page);

struct TTimeLayout {
    QRect Heat;
    QRect Bars;
    QRect Span;  // the trend's date-span text beside its title
};
TTimeLayout TimeLayout(QSize Page);

// A page of two charts side by side, each under a title and a note; only the
// right-hand title and note follow the split.
struct TSplitLayout {
    QRect Left;
    QRect Right;
    QRect RightTitle;
    QRect RightNote;
};
// The domain ranking takes 60 %, but the donut keeps room for its legend.
TSplitLayout DomainLayout(QSize Page);
// Pages and keywords share the width evenly.
TSplitLayout PagesLayout(QSize Page);

struct TBrowserLayout {
    QRect Chart;
    QRect Info;  // the "采集概况" card right of the chart
    QRect Note;  // under the chart
};
// The chart is as high as its Browsers rows need, at least 120 px, but never
// past the page.
TBrowserLayout BrowserLayout(QSize Page, int Browsers);
