#pragma once

// What the charts narrow the records to: a day, an hour of a weekday, a
// browser, a site category. Records carry only their texts, so each
// record's keys are worked out once, where the report is loaded.

#include <QAnyStringView>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <limits>
#include <optional>
#include <vector>

class TJsonValue;
struct TReportContent;

enum TChipKind { ckDay, ckHour, ckBrowser, ckCategory };

// One narrowing, as the chip beside the filter box shows it.
struct TRecordChip {
    TChipKind Kind = ckDay;
    QString Name; // the day ("2026-10-01"), the browser or the category
    int Cell = 0; // ckHour: weekday (0 = Sunday) * 24 + hour

    // "2026-10-01", "周二 21 时", "Chrome", "购物".
    QString Text() const;
    bool operator==(const TRecordChip&) const = default;
};

// The chip an item of a chart stands for: item Item of the report's days,
// heat cells (weekday * 24 + hour), browsers or categories; nullopt outside
// them.
std::optional<TRecordChip> DrillChip(const TReportContent& Content, TChipKind Kind, int Item);

// The day count since 1970-01-01 of a text that starts "yyyy-MM-dd", and in
// Hour the hour of one that goes on " HH" (else -1); nullopt for other texts.
std::optional<qint32> DayOfText(QAnyStringView Text, int* Hour = nullptr);

class TRecordKeys final {
public:
    void Build(const TJsonValue* Records);

    qsizetype Count() const { return qsizetype(FDay.size()); }
    // Those of Rows every chip selects, in their order: Rows themselves
    // without chips.
    std::vector<int> Select(const std::vector<TRecordChip>& Chips, std::vector<int> Rows) const;
    qsizetype MemoryBytes() const;

private:
    static constexpr qint32 kNoDay = std::numeric_limits<qint32>::min();
    static constexpr quint8 kNoCell = 0xFF;
    static constexpr quint16 kNoBrowser = 0xFFFF;

    std::vector<qint32> FDay;      // days since 1970-01-01 of the record's time
    std::vector<quint8> FCell;     // weekday * 24 + hour of its time
    std::vector<quint16> FBrowser; // index into FBrowsers
    std::vector<quint8> FCategory; // index into Categories()
    QStringList FBrowsers;
};
