#pragma once

#include "folded_search.h"

#include <QAnyStringView>
#include <QtGlobal>

#include <string>
#include <vector>

// Folded "title url browser profile" texts of records, one after another in
// one buffer, for the records whose fields the tree holds as UTF-16 (they
// had escapes, so the document's bytes are not their text). The texts are
// in the coding of folded_coding.h; a zero byte ends each record's text.
class TFoldedTexts final {
public:
    void Reserve(qsizetype Records, qsizetype Bytes);
    void Add(QAnyStringView Title, QAnyStringView Url, QAnyStringView Browser, QAnyStringView Profile);
    qsizetype Count() const { return qsizetype(FOffsets.size()) - 1; }
    // Positions (in the order added) of the texts holding every term, the
    // terms coded as the texts are.
    std::vector<int> Match(const std::vector<std::string>& Terms) const;
    // Whether text K holds every term.
    bool Holds(qsizetype K, const std::vector<std::string>& Terms) const;
    qsizetype MemoryBytes() const;

private:
    std::string FText;
    std::vector<qsizetype> FOffsets{0};  // start of text i; one past the last at the end
    TByteCounts FCounts{};               // sampled, for planning the search for a term
};
