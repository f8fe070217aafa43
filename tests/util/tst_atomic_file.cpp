#include "atomic_file.h"
#include "text_util.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QByteArray ReadAll(const QString& Path)
{
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray("<missing>");
}

bool Put(const QString& Path, const QByteArray& Bytes)
{
    QFile F(Path);
    return F.open(QIODevice::WriteOnly) && F.write(Bytes) == Bytes.size();
}

QStringList Entries(const QString& Dir)
{
    return QDir(Dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TAtomicFileTest : public QObject {
    Q_OBJECT
private slots:
    void commit_data();
    void commit();
    void discardLeavesNothing();
    void failureGivesTheSystemsReason();
    void abandonedRemoved();
};

void TAtomicFileTest::commit_data()
{
    QTest::addColumn<bool>("Existing");
    QTest::addColumn<int>("Mode");
    QTest::addColumn<bool>("Taken"); // the name was kept for the old file
    QTest::newRow("new name") << false << int(TAtomicFile::cmKeepExisting) << false;
    QTest::newRow("replaces") << true << int(TAtomicFile::cmReplace) << false;
    QTest::newRow("keeps the existing file") << true << int(TAtomicFile::cmKeepExisting) << true;
}

void TAtomicFileTest::commit()
{
    QFETCH(bool, Existing);
    QFETCH(int, Mode);
    QFETCH(bool, Taken);
    QTemporaryDir Tmp;
    const QString Path = Tmp.filePath("r.json"), Other = Tmp.filePath("r_2.json");
    if (Existing)
        QVERIFY(Put(Path, "old"));
    TAtomicFile File;
    QVERIFY(File.Open(Path));
    QVERIFY(File.Write("new ", 4) && File.Write("bytes", 5));
    // Nobody sees a part before the commit.
    QCOMPARE(ReadAll(Path), Existing ? QByteArray("old") : QByteArray("<missing>"));
    QCOMPARE(File.Commit(Path, TAtomicFile::TCommitMode(Mode)), !Taken);
    QCOMPARE(File.TargetExists(), Taken);
    if (Taken)
        QVERIFY2(File.Commit(Other, TAtomicFile::cmKeepExisting), qPrintable(File.ErrorString()));
    QCOMPARE(ReadAll(Taken ? Other : Path), QByteArray("new bytes"));
    QCOMPARE(ReadAll(Path), Existing && Taken ? QByteArray("old") : QByteArray("new bytes"));
    QCOMPARE(Entries(Tmp.path()).size(), Taken ? 2 : 1);
}

void TAtomicFileTest::discardLeavesNothing()
{
    QTemporaryDir Tmp;
    {
        TAtomicFile File;
        QVERIFY(File.Open(Tmp.filePath("r.json")));
        QVERIFY(File.Write("part", 4));
        QCOMPARE(Entries(Tmp.path()).size(), 1);
    }
    QCOMPARE(Entries(Tmp.path()), QStringList());
}

void TAtomicFileTest::failureGivesTheSystemsReason()
{
    QTemporaryDir Tmp;
    TAtomicFile File;
    QVERIFY(!File.Open(Tmp.filePath("gone/r.json")));
#ifdef Q_OS_WIN
    QCOMPARE(File.ErrorString(), CleanSystemText(qt_error_string(ERROR_PATH_NOT_FOUND)));
#else
    QCOMPARE(File.ErrorString(), CleanSystemText(qt_error_string(ENOENT)));
#endif
    QVERIFY(!File.Write("x", 1));
    QVERIFY(!File.Commit(Tmp.filePath("r.json"), TAtomicFile::cmReplace));
    QCOMPARE(Entries(Tmp.path()), QStringList());
}

void TAtomicFileTest::abandonedRemoved()
{
    // Left by a writer that was killed, still being written, and not ours.
    QTemporaryDir Tmp;
    const QString Abandoned = "Report_1.json.AbC123";
    QVERIFY(Put(Tmp.filePath(Abandoned), "part"));
    QVERIFY(Put(Tmp.filePath("Report_1.json.AbC12"), "not a temporary name"));
    QVERIFY(Put(Tmp.filePath("notes.json.AbC123"), "another target"));
    QVERIFY(QDir(Tmp.path()).mkdir("Report_2.json.Folder"));
    TAtomicFile Live;
    QVERIFY(Live.Open(Tmp.filePath("Report_3.json")));
    const QStringList Before = Entries(Tmp.path());
    QCOMPARE(Before.size(), 5);

    TAtomicFile::RemoveAbandoned(Tmp.path(), "Report_\\d\\.json");
    QStringList Expected = Before;
    Expected.removeOne(Abandoned);
    QCOMPARE(Entries(Tmp.path()), Expected);
    QVERIFY(Live.Write("still mine", 10));
    QVERIFY(Live.Commit(Tmp.filePath("Report_3.json"), TAtomicFile::cmKeepExisting));
}

QTEST_GUILESS_MAIN(TAtomicFileTest)
#include "tst_atomic_file.moc"
