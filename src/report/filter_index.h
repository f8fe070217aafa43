#pragma once

// The filter of a report window's records: what a keystroke searches.

#include <QAnyStringView>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <string>
#include <vector>

class TJsonValue;

// Folded "title url browser profile" texts of records, one after another in
// one buffer, for the records whose fields the tree holds as UTF-16 (they
// had escapes, so the document's bytes are not their text). Each UTF-16 code
// unit is stored as 1 to 3 bytes; a zero byte ends each record's text.
class TFoldedTexts final {
public:
    void Reserve(qsizetype Records, qsizetype Bytes);
    void Add(QAnyStringView Title, QAnyStringView Url, QAnyStringView Browser, QAnyStringView Profile);
    qsizetype Count() const { return qsizetype(FOffsets.size()) - 1; }
    // Positions (in the order added) of the texts holding every term, the
    // terms folded and coded as the texts are.
    std::vector<int> Match(const std::vector<std::string>& Terms) const;
    // Whether text K holds every term.
    bool Holds(qsizetype K, const std::vector<std::string>& Terms) const { return SliceHasAll(K, Terms, -1); }
    qsizetype MemoryBytes() const;

private:
    bool SliceHasAll(qsizetype Record, const std::vector<std::string>& Terms, qsizetype Skip) const;

    std::string FText;
    std::vector<qsizetype> FOffsets{0};  // start of text i; one past the last at the end
    std::array<quint32, 256> FFreq{};    // sampled byte counts: which bytes of a term are rare
};

// What a keystroke needs to filter a records array quickly, without a copy
// of its text: the records' fields are views into the document's UTF-8
// bytes, so the bytes themselves are searched (sixteen at a time, ASCII
// letters in either case) for the longest blank-free piece of the terms, and
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
    const TJsonValue* FRecords = nullptr;
    qsizetype FCount = 0;
    // Records with UTF-8 fields, in document order: their index, and the
    // span from their first field byte to their last, from FBase.
    std::vector<int> FPlainRow;
    std::vector<quint32> FBegin;
    std::vector<quint32> FEnd;
    const char* FBase = nullptr;
    std::array<quint32, 256> FFreq{};  // sampled byte counts: which bytes of a piece are rare
    std::vector<int> FOther;           // records with an escaped field, in order
    TFoldedTexts FOtherTexts;          // and their texts
};
