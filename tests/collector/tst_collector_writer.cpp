#include "collector.h"
#include "history_source.h"
#include "history_time.h"
#include "json.h"
#include "sample_profiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <algorithm>

// Runs against a browser that keeps committing to its history (see
// tests/tools/history_writer.cpp): each run must give one committed state.
class TCollectorWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void liveWriter_data();
    void liveWriter();

private:
    QTemporaryDir FTmp;
};

namespace {

constexpr int kRuns = 8;
constexpr int kStable = 300; // as the writer makes them
constexpr int kBatch = 20;

// The writer's generation whose state the records are, or -1 with Why set
// when they are not a state that ever existed.
int Generation(const TJsonValue* Records, QString& Why)
{
    static const QRegularExpression Batch("^https://batch\\.example/(\\d+)/\\d+$");
    static const QDateTime Base(QDate(2024, 5, 1), QTime(8, 0), QTimeZone::utc());
    QSet<QString> Titles;
    QMap<int, int> Batches;
    int Stable = 0;
    for (int I = 0; I < Records->Count(); ++I) {
        const QString Url = Records->Items(I)->S("url");
        if (Url.startsWith("https://stable.example/")) {
            ++Stable;
            // Title and time name the generation alike.
            QDateTime Time = QDateTime::fromString(Records->Items(I)->S("time"), "yyyy-MM-dd hh:mm:ss");
            Time.setTimeZone(QTimeZone::utc());
            const qint64 Secs = Base.secsTo(Time);
            Titles << Records->Items(I)->S("title").left(12) + QString(" at %1").arg(Secs, 8, 10, QChar('0'));
        } else if (const QRegularExpressionMatch M = Batch.match(Url); M.hasMatch()) {
            ++Batches[M.captured(1).toInt()];
        }
    }
    if (Stable != kStable || Titles.size() != 1) {
        Why = QString("%1 stable pages with titles %2").arg(Stable).arg(QStringList(Titles.values()).join(','));
        return -1;
    }
    const QString Title = Titles.values().first();
    const int Gen = Title.mid(4, 8).toInt();
    if (Title.right(8).toInt() != Gen) {
        Why = "title and time of different generations: " + Title;
        return -1;
    }
    for (int G = 2; G <= Gen; G += 2)
        if (Batches.value(G) != kBatch) {
            Why = QString("titles of generation %1, batch %2 has %3 visits").arg(Gen).arg(G).arg(Batches.value(G));
            return -1;
        }
    if (Batches.size() != Gen / 2) {
        Why = QString("titles of generation %1 beside %2 batches").arg(Gen).arg(Batches.size());
        return -1;
    }
    return Gen;
}

// With the archive the records are every state the runs before read, kept,
// plus the one read now: stable visits at the times of several generations,
// kStable of each, all under the titles of the latest; and complete batches
// up to it. The generations seen, or an empty set with Why set.
QSet<int> ArchivedGenerations(const TJsonValue* Records, QString& Why)
{
    static const QRegularExpression Batch("^https://batch\\.example/(\\d+)/\\d+$");
    static const QDateTime Base(QDate(2024, 5, 1), QTime(8, 0), QTimeZone::utc());
    QSet<QString> Titles;
    QMap<int, int> AtGen, Batches;
    for (int I = 0; I < Records->Count(); ++I) {
        const QString Url = Records->Items(I)->S("url");
        if (Url.startsWith("https://stable.example/")) {
            QDateTime Time = QDateTime::fromString(Records->Items(I)->S("time"), "yyyy-MM-dd hh:mm:ss");
            Time.setTimeZone(QTimeZone::utc());
            ++AtGen[int(Base.secsTo(Time))];
            Titles << Records->Items(I)->S("title").left(12);
        } else if (const QRegularExpressionMatch M = Batch.match(Url); M.hasMatch()) {
            ++Batches[M.captured(1).toInt()];
        }
    }
    const int Gen = Titles.size() == 1 ? Titles.values().first().mid(4, 8).toInt() : -1;
    if (Gen < 0 || AtGen.isEmpty() || AtGen.lastKey() != Gen) {
        Why = QString("titles %1 beside stable visits of generations %2")
                  .arg(QStringList(Titles.values()).join(','))
                  .arg(AtGen.keys().size());
        return {};
    }
    for (auto It = AtGen.cbegin(); It != AtGen.cend(); ++It)
        if (It.value() != kStable) {
            Why = QString("%1 stable visits of generation %2").arg(It.value()).arg(It.key());
            return {};
        }
    for (int G = 2; G <= Gen; G += 2)
        if (Batches.value(G) != kBatch) {
            Why = QString("generation %1, batch %2 has %3 visits").arg(Gen).arg(G).arg(Batches.value(G));
            return {};
        }
    if (Batches.size() != Gen / 2) {
        Why = QString("generation %1 beside %2 batches").arg(Gen).arg(Batches.size());
        return {};
    }
    const QList<int> Gens = AtGen.keys();
    return QSet<int>(Gens.cbegin(), Gens.cend());
}

} // namespace

void TCollectorWriterTest::liveWriter_data()
{
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<QString>("Journal");
    QTest::addColumn<QString>("Locking");
    QTest::addColumn<bool>("Archive");
    for (const char* Journal : {"delete", "truncate", "persist", "wal"}) {
        QTest::addRow("chromium %s exclusive", Journal) << "chromium" << Journal << "exclusive" << false;
        QTest::addRow("firefox %s", Journal) << "firefox" << Journal << "normal" << false;
    }
    QTest::addRow("chromium wal exclusive, archive") << "chromium" << "wal" << "exclusive" << true;
    QTest::addRow("firefox delete, archive") << "firefox" << "delete" << "normal" << true;
}

void TCollectorWriterTest::liveWriter()
{
    QFETCH(QString, Kind);
    QFETCH(QString, Journal);
    QFETCH(QString, Locking);
    QFETCH(bool, Archive);
    const QString Home = FTmp.filePath(QString(QTest::currentDataTag()).replace(' ', '-'));
    const bool Firefox = Kind == "firefox";
    const QString Db = BrowserPath(Home, Firefox ? ".mozilla/firefox/p/places.sqlite" : ".config/google-chrome/Default/History");
    QVERIFY(QDir().mkpath(QFileInfo(Db).path()));
    if (Firefox) {
        QFile Ini(BrowserPath(Home, ".mozilla/firefox/profiles.ini"));
        QVERIFY(Ini.open(QIODevice::WriteOnly));
        Ini.write("[Profile0]\nName=p\nIsRelative=1\nPath=p\n");
    }

    QProcess Writer;
    Writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Writer.start(MK_HISTORY_WRITER, {Kind, Db, Journal, Locking, "200", "600"});
    QVERIFY(Writer.waitForReadyRead(30000));
    QCOMPARE(Writer.readLine().trimmed(), QByteArray("ready 0"));

    // Short enough that the pauses between the writer's bursts count as
    // quiet, so reads where the files lie get their share of commits too.
    qputenv("MK_QUIET_AGE_MS", "15");
    qputenv(kHomeOverrideVar, Home.toUtf8());
    qputenv(kZoneOverrideVar, "UTC");
    int Last = 0, Busy = 0;
    QSet<int> Kept; // generations the archive holds
    QStringList Wrong;
    QStringList Args = {"/format:json", "/include:.example/"};
    if (Archive)
        Args << "/archive:" + Home + "-archive.sqlite";
    for (int Run = 0; Run < kRuns; ++Run) {
        QByteArray Out;
        TCollectorEnv Env;
        Env.WriteStdout = [&Out](const char* Data, size_t Size) {
            Out.append(Data, qsizetype(Size));
            return true;
        };
        Env.WriteStderr = [](const QString&) {};
        // The writer's archive is read but not reported.
        const int Code = RunCollector(Args, Env);
        QString Err;
        const auto Doc = ParseJson(QString::fromUtf8(Out), Err);
        QVERIFY2(Doc, qPrintable(Err));
        const TJsonValue* Source = Doc->Get("sources")->Items(0);
        QString Why;
        int Gen = -1;
        if (Archive && Code == ceOk && Source->B("ok")) {
            // The archive only grows, by whole states; the latest is the one read now.
            const TJsonValue* Row = Doc->Get("sources")->Items(1);
            const QSet<int> Gens = ArchivedGenerations(Doc->Get("records"), Why);
            if (!Gens.isEmpty() && !Gens.contains(Kept)) {
                Why = "the archive lost generations";
            } else if (!Gens.isEmpty() && (!Row->B("ok") || Row->I("count") != (Gens.size() - 1) * kStable)) {
                Why = QString("archive row: %1 visits, %2").arg(Row->I("count")).arg(Row->S("msg"));
            } else if (!Gens.isEmpty()) {
                Gen = *std::max_element(Gens.cbegin(), Gens.cend());
                Kept = Gens;
            }
        } else if (Code == ceOk) {
            Gen = Generation(Doc->Get("records"), Why);
        }
        if (!Source->B("ok") && Source->S("msg").contains("持续写入"))
            ++Busy;
        else if (Code != ceOk || !Source->B("ok"))
            Wrong << QString("run %1 failed: %2").arg(Run).arg(Source->S("msg"));
        else if (Gen < 0)
            Wrong << QString("run %1: %2").arg(Run).arg(Why);
        // Each run starts after the one before ended, so it cannot see an older state.
        else if (Gen < Last)
            Wrong << QString("run %1: generation %2 after %3").arg(Run).arg(Gen).arg(Last);
        else if (Source->I("count") != kStable + Gen / 2 * kBatch)
            Wrong << QString("run %1: %2 visits counted").arg(Run).arg(Source->I("count"));
        else
            Last = Gen;
    }
    qunsetenv("MK_QUIET_AGE_MS");

    Writer.closeWriteChannel();
    QVERIFY(Writer.waitForFinished(30000));
    QVERIFY2(Wrong.isEmpty(), qPrintable(QString("%1 of %2 runs wrong; %3").arg(Wrong.size()).arg(kRuns).arg(Wrong.join("; "))));
    // The writer checks its own files: intact and holding exactly what it wrote.
    QCOMPARE(Writer.exitCode(), 0);
    const QByteArray Done = Writer.readAllStandardOutput().trimmed();
    QVERIFY2(Done.startsWith("done "), Done.constData());
    QVERIFY2(Last <= Done.mid(5).toInt() && Last > 0, Done.constData());
    QVERIFY2(Busy <= kRuns / 2, qPrintable(QString("%1 of %2 runs found the database busy").arg(Busy).arg(kRuns)));
    // Nothing beside the writer's own files, such as a -shm file of a reader.
    const QString Name = QFileInfo(Db).fileName();
    QStringList Own = {Name, Name + (Journal == "wal" ? "-wal" : "-journal")};
    if (Journal == "wal" && Locking == "normal")
        Own << Name + "-shm";
    for (const QString& File : QDir(QFileInfo(Db).path()).entryList(QDir::Files))
        QVERIFY2(Own.contains(File), qPrintable(File));
}

QTEST_GUILESS_MAIN(TCollectorWriterTest)
#include "tst_collector_writer.moc"
