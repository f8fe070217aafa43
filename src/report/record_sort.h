#pragma once

// The order of the records list: document order, or sorted by one column.

#include <QAnyStringView>
#include <QLatin1StringView>

#include <vector>

class TJsonValue;

// The columns of the records list and the members they show.
enum TRecordColumn { rcTime, rcBrowser, rcProfile, rcTitle, rcUrl, rcColumnCount };
inline constexpr QLatin1StringView kRecordKeys[rcColumnCount] = {
    QLatin1StringView("time"), QLatin1StringView("browser"), QLatin1StringView("profile"),
    QLatin1StringView("title"), QLatin1StringView("url")};

enum TSortDirection { sdNone, sdAscending, sdDescending };

// What the list is sorted by. A click on a column's header sorts by it, a
// second reverses, a third returns to document order.
struct TRecordSort {
    int Column = -1;
    TSortDirection Direction = sdNone;

    TRecordSort Clicked(int Header) const;
    bool operator==(const TRecordSort&) const = default;
};

// Orders two texts by code point; a missing text counts as empty.
int CompareCodePoints(QAnyStringView A, QAnyStringView B);

// Every index of Records (an array; nothing otherwise) in the order Sort
// gives: by the column's text, code point by code point, empty texts first
// when ascending; records with equal texts stay in document order, in either
// direction. Document order for sdNone. The texts are compared where the
// document holds them, without a copy.
std::vector<int> SortedRecords(const TJsonValue* Records, TRecordSort Sort);

// The rows of Rows (ascending record indexes) in the order of Order, a
// permutation of all Count records; Rows itself when Order is empty.
std::vector<int> InOrder(const std::vector<int>& Order, const std::vector<int>& Rows, qsizetype Count);
