#pragma once

// The filter of a report window's records: what a keystroke searches.

#include "folded_search.h"
#include "folded_texts.h"

#include <QStringList>
#include <QtGlobal>

#include <vector>

class TJsonValue;
struct TByteSpan;

// What a keystroke needs to filter a records array quickly, without a copy
// of its text: the records' fields are views into the document's UTF-8
// bytes, so the bytes themselves are searched (sixteen at a time, ASCII
// letters in either case) for the rarest blank-free piece of the terms, and
// only the records hit there are checked against the whole rule. Between
// records (keys, times) a hit counts for nothing. Records with an escaped
// field are searched in a folded copy of their texts. The index points into
// the tree, which must outlive it.
class TFilterIndex final {
public:
    void Clear();
    void Build(const TJsonValue* Records);

    qsizetype Count() const { return FCount; }
    // Indexes of the records that hold every term, ascending; all records
    // when Terms is empty. The same as ScanRecords gives.
    std::vector<int> Match(const QStringList& Terms) const;
    // The same, for a caller that knows every match is among Rows
    // (ascending), as when the terms only narrowed since Rows were matched
    // (TermsNarrow): those rows are checked instead of every record searched.
    std::vector<int> MatchWithin(const QStringList& Terms, const std::vector<int>& Rows) const;
    qsizetype MemoryBytes() const;

private:
    TByteSpan Span(size_t Plain) const;

    const TJsonValue* FRecords = nullptr;
    qsizetype FCount = 0;
    // Records with UTF-8 fields, in document order: their index, and the
    // span from their first field byte to their last, from FBase.
    std::vector<int> FPlainRow;
    std::vector<quint32> FBegin;
    std::vector<quint32> FEnd;
    const char* FBase = nullptr;
    TByteCounts FCounts{};      // sampled, for planning the search for a piece
    std::vector<int> FOther;    // records with an escaped field, in order
    TFoldedTexts FOtherTexts;   // and their texts
};
