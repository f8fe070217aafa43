#pragma once

#include <QLatin1StringView>
#include <QString>

#include <array>

// What the front end relies on about the collector: its file name, the words
// for its exit codes and the switches it understands.

// One selectable browser source: the id used on command lines and the caption
// of its check box, which is also the browser's name in a report.
struct TSourceDef {
    QString Id;
    QString Cap;
};

inline constexpr int kSourceCount = 16;
using TSourceDefs = std::array<TSourceDef, kSourceCount>;

// The fixed source table; its order is the order of the boxes on screen and of
// the ids in "/src:" and "/srcids:". The collector accepts exactly these ids.
const TSourceDefs& SourceDefs();

// "Marrowkin.exe" on Windows, "Marrowkin" elsewhere; it stands next to the GUI.
QString CollectorFileName();

// 0 "成功" … 5 "内部错误"; any other code "退出码 N".
QString ExitCodeText(int Code);

inline constexpr QLatin1StringView kSwSrc("/src:");
inline constexpr QLatin1StringView kSwDays("/days:");
inline constexpr QLatin1StringView kSwFrom("/from:");
inline constexpr QLatin1StringView kSwTo("/to:");
inline constexpr QLatin1StringView kSwUserAll("/user:all");
inline constexpr QLatin1StringView kSwTitle("/title:");
inline constexpr QLatin1StringView kSwInclude("/include:");
inline constexpr QLatin1StringView kSwExclude("/exclude:");
inline constexpr QLatin1StringView kSwLimit("/limit:");
inline constexpr QLatin1StringView kSwPrivacy("/privacy");
inline constexpr QLatin1StringView kSwFormatJson("/format:json");
inline constexpr QLatin1StringView kSwFormatHtml("/format:html");
inline constexpr QLatin1StringView kSwOut("/out:");
inline constexpr QLatin1StringView kSwOpen("/open");
inline constexpr QLatin1StringView kSwList("/list");
// Keep every visit read in the collector's own archive, and report over it.
inline constexpr QLatin1StringView kSwArchive("/archive");
// Empty the archive; nothing else is done.
inline constexpr QLatin1StringView kSwArchiveClear("/archive:clear");

// Exit codes with a meaning of their own.
enum TCollectorExit : int {
    ceOk = 0,
    ceBadArgs = 1,
    ceNoRecords = 2,
    ceAllSourcesFailed = 3,
    ceWriteFailed = 4,
    ceInternal = 5,
};

// A collector asked to stop ends with 128 + the signal, as a shell reports
// it: 143 for SIGTERM. Windows has no signals; there a stop ends it with
// this same code.
inline constexpr int kStopExitCode = 128 + 15;

// On Windows the front end asks a run to stop through a named event, which
// the child finds under this environment variable; after a grace time it
// ends the run itself.
inline constexpr char kStopEventVar[] = "MK_STOP_EVENT";
