#include "collector_contract.h"
#include "find_control.h"
#include "flat_button.h"
#include "main_form.h"
#include "schedule_dialog.h"
#include "text_util.h"
#include "ui_hooks.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QtTest>

// The "工具" menu's scheduled report and archive, with stand-ins for the
// scheduler's tools on PATH and the test child as collector.

namespace {

struct TShown {
    QString Text;
    TMsgKind Kind;
};
QList<TShown> GShown;
int GAnswer = kIdNo;

QByteArray ReadAll(const QString& Path)
{
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

bool WriteAll(const QString& Path, const QByteArray& Bytes)
{
    QFile F(Path);
    return F.open(QIODevice::WriteOnly) && F.write(Bytes) == Bytes.size();
}

QStringList Lines(const QByteArray& Bytes)
{
    QStringList L = QString::fromUtf8(Bytes).split(u'\n');
    L.removeAll(QString());
    return L;
}

#ifdef Q_OS_WIN
const QStringList kTools{"schtasks.exe"};
#else
const QStringList kTools{"systemctl", "crontab"};
#endif

} // namespace

class TToolsMenuTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void ArchiveOption_data();
    void ArchiveOption();
    void ClearArchive_data();
    void ClearArchive();
    void Schedule_data();
    void Schedule();

private:
    QString Tmp(const QString& Name) const { return FTmp->filePath(Name); }
    QStringList Calls() const { return Lines(ReadAll(Tmp(QStringLiteral("calls.txt")))); }

    std::unique_ptr<QTemporaryDir> FTmp;
    QByteArray FPath;
};

void TToolsMenuTest::initTestCase()
{
    FTmp = std::make_unique<QTemporaryDir>();
    QVERIFY(FTmp->isValid());
    FPath = qgetenv("PATH");
    QVERIFY(QDir().mkpath(Tmp(QStringLiteral("tools"))) && QDir().mkpath(Tmp(QStringLiteral("none"))));
    for (const QString& Tool : kTools)
        QVERIFY(QFile::copy(QStringLiteral(MK_FAKE_SCHEDULER), Tmp(QStringLiteral("tools/") + Tool)));
    UiHooks().ShowMsg = [](QWidget*, const QString& Text, TMsgKind Kind) {
        GShown.append({Text, Kind});
        return Kind == mkQuestion ? GAnswer : kIdOk;
    };
    UiHooks().ScreenArea = [](const QWidget*) { return QRect(0, 0, 1920, 1080); };
}

void TToolsMenuTest::init()
{
    GShown.clear();
    GAnswer = kIdNo;
    QDir(Tmp(QStringLiteral("state"))).removeRecursively();
    QDir(Tmp(QStringLiteral("config"))).removeRecursively();
    QVERIFY(QDir().mkpath(Tmp(QStringLiteral("state"))));
    QFile::remove(Tmp(QStringLiteral("calls.txt")));
    QFile::remove(Tmp(QStringLiteral("args.txt")));
    qputenv("PATH", (QDir::toNativeSeparators(Tmp(QStringLiteral("tools"))) + QDir::listSeparator()).toLocal8Bit() + FPath);
    qputenv("MK_FAKE_LOG", Tmp(QStringLiteral("calls.txt")).toLocal8Bit());
    qputenv("MK_FAKE_STATE", Tmp(QStringLiteral("state")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", Tmp(QStringLiteral("config")).toLocal8Bit());
    qputenv("MK_CHILD_ARGS_FILE", Tmp(QStringLiteral("args.txt")).toLocal8Bit());
}

void TToolsMenuTest::cleanup()
{
    qputenv("PATH", FPath);
    for (const char* V : {"MK_FAKE_FAIL", "MK_CHILD_EXIT"})
        qunsetenv(V);
}

void TToolsMenuTest::ArchiveOption_data()
{
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<bool>("Toggle"); // the menu item, once
    QTest::addColumn<bool>("On");
    QTest::newRow("off by default") << QStringList() << false << false;
    QTest::newRow("on from the command line") << QStringList{"/archive:on"} << false << true;
    QTest::newRow("switched on in the menu") << QStringList() << true << true;
    QTest::newRow("switched off in the menu") << QStringList{"/archive:on"} << true << false;
}

void TToolsMenuTest::ArchiveOption()
{
    QFETCH(QStringList, Args);
    QFETCH(bool, Toggle);
    QFETCH(bool, On);
    TMainForm F(Args, QStringLiteral(MK_TEST_CHILD));
    if (Toggle)
        Ctl<QAction>(F, "ActArchive")->trigger();
    QCOMPARE(Ctl<QAction>(F, "ActArchive")->isChecked(), On);
    // An elevated restart and an unattended start keep it.
    const QStringList Line = SplitCommandLine(BuildRestartArgs(F.ReadOptions(), F.DefaultOutDir()));
    QCOMPARE(Line.contains(QStringLiteral("/archive:on")), On);
    const TMainForm Restarted(Line, QStringLiteral(MK_TEST_CHILD));
    QCOMPARE(Ctl<QAction>(Restarted, "ActArchive")->isChecked(), On);
    // A report run asks the collector for it.
    F.StartClick();
    QTRY_VERIFY_WITH_TIMEOUT(!F.Busy(), 15000);
    QCOMPARE(Lines(ReadAll(Tmp(QStringLiteral("args.txt")))).contains(QString(kSwArchive)), On);
}

void TToolsMenuTest::ClearArchive_data()
{
    QTest::addColumn<int>("Answer");
    QTest::addColumn<int>("Exit");
    QTest::addColumn<QString>("Status");
    QTest::addColumn<QString>("Warning");
    QTest::newRow("no") << int(kIdNo) << 0 << "就绪" << "";
    QTest::newRow("cleared") << int(kIdYes) << 0 << "历史存档已清除" << "";
    QTest::newRow("not cleared") << int(kIdYes) << 4 << "清除历史存档失败 · 写报告失败" << "清除历史存档失败：写报告失败";
}

void TToolsMenuTest::ClearArchive()
{
    QFETCH(int, Answer);
    QFETCH(int, Exit);
    QFETCH(QString, Status);
    QFETCH(QString, Warning);
    qputenv("MK_CHILD_EXIT", QByteArray::number(Exit));
    GAnswer = Answer;
    TMainForm F({}, QStringLiteral(MK_TEST_CHILD));
    F.ClearArchiveClick();
    QTRY_VERIFY_WITH_TIMEOUT(!F.Busy(), 15000);
    QCOMPARE(GShown.value(0).Kind, mkQuestion);
    QVERIFY(GShown.value(0).Text.contains(QStringLiteral("确定清除吗？")));
    const QStringList Args = Lines(ReadAll(Tmp(QStringLiteral("args.txt"))));
    QCOMPARE(Args.mid(1), Answer == kIdYes ? QStringList{"/archive:clear"} : QStringList());
    QCOMPARE(F.StatusText(0), Status);
    QCOMPARE(GShown.size(), Warning.isEmpty() ? 1 : 2);
    if (!Warning.isEmpty())
        QCOMPARE(GShown[1].Text, Warning);
}

void TToolsMenuTest::Schedule_data()
{
    QTest::addColumn<QString>("Refuse");   // MK_FAKE_FAIL
    QTest::addColumn<bool>("Tools");       // the stand-ins are on PATH
    QTest::addColumn<QString>("Where");    // where the schedule goes; empty: refused
    QTest::addColumn<QStringList>("Made"); // what the calls that make it did, in order
#ifdef Q_OS_WIN
    QTest::newRow("task scheduler") << "" << true << "Windows 任务计划程序" << QStringList{"/Create"};
    QTest::newRow("refused") << "schtasks /Create" << true << "" << QStringList{"/Create"};
    QTest::newRow("no scheduler") << "" << false << "" << QStringList();
#else
    const QString NoSystemd = QStringLiteral("systemctl --user show-environment");
    QTest::newRow("systemd") << "" << true << "systemd 用户定时器" << QStringList{"daemon-reload", "enable", "restart"};
    QTest::newRow("cron without systemd") << NoSystemd << true << "crontab" << QStringList{"-"};
    QTest::newRow("systemd refuses") << "systemctl --user enable" << true << ""
                                     << QStringList{"daemon-reload", "enable", "disable", "daemon-reload"};
    QTest::newRow("crontab refuses") << NoSystemd + "|crontab -" << true << "" << QStringList{"-"};
    QTest::newRow("no scheduler") << "" << false << "" << QStringList();
#endif
}

void TToolsMenuTest::Schedule()
{
    QFETCH(QString, Refuse);
    QFETCH(bool, Tools);
    QFETCH(QString, Where);
    QFETCH(QStringList, Made);
    if (!Tools)
        qputenv("PATH", QDir::toNativeSeparators(Tmp(QStringLiteral("none"))).toLocal8Bit());
    qputenv("MK_FAKE_FAIL", Refuse.toUtf8());
    const QByteArray OtherCron = "0 * * * * backup\n";
    QVERIFY(WriteAll(Tmp(QStringLiteral("state/crontab")), OtherCron));

    TOptions Opts = DefaultOptions(Tmp(QStringLiteral("docs")));
    Opts.FTitle = QStringLiteral("周报 \"草稿\"");
    const QString Program = QDir::toNativeSeparators(Tmp(QStringLiteral("我的 程序/MarrowkinWin")));
    TScheduleDialog D(nullptr, Opts, Tmp(QStringLiteral("docs")), Program);
    D.RbWeekly()->setChecked(true);
    D.CbWeekday()->setCurrentIndex(2);
    D.TimeEdit()->setTime(QTime(21, 5));
    const QString Out = QDir::toNativeSeparators(Tmp(QStringLiteral("定时 报告")));
    D.EdOut()->setText(Out);
    QVERIFY(D.CkArchive()->isChecked());
    Opts.FArchive = true;
    QCOMPARE(D.Run().FArgs, UnattendedArgs(Opts, Out));
    QCOMPARE(D.Preview(), QStringLiteral("每周三 21:05：") + ScheduledCommandText(skNone, D.Run()));

    D.Refresh();
    QCOMPARE(D.Existing(), QStringLiteral("当前没有定时任务"));
    QCOMPARE(D.BtnCreate()->isEnabled(), Tools);
    QFile::remove(Tmp(QStringLiteral("calls.txt")));
    D.BtnCreate()->Click();

    // What each call that changes something did, in order.
    QStringList Changes;
    for (const QString& Call : Calls()) {
        QStringList Parts = Call.split(u'\t').mid(1);
        Parts.removeAll(QStringLiteral("--user"));
        const QString Verb = Parts.value(0);
        if (Verb != QLatin1String("show-environment") && Verb != QLatin1String("-l") && Verb != QLatin1String("/Query"))
            Changes << Verb;
    }
    QCOMPARE(Changes, Made);
    if (Where.isEmpty()) {
        QCOMPARE(GShown.size(), 1);
        QCOMPARE(GShown[0].Kind, mkError);
        if (Tools)
            QVERIFY2(GShown[0].Text.contains(QStringLiteral("refused by stand-in")), qPrintable(GShown[0].Text));
    } else {
        QVERIFY2(GShown.isEmpty(), qPrintable(GShown.value(0).Text));
        QCOMPARE(D.Existing(), QStringLiteral("当前计划：每周三 21:05（") + Where + QStringLiteral("）"));
        QCOMPARE(D.BtnCreate()->Caption(), QStringLiteral("替换计划"));
        // The command shown is the one the scheduler now holds.
        QCOMPARE(D.Preview(), QStringLiteral("每周三 21:05：") + D.ExistingCommand());
        QVERIFY(ReadAll(Tmp(QStringLiteral("state/crontab"))).startsWith(OtherCron));
        D.BtnRemove()->Click();
        QVERIFY2(GShown.isEmpty(), qPrintable(GShown.value(0).Text));
    }
    // Refused or removed, nothing of ours stays behind; the rest is untouched.
    QCOMPARE(D.Existing(), QStringLiteral("当前没有定时任务"));
    QVERIFY(!D.BtnRemove()->isEnabled());
    QCOMPARE(ReadAll(Tmp(QStringLiteral("state/crontab"))), OtherCron);
    QVERIFY(!QFileInfo::exists(Tmp(QStringLiteral("state/task"))));
    QDirIterator Units(Tmp(QStringLiteral("config")), {QStringLiteral("marrowkin*")}, QDir::AllEntries | QDir::System,
                       QDirIterator::Subdirectories);
    QVERIFY2(!Units.hasNext(), qPrintable(Units.hasNext() ? Units.next() : QString()));
}

QTEST_MAIN(TToolsMenuTest)
#include "tst_tools_menu.moc"
