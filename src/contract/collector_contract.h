#pragma once

#include "source_table.h" // the ids "/src:" takes

#include <QLatin1StringView>
#include <QString>

// How the collector is called and what it answers: its file name, the
// switches it understands, its exit codes and how it is asked to stop.

// "Marrowkin.exe" on Windows, "Marrowkin" elsewhere; it stands next to the GUI.
QString CollectorFileName();

// The switches. Those ending in ':' carry a value right after the colon; the
// collector reads the names in any letter case.
inline constexpr QLatin1StringView kSwSrc("/src:");
inline constexpr QLatin1StringView kSwDays("/days:");
inline constexpr QLatin1StringView kSwFrom("/from:");
inline constexpr QLatin1StringView kSwTo("/to:");
inline constexpr QLatin1StringView kSwUser("/user:"); // "all" or "current"
inline constexpr QLatin1StringView kSwUserAll("/user:all");
inline constexpr QLatin1StringView kSwTitle("/title:");
inline constexpr QLatin1StringView kSwInclude("/include:");
inline constexpr QLatin1StringView kSwExclude("/exclude:");
inline constexpr QLatin1StringView kSwLimit("/limit:");
inline constexpr QLatin1StringView kSwPrivacy("/privacy");
inline constexpr QLatin1StringView kSwFormat("/format:"); // "json" or "html"
inline constexpr QLatin1StringView kSwFormatJson("/format:json");
inline constexpr QLatin1StringView kSwFormatHtml("/format:html");
inline constexpr QLatin1StringView kSwOut("/out:");
inline constexpr QLatin1StringView kSwOpen("/open");
inline constexpr QLatin1StringView kSwList("/list");
// Every stored visit row, not only what the browser's history page lists; for
// people checking a report by hand, the front end never sends it.
inline constexpr QLatin1StringView kSwAllVisits("/allvisits");
// Keep every visit read in the collector's own archive, and report over it.
inline constexpr QLatin1StringView kSwArchive("/archive");
// The same, in another file than the user's own ("/archive:./clear" for a
// file named clear).
inline constexpr QLatin1StringView kSwArchiveFile("/archive:");
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

// 0 "成功" … 5 "内部错误"; any other code "退出码 N".
QString ExitCodeText(int Code);

// A collector asked to stop ends with 128 + the signal, as a shell reports
// it: 143 for SIGTERM. Windows has no signals; there a stop ends it with
// this same code.
inline constexpr int kStopExitCode = 128 + 15;

// On Windows the front end asks a run to stop through a named event, which
// the child finds under this environment variable; after a grace time it
// ends the run itself.
inline constexpr char kStopEventVar[] = "MK_STOP_EVENT";
