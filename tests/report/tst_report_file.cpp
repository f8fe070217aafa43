#include "test_docs.h"

#include "records_csv.h"
#include "report_file.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Report files read back from disk, and the CSV the records page writes.
class TReportFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir FTmp;

    QString Write(const QString& Name, const QByteArray& Bytes)
    {
        const QString Path = FTmp.filePath(Name);
        QFile F(Path);
        if (!F.open(QIODevice::WriteOnly) || F.write(Bytes) != Bytes.size())
            qFatal("cannot write test file");
        return Path;
    }

private slots:
    void BadFiles_data()
    {
        QTest::addColumn<QString>("Path");
        QTest::addColumn<QString>("Reason");
        QTest::addColumn<qint64>("Limit");
        const qint64 Max = kMaxReportFileBytes;
        QTest::newRow("missing") << FTmp.filePath("gone.json") << "文件不存在" << Max;
        QTest::newRow("folder") << FTmp.path() << "文件夹" << Max;
        QTest::newRow("empty") << Write("empty.json", "") << "文件是空的" << Max;
        QTest::newRow("blanks") << Write("blank.json", "\xEF\xBB\xBF \r\n\t") << "文件是空的" << Max;
        // The parser's own words with the position where it stopped.
        QTest::newRow("not json") << Write("text.json", "hello") << "（位置 1）" << Max;
        QTest::newRow("truncated") << Write("cut.json", "{\"stats\":{\"total\":12") << "不是有效的 JSON" << Max;
        QTest::newRow("list document") << Write("list.json", "{\"sources\":[],\"generated\":\"x\"}")
                                       << "不是 Marrowkin 的采集报告" << Max;
        QTest::newRow("array") << Write("array.json", "[1,2]") << "不是 Marrowkin 的采集报告" << Max;
        QTest::newRow("too large") << Write("big.json", "{\"stats\":{}}") << "文件太大（12 字节）" << qint64(11);
        QTest::newRow("unreadable") << Write("locked.json", "{\"stats\":{}}") << "无法读取" << Max;
        // Neither may hang the loader nor fill its memory.
        QTest::newRow("fifo") << FTmp.filePath("fifo.json") << "不是普通文件" << Max;
        QTest::newRow("endless device") << FTmp.filePath("zero.json") << "不是普通文件" << Max;
    }
    void BadFiles()
    {
        QFETCH(QString, Path);
        QFETCH(QString, Reason);
        QFETCH(qint64, Limit);
        if (QByteArray(QTest::currentDataTag()) == "unreadable") {
            QFile::setPermissions(Path, QFileDevice::Permissions());
            QFile Probe(Path);
            if (Probe.open(QIODevice::ReadOnly))
                QSKIP("this account reads files whatever their permissions say");
        } else if (QByteArray(QTest::currentDataTag()) == "fifo") {
#ifdef Q_OS_WIN
            QSKIP("FIFOs are a Linux fact");
#endif
            QCOMPARE(QProcess::execute("mkfifo", {Path}), 0);
        } else if (QByteArray(QTest::currentDataTag()) == "endless device") {
#ifdef Q_OS_WIN
            QSKIP("links to endless devices are a Linux fact");
#endif
            QVERIFY(QFile::link("/dev/zero", Path));
        }
        const TReportFile R = LoadReportFile(Path, Limit);
        QVERIFY(!R.Ok());
        QVERIFY2(R.Error.contains(Reason), qPrintable(R.Error));
        // The message names the file the way the system writes paths.
        QVERIFY(R.ErrorText().startsWith(QStringLiteral("无法打开报告文件：") + QDir::toNativeSeparators(Path)));
    }

    void GoodFile()
    {
        // Editors on Windows like to put a byte-order mark in front.
        const QString Path = Write("sub.json", "\xEF\xBB\xBF{\"title\":\"周报\",\"stats\":{\"total\":3}}");
        const TReportFile R = LoadReportFile(Path);
        QVERIFY2(R.Ok(), qPrintable(R.Error));
        QCOMPARE(R.Data->S("title"), QStringLiteral("周报"));
        QCOMPARE(R.Bytes, QStringLiteral("{\"title\":\"周报\",\"stats\":{\"total\":3}}").toUtf8());
        QCOMPARE(R.Folder(), QDir::toNativeSeparators(FTmp.path()));
    }

    void CsvFields_data()
    {
        QTest::addColumn<QString>("Field");
        QTest::addColumn<QByteArray>("Bytes");
        QTest::newRow("plain") << "abc" << QByteArray("abc");
        QTest::newRow("empty") << "" << QByteArray("");
        QTest::newRow("comma") << "a,b" << QByteArray("\"a,b\"");
        QTest::newRow("quotes") << "say \"hi\"" << QByteArray("\"say \"\"hi\"\"\"");
        QTest::newRow("line break") << "a\r\nb" << QByteArray("\"a\r\nb\"");
        QTest::newRow("formula") << "=HYPERLINK(\"x\")" << QByteArray("\"'=HYPERLINK(\"\"x\"\")\"");
        QTest::newRow("plus") << "+1" << QByteArray("'+1");
        QTest::newRow("minus") << "-2" << QByteArray("'-2");
        QTest::newRow("at") << "@SUM(A1)" << QByteArray("'@SUM(A1)");
        QTest::newRow("tab") << "\tx" << QByteArray("'\tx");
        QTest::newRow("carriage return") << "\rx" << QByteArray("\"'\rx\"");
        QTest::newRow("inner equals") << "a=b" << QByteArray("a=b");
        QTest::newRow("chinese") << "中文" << QByteArray("\xE4\xB8\xAD\xE6\x96\x87");
        QTest::newRow("astral") << QString::fromUcs4(U"\U0001F600") << QByteArray("\xF0\x9F\x98\x80");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + u'x' << QByteArray("\xEF\xBF\xBDx");
    }
    void CsvFields()
    {
        QFETCH(QString, Field);
        QFETCH(QByteArray, Bytes);
        QByteArray Out("x,");
        AppendCsvField(Out, Field);
        QCOMPARE(Out, "x," + Bytes);
    }

    // An export lands whole or not at all, and nothing else stays behind.
    void CsvWrite_data()
    {
        QTest::addColumn<QString>("Name");
        QTest::addColumn<bool>("Written");
        QTest::newRow("new file") << "new.csv" << true;
        QTest::newRow("replaces an older export") << "old.csv" << true;
        QTest::newRow("folder missing") << "gone/new.csv" << false;
        QTest::newRow("a folder by that name") << "dir.csv" << false;
    }
    void CsvWrite()
    {
        QFETCH(QString, Name);
        QFETCH(bool, Written);
        QTemporaryDir Dir;
        QFile Old(Dir.filePath("old.csv"));
        QVERIFY(Old.open(QIODevice::WriteOnly) && Old.write("older, longer text") > 0);
        Old.close();
        QVERIFY(QDir(Dir.path()).mkdir("dir.csv"));
        const auto Entries = [&] { return QDir(Dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries); };
        QStringList Expected = Entries();
        QString Error;
        QCOMPARE(WriteWholeFile(Dir.filePath(Name), "a,b\r\n", Error), Written);
        if (!Written) {
            QVERIFY(!Error.isEmpty());
            QCOMPARE(Entries(), Expected);
            return;
        }
        QFile File(Dir.filePath(Name));
        QVERIFY(File.open(QIODevice::ReadOnly));
        QCOMPARE(File.readAll(), QByteArray("a,b\r\n"));
        Expected.append(Name);
        Expected.removeDuplicates();
        Expected.sort();
        QCOMPARE(Entries(), Expected);
    }
};

QTEST_GUILESS_MAIN(TReportFileTest)
#include "tst_report_file.moc"
