#include "plain_records.h"

#include "json.h"
#include "record_filter.h"
#include "utf8.h"

#include <algorithm>

TFieldReader::TFields TFieldReader::Read(const TJsonValue* Record)
{
    const void* Id = Record->KeyListId();
    if (Id != FId) {
        FId = Id;
        for (int K = 0; K < 4; ++K) {
            FSlot[K] = -1;
            for (int I = 0; I < Record->PairCount() && FSlot[K] < 0; ++I)
                if (Record->PairKeyView(I) == kSearchedKeys[K])
                    FSlot[K] = I;
        }
    }
    TFields Out;
    for (int K = 0; K < 4; ++K) {
        const TJsonValue* V = FSlot[K] < 0 ? nullptr : Record->PairValue(FSlot[K]);
        if (V && V->IsString())
            Out[K] = V->StrView();
    }
    return Out;
}

QAnyStringView TMemberReader::Read(const TJsonValue* Record)
{
    if (!Record->IsObject())
        return {};
    if (Record->KeyListId() != FId) {
        FId = Record->KeyListId();
        FSlot = -1;
        for (int I = 0; I < Record->PairCount() && FSlot < 0; ++I)
            if (Record->PairKeyView(I) == FKey)
                FSlot = I;
    }
    const TJsonValue* V = FSlot < 0 ? nullptr : Record->PairValue(FSlot);
    return V && V->IsString() ? V->StrView() : QAnyStringView();
}

std::optional<std::string_view> Utf8Field(QAnyStringView Field)
{
    return Field.visit([](auto V) -> std::optional<std::string_view> {
        if constexpr (IsUtf8View<decltype(V)>)
            return std::string_view(V.data(), size_t(V.size()));
        else if (V.isEmpty())
            return std::string_view();
        else
            return std::nullopt;
    });
}

TPlainCheck::TPlainCheck(const std::vector<std::string>& Terms, const TByteCounts& Counts)
{
    FPlans.reserve(Terms.size());
    for (const std::string& T : Terms)
        FPlans.push_back(PlanPiece(T, Counts));
}

// A term without blanks cannot reach across the blanks that join the
// fields: it holds when it occurs inside a field, which is looked for in the
// record's bytes (from where it was found, for the term found already). A
// term with blanks is looked for in the folded "title url browser profile".
bool TPlainCheck::Check(const TJsonValue* Record, TByteSpan Span, std::optional<TFoundTerm> Found)
{
    std::array<std::string_view, 4> Fields;
    {
        const TFieldReader::TFields Views = FReader.Read(Record);
        for (size_t K = 0; K < 4; ++K)
            Fields[K] = Utf8Field(Views[K]).value_or(std::string_view());
    }
    FText.clear();
    for (size_t I = 0; I < FPlans.size(); ++I) {
        const TPiecePlan& T = FPlans[I];
        const size_t N = T.Piece.size();
        if (T.Piece.find(' ') == std::string_view::npos) {
            const auto Inside = [&](const char* At) {
                return std::any_of(Fields.begin(), Fields.end(), [&](std::string_view F) {
                    return At >= F.data() && At + N <= F.data() + F.size();
                });
            };
            const char* At = Found && Found->Term == I ? Found->At : FindFolded(Span.Begin, Span.End, T);
            while (At != Span.End && !Inside(At))
                At = FindFolded(At + 1, Span.End, T);
            if (At == Span.End)
                return false;
            continue;
        }
        if (FText.empty()) {
            FText.resize(Fields[0].size() + Fields[1].size() + Fields[2].size() + Fields[3].size() + 3, ' ');
            char* Out = FText.data();
            for (const std::string_view F : Fields)
                Out = FoldCopy(Out, F) + 1;
        }
        if (FText.find(T.Piece) == std::string::npos)
            return false;
    }
    return true;
}
