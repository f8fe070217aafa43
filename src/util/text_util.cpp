#include "text_util.h"

#include "utf8.h"

#include <QDir>
#include <QIODevice>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

#include <cmath>
#include <limits>

qint64 RoundHalfEven(double X)
{
    if (std::isnan(X))
        return 0;
    if (X >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (X <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    const double Floor = std::floor(X);
    const double Diff = X - Floor;
    qint64 R = qint64(Floor);
    if (Diff > 0.5 || (Diff == 0.5 && (R % 2 != 0)))
        ++R;
    return R;
}

QString TrimBlanks(QStringView Text)
{
    qsizetype From = 0;
    qsizetype To = Text.size();
    while (From < To && Text[From].unicode() <= 0x20)
        ++From;
    while (To > From && Text[To - 1].unicode() <= 0x20)
        --To;
    return Text.mid(From, To - From).toString();
}

QString CleanSystemText(QStringView Text)
{
    const auto Blank = [](QChar C) { return C.unicode() <= 0x20 || C.isSpace(); };
    qsizetype Begin = 0;
    qsizetype End = Text.size();
    while (Begin < End && Blank(Text[Begin]))
        ++Begin;
    while (End > Begin) {
        const QChar C = Text[End - 1];
        if (Blank(C) || C == u'.' || C == u'\u3002' || C.category() == QChar::Other_Control)
            --End;
        else
            break;
    }
    return Text.mid(Begin, End - Begin).toString();
}

namespace {

template <typename TUnit>
bool ParseDecimalUnits(const TUnit* Text, qsizetype Size, qint64& Value)
{
    Value = 0;
    qsizetype I = 0;
    bool Neg = false;
    if (I < Size && (Text[I] == '+' || Text[I] == '-')) {
        Neg = Text[I] == '-';
        ++I;
    }
    if (I >= Size)
        return false;
    // Accumulate negatively so that the minimum value fits.
    qint64 Acc = 0;
    constexpr qint64 Min = std::numeric_limits<qint64>::min();
    for (; I < Size; ++I) {
        const auto C = Text[I];
        if (C < '0' || C > '9')
            return false;
        const int D = int(C - '0');
        if (Acc < (Min + D) / 10)
            return false;
        Acc = Acc * 10 - D;
    }
    if (!Neg) {
        if (Acc == Min)
            return false;
        Acc = -Acc;
    }
    Value = Acc;
    return true;
}

} // namespace

bool ParseDecimal(QAnyStringView Text, qint64& Value)
{
    // Digits and signs are ASCII in every coding, so bytes and units are read alike.
    return Text.visit([&](auto V) {
        if constexpr (IsUtf16View<decltype(V)>)
            return ParseDecimalUnits(V.utf16(), V.size(), Value);
        else
            return ParseDecimalUnits(reinterpret_cast<const uchar*>(V.data()), V.size(), Value);
    });
}

bool DirExists(const QString& Path)
{
    return !Path.isEmpty() && QFileInfo(Path).isDir();
}

void EnsureDir(const QString& Path)
{
    if (!Path.isEmpty())
        QDir().mkpath(Path);
}

bool ParseDate(const QString& Text, QDate& Date)
{
    Date = QDate();
    // An ideographic or no-break space is part of the text and makes it no date.
    QString S = TrimBlanks(Text);
    if (S.size() < 8)
        return false;
    S.replace(u'/', u'-');
    const qsizetype P1 = S.indexOf(u'-');
    if (P1 < 0)
        return false;
    const QString Rest = S.mid(P1 + 1);
    const qsizetype P2 = Rest.indexOf(u'-');
    if (P2 < 0)
        return false;
    auto Part = [](const QString& T) {
        qint64 V = 0;
        return ParseDecimal(T, V) ? V : 0;
    };
    const qint64 Y = Part(S.left(P1));
    const qint64 M = Part(Rest.left(P2));
    const qint64 D = Part(Rest.mid(P2 + 1));
    if (Y < 1970 || Y > 2100 || M < 1 || M > 12 || D < 1 || D > 31)
        return false;
    const QDate Built{int(Y), int(M), int(D)};
    if (!Built.isValid())
        return false;
    Date = Built;
    return true;
}

QString DecodeOutput(const QByteArray& Bytes)
{
    if (Bytes.isEmpty())
        return QString();
    // The decoder never fails (bad sequences become U+FFFD), so a code-page
    // fallback has nothing to catch. A byte-order mark is kept as U+FEFF:
    // the collector must not print one, and the parser then says so.
    // Stateless: the bytes are the whole output, so a sequence cut off at the
    // end becomes U+FFFD instead of silently waiting for more.
    QStringDecoder Decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    return Decoder.decode(Bytes);
}

namespace {

QString BoundedUtf16(QStringView Text, qsizetype Max)
{
    if (Text.size() <= Max)
        return Text.toString();
    qsizetype Cut = Max;
    // Never half a surrogate pair.
    if (Cut > 0 && Text[Cut - 1].isHighSurrogate())
        --Cut;
    return Text.left(Cut).toString() + QChar(0x2026);
}

} // namespace

QString BoundedText(QAnyStringView Text, qsizetype Max)
{
    return Text.visit([&](auto V) {
        if constexpr (IsUtf16View<decltype(V)>) {
            return BoundedUtf16(V, Max);
        } else {
            // Only a head of a long text is decoded: Max + 1 units need at
            // most 3 (Max + 1) bytes, and a head cut there decodes to more
            // than Max units, so the cut and the mark come out as for the
            // whole text.
            const qsizetype Head = 3 * (Max + 1);
            if (V.size() <= Head)
                return BoundedUtf16(V.toString(), Max);
            qsizetype Cut = Head;
            while (Cut > 0 && (uchar(V.data()[Cut]) & 0xC0) == 0x80)
                --Cut;
            return BoundedUtf16(V.first(Cut).toString(), Max);
        }
    });
}

bool WriteWhole(QIODevice& Device, const char* Data, qint64 Size)
{
    while (Size > 0) {
        const qint64 Done = Device.write(Data, Size);
        if (Done <= 0)
            return false;
        Data += Done;
        Size -= Done;
    }
    return true;
}

QString JoinPath(const QString& Folder, const QString& Name)
{
    if (Folder.isEmpty())
        return Name;
    // One form of separator in every path shown or handed on: the system's,
    // however the folder was written.
    if (Folder.endsWith(u'\\') || Folder.endsWith(u'/'))
        return QDir::toNativeSeparators(Folder + Name);
    return QDir::toNativeSeparators(Folder + u'/' + Name);
}

QString QuoteArg(const QString& Text)
{
    static const QString Special = QStringLiteral("\t &(),;=\"");
    bool Quote = Text.isEmpty();
    for (qsizetype I = 0; !Quote && I < Text.size(); ++I)
        Quote = Special.contains(Text[I]);
    if (!Quote)
        return Text;
    // Windows' rules, which SplitCommandLine follows too: a quote inside is
    // written \", and backslashes only count double right before a quote.
    QString Out = QStringLiteral("\"");
    qsizetype Backslashes = 0;
    for (const QChar C : Text) {
        if (C == u'\\') {
            ++Backslashes;
        } else {
            if (C == u'"')
                Out.append(QString(Backslashes + 1, u'\\'));
            Backslashes = 0;
        }
        Out.append(C);
    }
    Out.append(QString(Backslashes, u'\\'));
    Out.append(u'"');
    return Out;
}

QStringList SplitCommandLine(const QString& Line)
{
    QStringList Args;
    QString Cur;
    bool InQuote = false;
    bool HaveArg = false;
    for (qsizetype I = 0; I < Line.size(); ++I) {
        const QChar C = Line[I];
        if (C == u'\\') {
            qsizetype Run = 1;
            while (I + Run < Line.size() && Line[I + Run] == u'\\')
                ++Run;
            if (I + Run < Line.size() && Line[I + Run] == u'"') {
                // 2n backslashes and a quote: n backslashes, the quote toggles;
                // 2n + 1: n backslashes and a literal quote.
                Cur.append(QString(Run / 2, u'\\'));
                if (Run % 2) {
                    Cur.append(u'"');
                    I += Run;
                } else {
                    I += Run - 1;
                }
            } else {
                Cur.append(QString(Run, u'\\'));
                I += Run - 1;
            }
            HaveArg = true;
        } else if (C == u'"') {
            InQuote = !InQuote;
            HaveArg = true;
        } else if (!InQuote && C.unicode() <= 0x20) {
            if (HaveArg)
                Args.append(Cur);
            Cur.clear();
            HaveArg = false;
        } else {
            Cur.append(C);
            HaveArg = true;
        }
    }
    if (HaveArg)
        Args.append(Cur);
    return Args;
}

int HexDigitValue(char16_t C)
{
    if (C >= u'0' && C <= u'9')
        return C - u'0';
    if (C >= u'a' && C <= u'f')
        return C - u'a' + 10;
    if (C >= u'A' && C <= u'F')
        return C - u'A' + 10;
    return -1;
}

TColor ColorFromHex(const QString& Text, TColor Default)
{
    if (Text.size() != 7 || Text[0] != u'#')
        return Default;
    TColor V = 0;
    for (int I = 1; I < 7; ++I) {
        const int D = HexDigitValue(Text[I].unicode());
        if (D < 0)
            return Default;
        V = V * 16 + TColor(D);
    }
    return Rgb(int(V >> 16), int(V >> 8), int(V));
}

TColor BlendColor(TColor A, TColor B, double T)
{
    if (std::isnan(T) || T < 0)
        T = 0;
    else if (T > 1)
        T = 1;
    auto Mix = [T](int X, int Y) { return int(RoundHalfEven(X + (Y - X) * T)); };
    return Rgb(Mix(RedOf(A), RedOf(B)), Mix(GreenOf(A), GreenOf(B)), Mix(BlueOf(A), BlueOf(B)));
}

QString FormatCount(qint64 N)
{
    // Grouping by three is done here rather than by QLocale::toString, which
    // omits the separator under the C locale and groups differently in some.
    const QLocale Loc;
    QString Sep = Loc.groupSeparator();
    if (Sep.isEmpty())
        Sep = QStringLiteral(",");
    const QString Digits = QString::number(N < 0 ? -(N + 1) + quint64(1) : quint64(N));
    QString Out;
    Out.reserve(Digits.size() + Digits.size() / 3 * Sep.size() + 1);
    if (N < 0)
        Out += u'-';
    const qsizetype Lead = Digits.size() % 3 == 0 ? 3 : Digits.size() % 3;
    Out += Digits.left(Lead);
    for (qsizetype I = Lead; I < Digits.size(); I += 3) {
        Out += Sep;
        Out += Digits.mid(I, 3);
    }
    return Out;
}
