#include "app_icon.h"
#include "msg_box.h"
#include "palette.h"
#include "shell_util.h"
#include "ui_font.h"
#include "ui_hooks.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include "child_probe.h"

#ifdef Q_OS_WIN
#include <windows.h>
#include <shlobj.h>
#endif

namespace {

// Writes an executable shell script.
[[maybe_unused]] bool WriteScript(const QString& Path, const QByteArray& Body)
{
    QFile F(Path);
    if (!F.open(QIODevice::WriteOnly))
        return false;
    F.write("#!/bin/sh\n" + Body + "\n");
    F.close();
    return F.setPermissions(F.permissions() | QFile::ExeOwner);
}

struct TShownMsg {
    QWidget* Owner;
    QString Text;
    TMsgKind Kind;
};

} // namespace

class TShellUtilTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { UiHooks() = TUiHooks(); }

    void MessageOwner_data();
    void MessageOwner();
    void BoxKindsAndAnswers_data();
    void BoxKindsAndAnswers();
    void RealBoxWithoutOwnerShows_data();
    void RealBoxWithoutOwnerShows();
    void TokensKeptWhole_data();
    void TokensKeptWhole();
    void RevealOnlyExistingPaths();
    void ShellOpenSkipsEmpty();
    void ShellOpenUrls_data();
    void ShellOpenUrls();
    void ShellOpenHistoryAddresses_data();
    void ShellOpenHistoryAddresses();
    void ReportAddressesOpenOnlyOnTheWeb_data();
    void ReportAddressesOpenOnlyOnTheWeb();
    void PickFolderKeepsInitialWhenCancelled_data();
    void PickFolderKeepsInitialWhenCancelled();
    void RealFolderPicker_data();
    void RealFolderPicker();
    void ElevatedCommandLine_data();
    void ElevatedCommandLine();
    void RestartFailsWithoutPkexec();
    void RestartWaitsForAuthorisation_data();
    void RestartWaitsForAuthorisation();
    void WaitEndsWithoutReadyFile_data();
    void WaitEndsWithoutReadyFile();
    void ElevatedCopySignalsReady_data();
    void ElevatedCopySignalsReady();
    void RunasPassesArgumentsWhole();
    void ElevationAgreesWithSystem();
    void DocumentsFolder();
    void FontFallback_data();
    void FontFallback();
    void IconBitmap_data();
    void IconBitmap();
    void IconCarriesShippedSizes();
};

void TShellUtilTest::MessageOwner_data()
{
    QTest::addColumn<QString>("Case");
    QTest::newRow("no widget") << "none";
    QTest::newRow("widget never shown") << "hidden";
    QTest::newRow("child of a shown window") << "shown";
}

void TShellUtilTest::MessageOwner()
{
    QFETCH(QString, Case);
    QList<TShownMsg> Shown;
    UiHooks().ShowMsg = [&Shown](QWidget* Owner, const QString& Text, TMsgKind Kind) {
        Shown.append({Owner, Text, Kind});
        return kIdOk;
    };
    QWidget Window;
    auto* Child = new QWidget(&Window);
    QWidget* Given = nullptr;
    QWidget* Expected = nullptr;
    if (Case == "hidden")
        Given = Child;
    if (Case == "shown") {
        Window.show();
        Given = Child;
        Expected = &Window;
    }
    InfoBox(Given, QStringLiteral("完成"));
    QCOMPARE(Shown.size(), 1);
    QCOMPARE(Shown[0].Owner, Expected);
    QCOMPARE(Shown[0].Text, QStringLiteral("完成"));
}

void TShellUtilTest::BoxKindsAndAnswers_data()
{
    QTest::addColumn<QString>("Call");
    QTest::addColumn<int>("Answer");
    QTest::addColumn<int>("Kind");
    QTest::addColumn<bool>("Yes");
    QTest::newRow("info") << "info" << kIdOk << int(mkInfo) << false;
    QTest::newRow("warn") << "warn" << kIdOk << int(mkWarning) << false;
    QTest::newRow("error") << "error" << kIdOk << int(mkError) << false;
    QTest::newRow("ask, yes") << "ask" << kIdYes << int(mkQuestion) << true;
    QTest::newRow("ask, no") << "ask" << kIdNo << int(mkQuestion) << false;
    QTest::newRow("ask, closed otherwise") << "ask" << kIdCancel << int(mkQuestion) << false;
}

void TShellUtilTest::BoxKindsAndAnswers()
{
    QFETCH(QString, Call);
    QFETCH(int, Answer);
    QFETCH(int, Kind);
    QFETCH(bool, Yes);
    QList<TShownMsg> Shown;
    UiHooks().ShowMsg = [&](QWidget* Owner, const QString& Text, TMsgKind K) {
        Shown.append({Owner, Text, K});
        return Answer;
    };
    bool Result = false;
    if (Call == "info")
        InfoBox(nullptr, QStringLiteral("甲"));
    else if (Call == "warn")
        WarnBox(nullptr, QStringLiteral("甲"));
    else if (Call == "error")
        ErrorBox(nullptr, QStringLiteral("甲"));
    else
        Result = AskYesNo(nullptr, QStringLiteral("甲"));
    QCOMPARE(Shown.size(), 1);
    QCOMPARE(int(Shown[0].Kind), Kind);
    QCOMPARE(Result, Yes);
}

void TShellUtilTest::RealBoxWithoutOwnerShows_data()
{
    QTest::addColumn<int>("Press");
    QTest::addColumn<bool>("Expected");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
    QTest::newRow("dismissed") << int(QMessageBox::NoButton) << false;
}

void TShellUtilTest::RealBoxWithoutOwnerShows()
{
    QFETCH(int, Press);
    QFETCH(bool, Expected);
    QWidget NeverShown;
    bool Visible = false;
    QWidget* Parent = &NeverShown;
    QString Caption;
    QString Text;
    QTimer Poll;
    // Poll rather than one shot: the box appears once its own loop runs.
    QObject::connect(&Poll, &QTimer::timeout, [&] {
        auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!Box)
            return;
        Poll.stop();
        Visible = Box->isVisible();
        Parent = Box->parentWidget();
        Caption = Box->windowTitle();
        Text = Box->text();
        if (Press == QMessageBox::NoButton)
            DismissQuestions(&NeverShown);
        else
            Box->button(QMessageBox::StandardButton(Press))->click();
    });
    Poll.start(10);
    const bool Answer = AskYesNo(&NeverShown, QStringLiteral("要继续吗？"));
    QVERIFY(Visible);
    QCOMPARE(Parent, nullptr);
    QCOMPARE(Caption, QStringLiteral("Marrowkin"));
    QCOMPARE(Text, QStringLiteral("要继续吗？"));
    QCOMPARE(Answer, Expected);
}

void TShellUtilTest::TokensKeptWhole_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QStringList>("Words");
    QTest::addColumn<QString>("Token"); // empty: the text stays as it is
    QTest::newRow("switch") << "请确认版本（1.1.3 及以上，支持 /format:json）。" << QStringList() << "/format:json";
    QTest::newRow("word") << "也可选 HTML 文件用浏览器打开。" << QStringList{"文件"} << "文件";
    QTest::newRow("path keeps its breaks") << "保存目录还不存在：/home/u/报告/new" << QStringList() << "";
    QTest::newRow("slash inside a word") << "IE/旧版 Edge 和 a/b" << QStringList() << "";
}

void TShellUtilTest::TokensKeptWhole()
{
    QFETCH(QString, Text);
    QFETCH(QStringList, Words);
    QFETCH(QString, Token);
    // Line-break positions, counted in the characters of the given text.
    const auto BreaksInside = [&](const QString& Shown) {
        QTextBoundaryFinder Finder(QTextBoundaryFinder::Line, Shown);
        const qsizetype From = Text.indexOf(Token);
        bool Inside = false;
        for (qsizetype B = Finder.toNextBoundary(); B > 0; B = Finder.toNextBoundary()) {
            const qsizetype At = B - QStringView(Shown).first(B).count(QChar(0x2060));
            Inside = Inside || (At > From && At < From + Token.size());
        }
        return Inside;
    };
    const QString Shown = KeepTokensWhole(Text, Words);
    if (Token.isEmpty()) {
        QCOMPARE(Shown, Text);
        return;
    }
    QVERIFY(BreaksInside(Text)); // the case is real
    QVERIFY(!BreaksInside(Shown));
    QCOMPARE(QString(Shown).remove(QChar(0x2060)), Text);
}

void TShellUtilTest::RevealOnlyExistingPaths()
{
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    const QString File = Dir.filePath(QStringLiteral("报告.json"));
    QFile F(File);
    QVERIFY(F.open(QIODevice::WriteOnly));
    F.close();

    QStringList Revealed;
    UiHooks().Reveal = [&Revealed](const QString& P) { Revealed << P; };
    RevealInExplorer(QString());
    RevealInExplorer(Dir.filePath(QStringLiteral("不存在")));
    QVERIFY(Revealed.isEmpty());
    RevealInExplorer(Dir.path());
    RevealInExplorer(File);
    QCOMPARE(Revealed, (QStringList{Dir.path(), File}));
}

void TShellUtilTest::ShellOpenSkipsEmpty()
{
    QStringList Opened;
    UiHooks().ShellOpen = [&Opened](const QString& T) { Opened << T; };
    ShellOpen(QString());
    QVERIFY(Opened.isEmpty());
    ShellOpen(QStringLiteral("https://a.example/?q=1"));
    QCOMPARE(Opened, QStringList{QStringLiteral("https://a.example/?q=1")});
}

void TShellUtilTest::ShellOpenUrls_data()
{
    QTest::addColumn<QString>("Target");
    QTest::addColumn<QString>("Url");
    QTest::newRow("web address") << "https://a.example/x?y=1#z" << "https://a.example/x?y=1#z";
    QTest::newRow("mail") << "mailto:someone@a.example" << "mailto:someone@a.example";
    QTest::newRow("plain path") << "/tmp/报告 一.html" << QUrl::fromLocalFile(QStringLiteral("/tmp/报告 一.html")).toString();
    QTest::newRow("path with hash") << "/tmp/a#b.html" << QUrl::fromLocalFile(QStringLiteral("/tmp/a#b.html")).toString();
    QTest::newRow("drive letter") << "C:/Reports/a.html" << QUrl::fromLocalFile(QStringLiteral("C:/Reports/a.html")).toString();
    QTest::newRow("empty") << "" << "";
}

void TShellUtilTest::ShellOpenUrls()
{
    QFETCH(QString, Target);
    QFETCH(QString, Url);
    QCOMPARE(ShellOpenUrl(Target).toString(), Url);
}

void TShellUtilTest::ShellOpenHistoryAddresses_data()
{
    QTest::addColumn<QString>("Target");
    QTest::addColumn<QString>("Encoded");
    QTest::newRow("space") << "https://a.example/a b" << "https://a.example/a%20b";
    QTest::newRow("bar in query") << "https://a.example/?q=a|b" << "https://a.example/?q=a%7Cb";
    QTest::newRow("stray percent") << "https://a.example/%zz" << "https://a.example/%25zz";
    QTest::newRow("braces") << "http://a.example/{id}" << "http://a.example/%7Bid%7D";
    QTest::newRow("browser page") << "chrome://settings" << "chrome://settings";
    QTest::newRow("scheme with a dash") << "view-source:https://a.example/"
                                                 << "view-source:https://a.example/";
}

void TShellUtilTest::ShellOpenHistoryAddresses()
{
    QFETCH(QString, Target);
    QFETCH(QString, Encoded);
    const QUrl Url = ShellOpenUrl(Target);
    QVERIFY(!Url.isLocalFile());
    QCOMPARE(Url.toString(QUrl::FullyEncoded), Encoded);
}

void TShellUtilTest::ReportAddressesOpenOnlyOnTheWeb_data()
{
    // What the opener gets; empty: refused.
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Opened");
    QTest::newRow("https") << "https://a.example/x?y=1#z" << "https://a.example/x?y=1#z";
    QTest::newRow("http with port and user") << "http://u@a.example:8080/" << "http://u@a.example:8080/";
    QTest::newRow("scheme in capitals") << "HTTPS://Example.com" << "https://Example.com";
    QTest::newRow("blanks around") << " \t https://a.example/ \n" << "https://a.example/";
    QTest::newRow("space in query") << "https://a.example/?q=a b" << "https://a.example/?q=a%20b";
    QTest::newRow("option after a blank") << "https://a.example/ --incognito" << "https://a.example/%20--incognito";
    QTest::newRow("quote and line break") << "https://a.example/\"x\ny" << "https://a.example/%22x%0Ay";
    QTest::newRow("bars and braces") << "http://a.example/{id}?f=a|b" << "http://a.example/%7Bid%7D?f=a%7Cb";
    QTest::newRow("non-ascii kept") << "https://例子.测试/路径?q=中文" << "https://例子.测试/路径?q=中文";
    QTest::newRow("stray percent kept") << "https://a.example/%zz" << "https://a.example/%zz";
    QTest::newRow("ipv6 host") << "http://[::1]:8080/" << "http://[::1]:8080/";
    QTest::newRow("local file") << "file:///etc/passwd" << "";
    QTest::newRow("script") << "javascript:alert(1)" << "";
    QTest::newRow("script in capitals") << "JavaScript://a.example/%0Aalert(1)" << "";
    QTest::newRow("option") << "--help" << "";
    QTest::newRow("drive path") << "C:\\x.exe" << "";
    QTest::newRow("share path") << "\\\\host\\share\\x.exe" << "";
    QTest::newRow("plain path") << "/usr/bin/xterm" << "";
    QTest::newRow("no host") << "http:/nohost" << "";
    QTest::newRow("no slashes") << "https:a.example" << "";
    QTest::newRow("empty host") << "https:///etc/passwd" << "";
    QTest::newRow("blank in host") << "https://a example.com/" << "";
    QTest::newRow("control before scheme") << "\x01https://a.example/" << "";
    QTest::newRow("long s for s") << "httpſ://a.example/" << "";
    QTest::newRow("other scheme") << "ftp://a.example/x" << "";
    QTest::newRow("browser page") << "chrome://settings" << "";
    QTest::newRow("empty") << "" << "";
}

void TShellUtilTest::ReportAddressesOpenOnlyOnTheWeb()
{
    QFETCH(QString, Text);
    QFETCH(QString, Opened);
    QStringList Seen;
    UiHooks().ShellOpen = [&Seen](const QString& T) { Seen << T; };
    QString Why = QStringLiteral("old");
    QCOMPARE(OpenWebAddress(Text, Why), !Opened.isEmpty());
    QCOMPARE(Seen, Opened.isEmpty() ? QStringList() : QStringList{Opened});
    QCOMPARE(Why, Opened.isEmpty() ? QStringLiteral("出于安全考虑，只打开 http/https 网址") : QString());
}

void TShellUtilTest::PickFolderKeepsInitialWhenCancelled_data()
{
    QTest::addColumn<bool>("Choose");
    QTest::addColumn<QString>("Expected");
    QTest::newRow("cancelled") << false << "/home/u/初始";
    QTest::newRow("chosen") << true << "/home/u/新";
}

void TShellUtilTest::PickFolderKeepsInitialWhenCancelled()
{
    QFETCH(bool, Choose);
    QFETCH(QString, Expected);
    QString SeenFolder;
    UiHooks().PickFolder = [&](const QString&, const QString&, QString& Folder) {
        SeenFolder = Folder;
        if (Choose)
            Folder = QStringLiteral("/home/u/新");
        return Choose;
    };
    QString Folder = QStringLiteral("旧值");
    QCOMPARE(PickFolder(QStringLiteral("选择"), QStringLiteral("/home/u/初始"), Folder), Choose);
    QCOMPARE(SeenFolder, QStringLiteral("/home/u/初始"));
    QCOMPARE(Folder, Expected);
}

void TShellUtilTest::RealFolderPicker_data()
{
    QTest::addColumn<bool>("Accept");
    QTest::addColumn<QString>("Initial"); // below the temporary folder
    QTest::addColumn<QString>("Start");
    QTest::newRow("cancelled") << false << "" << "";
    QTest::newRow("sub-folder chosen") << true << "" << "";
    QTest::newRow("missing folder opens at its parent") << false << "子目录/还没有/更深" << "子目录";
}

void TShellUtilTest::RealFolderPicker()
{
    QFETCH(bool, Accept);
    QFETCH(QString, Initial);
    QFETCH(QString, Start);
    QTemporaryDir Dir;
    QVERIFY(QDir(Dir.path()).mkdir(QStringLiteral("子目录")));
    const QString Sub = QDir(Dir.path()).filePath(QStringLiteral("子目录"));
    const QString From = QDir::toNativeSeparators(QDir(Dir.path()).filePath(Initial));
    QString Title;
    QString Label;
    QString Opened;
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, [&] {
        auto* D = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!D)
            return;
        Poll.stop();
        Title = D->windowTitle();
        Label = D->labelText(QFileDialog::Accept);
        Opened = D->directory().canonicalPath();
        if (Accept) {
            // Entering the folder is synchronous; selecting an entry would
            // wait for the dialog's model to list it, which is timing-bound.
            D->setDirectory(Sub);
            QMetaObject::invokeMethod(D, "accept");
        } else {
            D->reject();
        }
    });
    Poll.start(10);
    QString Folder;
    const bool Chosen = PickFolder(QStringLiteral("选择报告的保存目录"), From, Folder);
    QCOMPARE(Title, QStringLiteral("选择报告的保存目录"));
    QCOMPARE(Label, QStringLiteral("选择此文件夹"));
    QCOMPARE(Opened, QDir(QDir(Dir.path()).filePath(Start)).canonicalPath());
    QCOMPARE(Chosen, Accept);
    if (Accept)
        QCOMPARE(QDir(Folder).canonicalPath(), QDir(Sub).canonicalPath());
    else
        QCOMPARE(Folder, From); // a cancelled picker leaves the folder as given
}

void TShellUtilTest::ElevatedCommandLine_data()
{
    QTest::addColumn<QStringList>("Env");
    QTest::addColumn<QString>("WorkDir");
    QTest::addColumn<QStringList>("Args");
    QTest::addColumn<QStringList>("Expected");
    QTest::newRow("display and folder")
        << QStringList{"DISPLAY=:0", "XAUTHORITY=/run/x"} << "/opt/mk" << QStringList{"/srcmode:all", "/title:我的 报告"}
        << QStringList{"/usr/bin/env", "--chdir=/opt/mk", "--", "DISPLAY=:0", "XAUTHORITY=/run/x", "/opt/mk/MarrowkinWin", "/srcmode:all", "/title:我的 报告"};
    QTest::newRow("nothing to pass on")
        << QStringList{} << "" << QStringList{}
        << QStringList{"/usr/bin/env", "--", "/opt/mk/MarrowkinWin"};
}

void TShellUtilTest::ElevatedCommandLine()
{
    QFETCH(QStringList, Env);
    QFETCH(QString, WorkDir);
    QFETCH(QStringList, Args);
    QFETCH(QStringList, Expected);
    QCOMPARE(ElevatedArgs(QStringLiteral("/usr/bin/env"), Env, WorkDir, QStringLiteral("/opt/mk/MarrowkinWin"), Args),
             Expected);
}

void TShellUtilTest::RestartFailsWithoutPkexec()
{
#ifdef Q_OS_WIN
    QSKIP("pkexec exists only on Linux; Windows asks through the \"runas\" verb");
#else
    QTemporaryDir Empty;
    const QByteArray OldPath = qgetenv("PATH");
    qputenv("PATH", Empty.path().toLocal8Bit());
    const bool Started = RestartElevated(QStringLiteral("/bin/true"), {}, QString());
    qputenv("PATH", OldPath);
    QVERIFY(!Started);
#endif
}

void TShellUtilTest::RestartWaitsForAuthorisation_data()
{
    QTest::addColumn<QByteArray>("Pkexec");
    QTest::addColumn<QByteArray>("Target");
    QTest::addColumn<bool>("Started");
    // The fake pkexec runs its arguments (env, the variables, the target)
    // when "authorised".
    QTest::newRow("refused at once") << QByteArray("exit 126") << QByteArray("exit 0") << false;
    QTest::newRow("dismissed after a while") << QByteArray("sleep 1; exit 1") << QByteArray("exit 0") << false;
    QTest::newRow("copy comes up and stays") << QByteArray("exec \"$@\"")
                                             << QByteArray(": > \"$MARROWKIN_ELEVATED_READY\"; sleep 3") << true;
    QTest::newRow("copy comes up and ends at once")
        << QByteArray("exec \"$@\"") << QByteArray(": > \"$MARROWKIN_ELEVATED_READY\"") << true;
    QTest::newRow("copy fails before its window") << QByteArray("exec \"$@\"") << QByteArray("exit 1") << false;
}

void TShellUtilTest::RestartWaitsForAuthorisation()
{
#ifdef Q_OS_WIN
    QSKIP("pkexec exists only on Linux; Windows asks through the \"runas\" verb");
#else
    QFETCH(QByteArray, Pkexec);
    QFETCH(QByteArray, Target);
    QFETCH(bool, Started);
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    QVERIFY(WriteScript(Dir.filePath(QStringLiteral("pkexec")), Pkexec));
    const QString Exe = Dir.filePath(QStringLiteral("目标 程序"));
    QVERIFY(WriteScript(Exe, Target));
    const QByteArray OldPath = qgetenv("PATH");
    const auto RestorePath = qScopeGuard([&OldPath] { qputenv("PATH", OldPath); });
    qputenv("PATH", QFile::encodeName(Dir.path()) + ':' + OldPath);
    QElapsedTimer Clock;
    Clock.start();
    const bool Result = RestartElevated(Exe, {QStringLiteral("/scope:all")}, Dir.path());
    QCOMPARE(Result, Started);
    // Bounded by the fake's own pace, far from the unanswered-prompt limit.
    QVERIFY2(Clock.elapsed() < 60000, qPrintable(QString::number(Clock.elapsed())));
#endif
}

void TShellUtilTest::WaitEndsWithoutReadyFile_data()
{
    QTest::addColumn<bool>("Ends");
    QTest::newRow("still running when the limit passes") << false;
    QTest::newRow("ended and never reaped") << true;
}

void TShellUtilTest::WaitEndsWithoutReadyFile()
{
    QFETCH(bool, Ends);
    QTemporaryDir Dir;
    // An ended process that its parent never reaps stays a zombie, as an
    // orphaned pkexec can: the test child's grandchild ends at once while
    // the child sleeps on without waiting for it.
    QProcess Child;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    const QString GrandPid = Dir.filePath(QStringLiteral("grand.pid"));
    Env.insert(QStringLiteral("MK_CHILD_SLEEP_MS"), QStringLiteral("60000"));
    if (Ends) {
        Env.insert(QStringLiteral("MK_CHILD_GRANDCHILD"), GrandPid);
        Env.insert(QStringLiteral("MK_CHILD_GRANDCHILD_MS"), QStringLiteral("0"));
    }
    Child.setProcessEnvironment(Env);
    Child.start(QStringLiteral(MK_TEST_CHILD), {});
    QVERIFY(Child.waitForStarted());
    qint64 Pid = Child.processId();
    if (Ends) {
        QTRY_VERIFY(QFileInfo::exists(GrandPid));
        QFile F(GrandPid);
        QVERIFY(F.open(QIODevice::ReadOnly));
        Pid = F.readAll().trimmed().toLongLong();
        QTRY_VERIFY(ProcessGone(QStringLiteral(MK_TEST_CHILD), Pid));
    }
    QElapsedTimer Clock;
    Clock.start();
    const bool Result = WaitForElevatedCopy(Pid, Dir.filePath(QStringLiteral("ready")), Ends ? 30000 : 300);
    const qint64 Elapsed = Clock.elapsed();
    Child.kill();
    Child.waitForFinished();
    QVERIFY(!Result);
    QVERIFY2(Elapsed < 20000, qPrintable(QString::number(Elapsed)));
    if (!Ends)
        QVERIFY(Elapsed >= 300);
}

void TShellUtilTest::RunasPassesArgumentsWhole()
{
#ifndef Q_OS_WIN
    QSKIP("The \"runas\" verb exists only on Windows; pkexec is tested above");
#else
    // The elevated copy gets the same switches, however they are spelt.
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    const QString ArgsFile = Dir.filePath(QStringLiteral("args.txt"));
    qputenv("MK_CHILD_ARGS_FILE", QFile::encodeName(ArgsFile));
    const QStringList Args{QStringLiteral("/scope:all"), QStringLiteral("/out:C:\\我的 报告\\"),
                           QStringLiteral("/title:季度 \"草稿\""), QString()};
    const bool Started = RestartElevated(QStringLiteral(MK_TEST_CHILD), Args, Dir.path());
    qunsetenv("MK_CHILD_ARGS_FILE");
    QVERIFY(Started);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(ArgsFile), 20000);
    QFile F(ArgsFile);
    QVERIFY(F.open(QIODevice::ReadOnly));
    QStringList Lines = QString::fromUtf8(F.readAll()).split(u'\n');
    QCOMPARE(Lines.takeLast(), QString()); // every line ends in LF
    QCOMPARE(QDir(Lines.value(0)), QDir(Dir.path()));
    QCOMPARE(Lines.mid(1), Args);
#endif
}

void TShellUtilTest::ElevationAgreesWithSystem()
{
#ifdef Q_OS_WIN
    // The token's elevation and the shell's own administrator check agree.
    QCOMPARE(IsElevated(), bool(IsUserAnAdmin()));
#else
    QProcess Id;
    Id.start(QStringLiteral("id"), {QStringLiteral("-u")});
    QVERIFY(Id.waitForFinished());
    QCOMPARE(IsElevated(), Id.readAllStandardOutput().trimmed() == "0");
#endif
}

void TShellUtilTest::ElevatedCopySignalsReady_data()
{
    QTest::addColumn<QString>("Case");
    QTest::addColumn<bool>("Created");
    QTest::newRow("not started for elevation") << "unset" << false;
    QTest::newRow("new file") << "new" << true;
    QTest::newRow("existing file left alone") << "existing" << false;
    QTest::newRow("link not followed") << "link" << false;
}

void TShellUtilTest::ElevatedCopySignalsReady()
{
    QFETCH(QString, Case);
    QFETCH(bool, Created);
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    const QString Ready = Dir.filePath(QStringLiteral("ready"));
    const QString Victim = Dir.filePath(QStringLiteral("victim"));
    if (Case == "existing") {
        QFile F(Ready);
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.write("keep");
    }
    if (Case == "link")
        QVERIFY(QFile::link(Victim, Ready));
    if (Case != "unset")
        qputenv(kElevatedReadyVar, QFile::encodeName(Ready));
    SignalElevatedReady();
    const bool Left = qEnvironmentVariableIsSet(kElevatedReadyVar);
    qunsetenv(kElevatedReadyVar);
    QVERIFY(!Left);
    if (Created) {
        QVERIFY(QFileInfo(Ready).isFile());
        QCOMPARE(QFileInfo(Ready).size(), 0);
    }
    if (Case == "existing") {
        QFile F(Ready);
        QVERIFY(F.open(QIODevice::ReadOnly));
        QCOMPARE(F.readAll(), QByteArray("keep"));
    }
    if (Case == "unset")
        QVERIFY(!QFileInfo::exists(Ready));
    QVERIFY(!QFileInfo::exists(Victim));
}

void TShellUtilTest::DocumentsFolder()
{
    QVERIFY(!ShellFolderPath().isEmpty());
    QCOMPARE(ShellFolderPath(), ShellFolderPath(kCsidlPersonal));
#ifdef Q_OS_WIN
    // Windows knows every special folder; here only Documents is asked for.
    QVERIFY(!ShellFolderPath(0x1A).isEmpty());
#else
    QCOMPARE(ShellFolderPath(0x1A), QString());
#endif
}

void TShellUtilTest::FontFallback_data()
{
    QTest::addColumn<QStringList>("Installed");
    QTest::addColumn<QString>("Face");
    QTest::newRow("none of them") << QStringList{"DejaVu Sans", "Liberation Serif"} << "Tahoma";
    QTest::newRow("nothing installed") << QStringList{} << "Tahoma";
    QTest::newRow("case ignored") << QStringList{"segoe ui", "MICROSOFT YAHEI"} << "Microsoft YaHei";
    QTest::newRow("first preferred wins") << QStringList{"Segoe UI", "Microsoft YaHei UI"} << "Microsoft YaHei UI";
}

void TShellUtilTest::FontFallback()
{
    QFETCH(QStringList, Installed);
    QFETCH(QString, Face);
    QCOMPARE(UiFontNameFrom(Installed), Face);
}

void TShellUtilTest::IconBitmap_data()
{
    QTest::addColumn<int>("Size");
    QTest::addColumn<TColor>("Background");
    QTest::newRow("banner") << 40 << clWhite;
    QTest::newRow("about") << 48 << clWhite;
    QTest::newRow("odd size on red") << 37 << Rgb(0xFF, 0, 0);
}

void TShellUtilTest::IconBitmap()
{
    QFETCH(int, Size);
    QFETCH(TColor, Background);
    const QImage Img = MakeAppIconBitmap(Size, Background).toImage();
    QCOMPARE(Img.size(), QSize(Size, Size));
    // The rounded square leaves its corners to the background and is accent
    // blue along its edges.
    QCOMPARE(QColor(Img.pixel(0, 0)).name(), ToQColor(Background).name());
    QCOMPARE(QColor(Img.pixel(Size - 1, Size - 1)).name(), ToQColor(Background).name());
    const QColor Edge(Img.pixel(1, Size / 2));
    QVERIFY2(qAbs(Edge.red() - 0x2F) <= 3 && qAbs(Edge.green() - 0x6B) <= 3 && qAbs(Edge.blue() - 0xF5) <= 3,
             qPrintable(Edge.name()));
    QVERIFY(MakeAppIconBitmap(0, clWhite).isNull());
}

void TShellUtilTest::IconCarriesShippedSizes()
{
    const QList<QSize> Sizes = AppIcon().availableSizes();
    for (int S : {16, 24, 32, 48, 64, 128, 256})
        QVERIFY2(Sizes.contains(QSize(S, S)), qPrintable(QString::number(S)));
}

QTEST_MAIN(TShellUtilTest)
#include "tst_shell_util.moc"
