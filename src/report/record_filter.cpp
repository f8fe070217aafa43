#include "record_filter.h"

#include "json.h"
#include "text_util.h"

#include <algorithm>

namespace {

constexpr QLatin1StringView kTitle = kSearchedKeys[0];
constexpr QLatin1StringView kUrl = kSearchedKeys[1];
constexpr QLatin1StringView kBrowser = kSearchedKeys[2];
constexpr QLatin1StringView kProfile = kSearchedKeys[3];
constexpr QLatin1StringView kTime("time");

// A view into the tree: no copy per record and field.
QAnyStringView Member(const TJsonValue* Record, QLatin1StringView Key)
{
    return Record ? Record->SView(Key) : QAnyStringView();
}

}  // namespace

QString FoldAscii(QStringView Text)
{
    QString Out = Text.toString();
    for (QChar& Ch : Out)
        Ch = QChar(FoldAsciiChar(Ch.unicode()));
    return Out;
}

QStringList ParseFilterTerms(const QString& Text)
{
    QStringList Terms;
    // Blanks at both ends go first, so an unclosed phrase being typed does not
    // end in the space just typed after it.
    const QString S = FoldAscii(TrimBlanks(Text));
    const qsizetype N = S.size();
    auto IsBlank = [&](qsizetype I) { return S.at(I).unicode() <= 0x20; };
    auto Keep = [&](const QString& Term) {
        for (const QChar Ch : Term)
            if (Ch.unicode() > 0x20) {
                Terms.append(Term);
                return;
            }
    };
    qsizetype I = 0;
    while (I < N) {
        while (I < N && IsBlank(I))
            ++I;
        if (I >= N)
            break;
        QString Term;
        if (S.at(I) == u'"') {
            ++I;
            while (I < N) {
                if (S.at(I) == u'"') {
                    if (I + 1 < N && S.at(I + 1) == u'"') {
                        Term += u'"';
                        I += 2;
                        continue;
                    }
                    ++I;  // closing quote; what follows starts the next term
                    break;
                }
                Term += S.at(I++);
            }
        } else {
            const qsizetype Start = I;
            while (I < N && !IsBlank(I))
                ++I;
            Term = S.mid(Start, I - Start);
        }
        Keep(Term);
    }
    return Terms;
}

bool TermsNarrow(const QStringList& Old, const QStringList& New)
{
    if (Old.isEmpty())
        return false;
    for (const QString& O : Old)
        if (std::none_of(New.begin(), New.end(), [&](const QString& N) { return N.contains(O); }))
            return false;
    return true;
}

TRecordText ReadRecordText(const TJsonValue* Record)
{
    TRecordText T;
    T.Time = Member(Record, kTime).toString();
    T.Browser = Member(Record, kBrowser).toString();
    T.Profile = Member(Record, kProfile).toString();
    T.Title = Member(Record, kTitle).toString();
    T.Url = Member(Record, kUrl).toString();
    return T;
}

QString CopiedRecordLine(const TRecordText& T)
{
    QString Line;
    for (const QString* Field : {&T.Time, &T.Browser, &T.Title, &T.Url}) {
        if (Field != &T.Time)
            Line += u'\t';
        QString Cell = BoundedText(*Field);
        for (QChar& Ch : Cell)
            if (Ch == u'\t' || Ch == u'\r' || Ch == u'\n')
                Ch = u' ';
        Line += Cell;
    }
    return Line;
}

bool RecordMatches(const TJsonValue* Record, const QStringList& Terms)
{
    if (Terms.isEmpty())
        return true;
    QString Search = Member(Record, kTitle).toString();
    Search.append(u' ').append(Member(Record, kUrl).toString()).append(u' ');
    Search.append(Member(Record, kBrowser).toString()).append(u' ').append(Member(Record, kProfile).toString());
    for (QChar& Ch : Search)
        Ch = QChar(FoldAsciiChar(Ch.unicode()));
    for (const QString& Term : Terms)
        if (!Search.contains(Term, Qt::CaseSensitive))
            return false;
    return true;
}

std::vector<int> ScanRecords(const TJsonValue* Records, const QStringList& Terms)
{
    std::vector<int> Out;
    if (!Records || !Records->IsArray())
        return Out;
    for (int I = 0, N = Records->Count(); I < N; ++I)
        if (RecordMatches(Records->Items(I), Terms))
            Out.push_back(I);
    return Out;
}
