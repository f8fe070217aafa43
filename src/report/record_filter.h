#pragma once

#include <QAnyStringView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <array>
#include <string>
#include <vector>

class TJsonValue;

// Turns A..Z into a..z and leaves every other character alone: the filter
// folds case for ASCII only, so "É" never matches "é".
QString FoldAscii(QStringView Text);

// Splits a filter text into lower-cased terms. Characters up to U+0020
// separate terms; a term that starts with a double quote runs to the next
// single double quote (a doubled one stands for a quote) or to the end, and may
// hold spaces. Empty and blank-only terms are dropped.
QStringList ParseFilterTerms(const QString& Text);

// The string members of one record, as the list and the filter read them.
struct TRecordText {
    QString Time;
    QString Browser;
    QString Profile;
    QString Title;
    QString Url;
};
TRecordText ReadRecordText(const TJsonValue* Record);

// The straightforward rule: fold a fresh "title url browser profile" text and
// test every term as a substring. Used as the reference and as the baseline
// the index is measured against.
bool RecordMatches(const TJsonValue* Record, const QStringList& Terms);
std::vector<int> ScanRecords(const TJsonValue* Records, const QStringList& Terms);

// Precomputed search text of every record, so a keystroke costs one substring
// search over one contiguous buffer instead of a string per record.
//
// The folded texts are stored with each UTF-16 code unit written as 1 to 3
// bytes (UTF-8 shapes, surrogates encoded one by one). That coding is
// prefix-free and self-synchronising, so a term occurs in a record's text
// exactly when its bytes occur in the record's bytes, while ASCII-heavy texts
// take half the memory of UTF-16. A zero byte ends each record; a term with a
// U+0000 inside is only ever searched within one record's bytes.
class TFilterIndex final {
public:
    void Clear();
    void Build(const TJsonValue* Records);
    // For callers (and tests) that hold the fields themselves.
    void Reserve(qsizetype Records, qsizetype Bytes);
    void Add(QAnyStringView Title, QAnyStringView Url, QAnyStringView Browser, QAnyStringView Profile);

    qsizetype Count() const { return qsizetype(FOffsets.size()) - 1; }
    // Indexes of the records that hold every term, ascending; all records
    // when Terms is empty.
    std::vector<int> Match(const QStringList& Terms) const;
    qsizetype MemoryBytes() const;

private:
    bool SliceHasAll(qsizetype Record, const std::vector<std::string>& Terms, qsizetype Skip) const;

    std::string FText;
    std::vector<qsizetype> FOffsets{0};  // start of record i; one past the last at the end
    std::array<quint32, 256> FFreq{};    // sampled byte counts: which bytes of a term are rare
};
