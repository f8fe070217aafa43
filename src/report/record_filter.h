#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <string>
#include <vector>

class TJsonValue;

// Turns A..Z into a..z and leaves every other character alone: the filter
// folds case for ASCII only, so "É" never matches "é".
QString FoldAscii(QStringView Text);
inline char16_t FoldAsciiChar(char16_t C)
{
    return C >= u'A' && C <= u'Z' ? char16_t(C + 32) : C;
}

// Splits a filter text into lower-cased terms. Characters up to U+0020
// separate terms; a term that starts with a double quote runs to the next
// single double quote (a doubled one stands for a quote) or to the end, and may
// hold spaces. Empty and blank-only terms are dropped.
QStringList ParseFilterTerms(const QString& Text);

// Whether every record that holds all of New holds all of Old too, because
// each term of Old lies inside some term of New (typing on at the end of a
// filter, say). False for an empty Old: that holds every record.
bool TermsNarrow(const QStringList& Old, const QStringList& New);

// The members the filter searches, in the order the plain rule joins them.
inline constexpr QLatin1StringView kSearchedKeys[4] = {QLatin1StringView("title"), QLatin1StringView("url"),
                                                      QLatin1StringView("browser"), QLatin1StringView("profile")};

// The string members of one record, as the list and the filter read them.
struct TRecordText {
    QString Time;
    QString Browser;
    QString Profile;
    QString Title;
    QString Url;
};
TRecordText ReadRecordText(const TJsonValue* Record);

// The line Ctrl+C copies for a record, without its line break: time, browser,
// title and URL between tabs, each cut to a bounded length, and a tab, CR or
// LF inside a field turned into a space, so that a pasted row stays one row
// of four cells.
QString CopiedRecordLine(const TRecordText& T);

// The straightforward rule: fold a fresh "title url browser profile" text and
// test every term as a substring. Used as the reference and as the baseline
// the index is measured against.
bool RecordMatches(const TJsonValue* Record, const QStringList& Terms);
std::vector<int> ScanRecords(const TJsonValue* Records, const QStringList& Terms);
