#pragma once

// A filter's terms made ready for each kind of search, and the plan of the
// search through the document's bytes.

#include "folded_search.h"

#include <QStringList>
#include <QtGlobal>

#include <string>
#include <string_view>
#include <vector>

struct TFilterQuery {
    explicit TFilterQuery(const QStringList& Terms);

    QStringList Folded;             // for the plain rule, on UTF-16
    std::vector<std::string> Utf8;  // for records held as UTF-8
    std::vector<std::string> Coded; // for the folded texts of the other records
    // No term holds a lone surrogate, which only UTF-16 can match: the
    // searches through bytes apply.
    bool Paired = true;
};

// The blank-free piece of one of the terms that the document's bytes are
// searched for: it lies inside one field wherever the term occurs. Of all
// pieces the one found least often in a sample of Bytes (each record hit
// costs a check), the longer of two alike. Empty when the terms have no
// blank-free piece.
struct TSearchPiece {
    std::string_view Piece;
    size_t Term = 0;
};
TSearchPiece ChooseSearchPiece(const std::vector<std::string>& Utf8Terms, std::string_view Bytes,
                               const TByteCounts& Counts);
