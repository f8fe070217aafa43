#include "folded_texts.h"

#include "folded_coding.h"

#include <algorithm>
#include <string_view>

void TFoldedTexts::Reserve(qsizetype Records, qsizetype Bytes)
{
    FOffsets.reserve(size_t(Records) + 1);
    FText.reserve(size_t(Bytes));
}

void TFoldedTexts::Add(QAnyStringView Title, QAnyStringView Url, QAnyStringView Browser, QAnyStringView Profile)
{
    const qsizetype Size =
        FoldedCodeSize(Title) + FoldedCodeSize(Url) + FoldedCodeSize(Browser) + FoldedCodeSize(Profile) + 4;
    const size_t Start = FText.size();
    FText.resize(Start + size_t(Size));
    char* P = FText.data() + Start;
    P = WriteFoldedCode(P, Title);
    *P++ = ' ';
    P = WriteFoldedCode(P, Url);
    *P++ = ' ';
    P = WriteFoldedCode(P, Browser);
    *P++ = ' ';
    P = WriteFoldedCode(P, Profile);
    *P++ = '\0';
    FOffsets.push_back(qsizetype(FText.size()));
    // The sample goes on every seventh byte of the whole buffer.
    CountBytes(FCounts, std::string_view(FText).substr(std::min((Start + 6) / 7 * 7, FText.size())));
}

bool TFoldedTexts::Holds(qsizetype K, const std::vector<std::string>& Terms) const
{
    const qsizetype Begin = FOffsets[size_t(K)];
    const std::string_view Text(FText.data() + Begin, size_t(FOffsets[size_t(K) + 1] - 1 - Begin));
    return std::all_of(Terms.begin(), Terms.end(),
                       [&](const std::string& T) { return Text.find(T) != std::string_view::npos; });
}

std::vector<int> TFoldedTexts::Match(const std::vector<std::string>& Terms) const
{
    std::vector<int> Out;
    const qsizetype N = Count();

    // The longest term is usually the rarest and lets the search skip
    // furthest. A term holding a zero byte could match across the ends of
    // the texts, so it is only ever checked inside one text.
    auto Primary = Terms.end();
    for (auto T = Terms.begin(); T != Terms.end(); ++T)
        if (T->find('\0') == std::string::npos && (Primary == Terms.end() || T->size() > Primary->size()))
            Primary = T;
    if (Primary == Terms.end()) {
        for (qsizetype K = 0; K < N; ++K)
            if (Holds(K, Terms))
                Out.push_back(int(K));
        return Out;
    }

    // Found by the search, each text is checked for the other terms.
    std::vector<std::string> Others(Terms.begin(), Primary);
    Others.insert(Others.end(), Primary + 1, Terms.end());
    const TPiecePlan Plan = PlanPiece(*Primary, FCounts);
    const char* Begin = FText.data();
    const char* End = Begin + FText.size();
    qsizetype K = 0;
    const char* P = Begin;
    while (P < End) {
        const char* Hit = FindFolded(P, End, Plan);
        if (Hit == End)
            break;
        const auto It = std::upper_bound(FOffsets.begin() + K + 1, FOffsets.end(), Hit - Begin);
        K = qsizetype(It - FOffsets.begin()) - 1;
        if (Holds(K, Others))
            Out.push_back(int(K));
        P = Begin + FOffsets[size_t(K) + 1];
    }
    return Out;
}

qsizetype TFoldedTexts::MemoryBytes() const
{
    return qsizetype(FText.capacity() + FOffsets.capacity() * sizeof(qsizetype));
}
