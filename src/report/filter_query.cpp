#include "filter_query.h"

#include "folded_coding.h"
#include "record_filter.h"

#include <algorithm>

namespace {

// Whether every surrogate in Text is half of a pair: only such text has a
// UTF-8 form in which substrings are the same as in UTF-16.
bool PairedSurrogates(QStringView Text)
{
    for (qsizetype I = 0; I < Text.size(); ++I) {
        if (Text[I].isHighSurrogate() && I + 1 < Text.size() && Text[I + 1].isLowSurrogate())
            ++I;
        else if (Text[I].isSurrogate())
            return false;
    }
    return true;
}

// How often the piece occurs in eight stretches of 64 KiB spread over the
// bytes: enough to tell a rare piece from a common one.
qsizetype SampleHits(std::string_view Bytes, const TPiecePlan& Plan)
{
    constexpr size_t kStretch = 65536;
    const char* const Base = Bytes.data();
    qsizetype Hits = 0;
    for (size_t S = 0; S < 8; ++S) {
        const char* P = Base + Bytes.size() * S / 8;
        const char* End = P + std::min(kStretch, size_t(Base + Bytes.size() - P));
        while ((P = FindFolded(P, End, Plan)) != End) {
            ++Hits;
            ++P;
        }
    }
    return Hits;
}

}  // namespace

TFilterQuery::TFilterQuery(const QStringList& Terms)
{
    for (const QString& T : Terms) {
        Folded.append(FoldAscii(T));
        Paired = Paired && PairedSurrogates(Folded.back());
        Utf8.push_back(Folded.back().toStdString());
        Coded.push_back(FoldedCode(Folded.back()));
    }
}

TSearchPiece ChooseSearchPiece(const std::vector<std::string>& Utf8Terms, std::string_view Bytes,
                               const TByteCounts& Counts)
{
    TSearchPiece Best;
    qsizetype Fewest = -1;
    for (size_t K = 0; K < Utf8Terms.size(); ++K) {
        const std::string_view V(Utf8Terms[K]);
        for (size_t From = 0; From < V.size();) {
            const size_t To = std::min(V.find(' ', From), V.size());
            const std::string_view Cand = V.substr(From, To - From);
            From = To + 1;
            if (Cand.empty())
                continue;
            const qsizetype Seen = Bytes.empty() ? 0 : SampleHits(Bytes, PlanPiece(Cand, Counts));
            if (Fewest < 0 || Seen < Fewest || (Seen == Fewest && Cand.size() > Best.Piece.size())) {
                Fewest = Seen;
                Best = {Cand, K};
            }
        }
    }
    return Best;
}
