#pragma once

#include <QString>
#include <QAnyStringView>

#include <array>

// One selectable browser source: the id used on command lines and the caption
// of its check box, which is also the browser's name in a report.
struct TSourceDef {
    QString Id;
    QString Cap;
};

inline constexpr int kSourceCount = 16;
using TSourceDefs = std::array<TSourceDef, kSourceCount>;

// The fixed source table; its order is the order of the boxes on screen, of
// the ids in "/src:" and "/srcids:" and of the browsers a report lists as not
// found. Ids are lower-case ASCII; the collector accepts exactly these.
const TSourceDefs& SourceDefs();

// The entry with exactly this id, or nullptr.
const TSourceDef* FindSourceDef(QAnyStringView Id);
