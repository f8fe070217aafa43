#include "records_csv.h"

#include "atomic_file.h"
#include "json.h"
#include "utf8.h"

#include <QDateTime>

#include <algorithm>
#include <string_view>

namespace {

constexpr QLatin1StringView kKeys[5] = {QLatin1StringView("time"), QLatin1StringView("browser"),
                                        QLatin1StringView("profile"), QLatin1StringView("title"),
                                        QLatin1StringView("url")};

bool NeedsGuard(char16_t C)
{
    return C == u'=' || C == u'+' || C == u'-' || C == u'@' || C == u'\t' || C == u'\r';
}

bool NeedsQuotes(QStringView Field)
{
    for (QChar C : Field) {
        const char16_t U = C.unicode();
        if (U == u',' || U == u'"' || U == u'\r' || U == u'\n')
            return true;
    }
    return false;
}

void AppendUtf16CsvField(QByteArray& Out, QStringView Field)
{
    // Worst case: 3 bytes per code unit, doubled quotes stay within that,
    // plus the apostrophe and two quotes. Grown geometrically by hand so that
    // a million rows do not reallocate a million times.
    const qsizetype Need = Out.size() + 3 * Field.size() + 3;
    if (Need > Out.capacity())
        Out.reserve(std::max(Need, Out.capacity() * 2));
    const qsizetype Start = Out.size();
    Out.resize(Need);
    char* P = Out.data() + Start;

    const bool Quote = NeedsQuotes(Field);
    if (Quote)
        *P++ = '"';
    if (!Field.isEmpty() && NeedsGuard(Field.front().unicode()))
        *P++ = '\'';
    const char16_t* S = reinterpret_cast<const char16_t*>(Field.utf16());
    const char16_t* End = S + Field.size();
    while (S < End) {
        char32_t C = *S++;
        if (C < 0x80) {
            if (C == u'"')
                *P++ = '"';
            *P++ = char(C);
            continue;
        }
        if (C >= 0xD800 && C <= 0xDFFF) {
            if (C <= 0xDBFF && S < End && *S >= 0xDC00 && *S <= 0xDFFF)
                C = 0x10000 + ((C - 0xD800) << 10) + (char32_t(*S++) - 0xDC00);
            else
                C = 0xFFFD;
        }
        if (C < 0x800) {
            *P++ = char(0xC0 | (C >> 6));
        } else if (C < 0x10000) {
            *P++ = char(0xE0 | (C >> 12));
            *P++ = char(0x80 | ((C >> 6) & 0x3F));
        } else {
            // Two code units in, four bytes out: within the 3-per-unit budget.
            *P++ = char(0xF0 | (C >> 18));
            *P++ = char(0x80 | ((C >> 12) & 0x3F));
            *P++ = char(0x80 | ((C >> 6) & 0x3F));
        }
        *P++ = char(0x80 | (C & 0x3F));
    }
    if (Quote)
        *P++ = '"';
    Out.resize(P - Out.data());
}

// A UTF-8 field goes out as its bytes, quotes doubled.
void AppendUtf8CsvField(QByteArray& Out, std::string_view Field)
{
    const char* S = Field.data();
    const qsizetype N = qsizetype(Field.size());
    bool Quote = false;
    qsizetype Quotes = 0;
    for (qsizetype I = 0; I < N; ++I) {
        const char C = S[I];
        Quote = Quote || C == ',' || C == '"' || C == '\r' || C == '\n';
        Quotes += C == '"';
    }
    const bool Guard = N > 0 && NeedsGuard(char16_t(uchar(S[0])));
    const qsizetype Need = Out.size() + N + Quotes + 3;
    if (Need > Out.capacity())
        Out.reserve(std::max(Need, Out.capacity() * 2));
    if (Quote)
        Out.append('"');
    if (Guard)
        Out.append('\'');
    if (!Quotes) {
        Out.append(S, N);
    } else {
        for (qsizetype I = 0; I < N; ++I) {
            if (S[I] == '"')
                Out.append('"');
            Out.append(S[I]);
        }
    }
    if (Quote)
        Out.append('"');
}

} // namespace

void AppendCsvField(QByteArray& Out, QAnyStringView Field)
{
    Field.visit([&Out](auto V) {
        if constexpr (IsUtf8View<decltype(V)>)
            AppendUtf8CsvField(Out, std::string_view(V.data(), size_t(V.size())));
        else if constexpr (std::is_same_v<decltype(V), QStringView>)
            AppendUtf16CsvField(Out, V);
        else
            AppendUtf16CsvField(Out, V.toString());
    });
}


QByteArray RecordsCsv(const TJsonValue* Records, const std::vector<int>& Rows)
{
    QByteArray Out;
    // About 200 bytes a record; a guess only, the fields grow it as needed.
    Out.reserve(qsizetype(Rows.size()) * 200 + 64);
    Out.append("\xEF\xBB\xBF");
    static const QString Header[5] = {QStringLiteral("时间"), QStringLiteral("浏览器"), QStringLiteral("配置"),
                                      QStringLiteral("标题"), QStringLiteral("网址")};
    for (int C = 0; C < 5; ++C) {
        if (C > 0)
            Out.append(',');
        AppendCsvField(Out, Header[C]);
    }
    Out.append("\r\n");
    for (int Row : Rows) {
        const TJsonValue* Record = Records ? Records->Items(Row) : nullptr;
        if (!Record)
            continue;
        for (int C = 0; C < 5; ++C) {
            if (C > 0)
                Out.append(',');
            AppendCsvField(Out, Record->SView(kKeys[C]));
        }
        Out.append("\r\n");
    }
    return Out;
}

QString RecordsCsvName(const QDateTime& Now)
{
    return QStringLiteral("Marrowkin_Records_") + Now.toString(QStringLiteral("yyyyMMdd_HHmmss")) +
           QStringLiteral(".csv");
}

bool WriteWholeFile(const QString& Path, const QByteArray& Bytes, QString& Error)
{
    TAtomicFile File;
    if (!File.Open(Path) || !File.Write(Bytes.constData(), Bytes.size())
        || !File.Commit(Path, TAtomicFile::cmReplace)) {
        Error = File.ErrorString();
        return false;
    }
    return true;
}
