#pragma once

// Records whose searched fields the tree holds as views into the document's
// UTF-8 bytes (they had no escapes): reading those fields, and checking such
// a record against the filter terms.

#include "folded_search.h"

#include <QAnyStringView>
#include <QLatin1StringView>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TJsonValue;

// The searched fields of records in the order title, url, browser, profile,
// as the plain rule reads them (the first member of each name, if a
// string). Records share their lists of keys, so the places of the fields
// are looked up once per list.
class TFieldReader final {
public:
    using TFields = std::array<QAnyStringView, 4>;
    TFields Read(const TJsonValue* Record);

private:
    const void* FId = nullptr;
    std::array<int, 4> FSlot{-1, -1, -1, -1};
};

// One string member of records (the first member of the name, if a string),
// its place looked up once per list of keys the records share.
class TMemberReader final {
public:
    explicit TMemberReader(QLatin1StringView Key) : FKey(Key) {}
    QAnyStringView Read(const TJsonValue* Record);

private:
    QLatin1StringView FKey;
    const void* FId = nullptr;
    int FSlot = -1;
};

// The UTF-8 bytes of a field the tree holds as a view into the document, or
// nullopt for a field it holds as UTF-16 (one that had escapes).
std::optional<std::string_view> Utf8Field(QAnyStringView Field);

// A record's searched bytes in the document: from its first field byte to
// one past its last. Keys and other members may lie in between.
struct TByteSpan {
    const char* Begin = nullptr;
    const char* End = nullptr;
};

// Where the byte search found one of the terms in a record.
struct TFoundTerm {
    size_t Term = 0;
    const char* At = nullptr;
};

// Checks records with UTF-8 fields against every term, the terms folded and
// in UTF-8 without lone surrogates, so that their substrings there are the
// UTF-16 ones. Holds views of Terms, which must outlive it.
class TPlainCheck final {
public:
    TPlainCheck(const std::vector<std::string>& Terms, const TByteCounts& Counts);

    // Whether the record, its searched fields within Span, holds every term.
    bool Holds(const TJsonValue* Record, TByteSpan Span) { return Check(Record, Span, std::nullopt); }
    // The same, for a record in which the byte search found one term already.
    bool Holds(const TJsonValue* Record, TByteSpan Span, TFoundTerm Found) { return Check(Record, Span, Found); }

private:
    bool Check(const TJsonValue* Record, TByteSpan Span, std::optional<TFoundTerm> Found);

    std::vector<TPiecePlan> FPlans;
    TFieldReader FReader;
    std::string FText;  // the joined fields, built when a term with blanks asks for it
};
