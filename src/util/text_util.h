#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

class QIODevice;

// Colours travel as 32-bit values with red in the lowest byte ($00BBGGRR), the
// layout the report documents and the chart inputs were designed around.
using TColor = quint32;

// Marks "no colour given": whoever receives it keeps or substitutes its own.
inline constexpr TColor kDefaultColor = 0x1FFFFFFF;

constexpr TColor Rgb(int R, int G, int B)
{
    return TColor(R & 0xFF) | (TColor(G & 0xFF) << 8) | (TColor(B & 0xFF) << 16);
}
constexpr int RedOf(TColor C) { return int(C & 0xFF); }
constexpr int GreenOf(TColor C) { return int((C >> 8) & 0xFF); }
constexpr int BlueOf(TColor C) { return int((C >> 16) & 0xFF); }

// Nearest integer with exact halves going to the even neighbour (2.5 -> 2,
// 3.5 -> 4). Not-a-number gives 0; values beyond the 64-bit range saturate.
qint64 RoundHalfEven(double X);

// Removes the characters up to U+0020 (blanks and control characters) at both
// ends and nothing else, so ideographic and no-break spaces stay.
QString TrimBlanks(QStringView Text);

// A system's error wording as it follows our own text: no blanks at either
// end, and no full stop (Latin or Chinese), line break or control character
// at the end.
QString CleanSystemText(QStringView Text);

// Strict decimal integer: optional sign, then digits only. False on anything
// else, including blanks and overflow of the 64-bit range.
bool ParseDecimal(QAnyStringView Text, qint64& Value);

// Value of one hexadecimal digit in either letter case, or -1.
int HexDigitValue(char16_t C);

bool DirExists(const QString& Path);
// Creates the folder and every missing parent; a failure shows up in the
// caller's next file operation, so it is not reported here.
void EnsureDir(const QString& Path);

// yyyy-mm-dd or yyyy/mm/dd (one-digit parts allowed), year 1970..2100, a real
// calendar date. Date is null unless the result is true.
bool ParseDate(const QString& Text, QDate& Date);

// UTF-8 with malformed sequences turned into U+FFFD; a byte-order mark stays
// as U+FEFF at the front so the parser can reject it.
QString DecodeOutput(const QByteArray& Bytes);

// At most Max characters of Text, with "…" after a cut. Records can carry
// texts of any size; what the window shows or copies is bounded, so one huge
// field cannot freeze it. Saving and exporting keep the full text.
inline constexpr qsizetype kShownTextMax = 2000;
QString BoundedText(QAnyStringView Text, qsizetype Max = kShownTextMax);

// Writes all of Data, going on after a short write: a file write that stops
// short (a full disk) sets no reason, only the next attempt fails with one,
// so a false result leaves the system's reason in Device.errorString().
bool WriteWhole(QIODevice& Device, const char* Data, qint64 Size);

// Folder and name with one separator between them, unless the folder already
// ends in a backslash or a slash; every separator in the system's form.
QString JoinPath(const QString& Folder, const QString& Name);

// Wraps the text in double quotes when it is empty or holds a tab, a space, a
// double quote or one of & ( ) , ; =. Inside, a quote becomes \" and the
// backslashes before a quote or the closing quote are doubled, so that
// Windows and SplitCommandLine read back exactly the text.
QString QuoteArg(const QString& Text);

// Splits a command line the way the program reads its own: blanks (any
// character up to U+0020) separate arguments, a double quote switches quoting
// on or off and is removed. A pair of quotes with nothing in them is an empty
// argument. As on Windows, backslashes right before a quote escape: 2n of them
// give n and the quote toggles, 2n + 1 give n and a literal quote; other
// backslashes are plain characters.
QStringList SplitCommandLine(const QString& Line);

// "#RRGGBB" in either letter case; anything else gives Default.
TColor ColorFromHex(const QString& Text, TColor Default);

// Per channel A + (B - A) * T, rounded half to even; T clamped to 0..1, NaN is 0.
TColor BlendColor(TColor A, TColor B, double T);

// "#,##0": digits grouped by three with the locale's group separator.
QString FormatCount(qint64 N);
