#include "collector_contract.h"
#include "options.h"
#include "run_texts.h"
#include "text_util.h"

#include <QtTest>

class TRunTextsTest : public QObject {
    Q_OBJECT
private slots:
    void ArgsByKind_data();
    void ArgsByKind();
    void ProgressDotsCycle();
    void FinishedTexts_data();
    void FinishedTexts();
    void FileNamesInTexts_data();
    void FileNamesInTexts();
};

void TRunTextsTest::ArgsByKind_data()
{
    QTest::addColumn<QStringList>("Switches"); // the program's own command line
    QTest::addColumn<bool>("ListMode");
    QTest::addColumn<bool>("AutoMode");
    QTest::addColumn<QStringList>("Args"); // as the collector receives them
    QTest::addColumn<QString>("Busy");
    const QString T = QStringLiteral("/title:浏览器访问记录报告");
    const QString J = QStringLiteral("/format:json");
    const QString O = QStringLiteral("/out:/o u t");
    const QString Collect = QStringLiteral("正在采集，请稍候");
    QTest::newRow("built-in") << QStringList() << false << false << QStringList{T, J} << Collect;
    QTest::newRow("html") << QStringList{"/outmode:html"} << false << false
                          << QStringList{T, "/format:html", O, "/open"} << "正在生成 HTML 报告";
    QTest::newRow("unattended ignores html") << QStringList{"/outmode:html"} << false << true << QStringList{T, J, O}
                                             << Collect;
    QTest::newRow("detection wins") << QStringList{"/outmode:html", "/title:x", "/limit:5"} << true << true
                                    << QStringList{"/list", J} << "正在检测数据源";
    QTest::newRow("pick chrome firefox") << QStringList{"/srcmode:pick", "/srcids:firefox,chrome"} << false << false
                                         << QStringList{"/src:chrome,firefox", T, J} << Collect;
    QTest::newRow("pick nothing") << QStringList{"/srcmode:pick"} << false << false << QStringList{T, J} << Collect;
    QTest::newRow("keywords split") << QStringList{"/include:github; 新闻 中心；", "/exclude:*.a.com;b.net"} << false
                                    << false
                                    << QStringList{T, "/include:github", "/include:新闻 中心", "/exclude:*.a.com",
                                                   "/exclude:b.net", J}
                                    << Collect;
    QTest::newRow("title with blanks") << QStringList{"/title:My Weekly Report"} << false << false
                                       << QStringList{"/title:My Weekly Report", J} << Collect;
    QTest::newRow("limit 0") << QStringList{"/limit:0"} << false << false << QStringList{T, J} << Collect;
    QTest::newRow("limit and privacy") << QStringList{"/limit:25", "/privacy:1"} << false << false
                                       << QStringList{T, "/limit:25", "/privacy", J} << Collect;
    QTest::newRow("range days all users") << QStringList{"/range:days", "/days:14", "/scope:all"} << false << false
                                          << QStringList{"/days:14", "/user:all", T, J} << Collect;
    QTest::newRow("custom range") << QStringList{"/range:cust", "/from:2024/1/2", "/to:2024-03-04"} << false << false
                                  << QStringList{"/from:2024-01-02", "/to:2024-03-04", T, J} << Collect;
    QTest::newRow("archive kept by a report run") << QStringList{"/archive:on", "/outmode:html"} << false << true
                                                  << QStringList{T, "/archive", J, O} << Collect;
    QTest::newRow("archive not read by a detection") << QStringList{"/archive:on"} << true << false
                                                     << QStringList{"/list", J} << "正在检测数据源";
}

void TRunTextsTest::ArgsByKind()
{
    QFETCH(QStringList, Switches);
    QFETCH(bool, ListMode);
    QFETCH(bool, AutoMode);
    QFETCH(QStringList, Args);
    QFETCH(QString, Busy);
    TOptions O = DefaultOptions(QStringLiteral("/d"), QDate(2024, 5, 5));
    ApplyInitialOptions(ParseCommandLine(Switches), O);
    const TRunKind Kind = RunKindOf(ListMode, AutoMode, O);
    QCOMPARE(SplitCommandLine(RunArgs(Kind, O, QStringLiteral("/o u t"))), Args);
    QCOMPARE(BusyTextOf(Kind), Busy);
}

void TRunTextsTest::ProgressDotsCycle()
{
    QStringList Seen;
    for (int Sec = 0; Sec < 6; ++Sec)
        Seen << ProgressText(QStringLiteral("正在采集，请稍候"), Sec);
    QCOMPARE(Seen, (QStringList{"正在采集，请稍候", "正在采集，请稍候.", "正在采集，请稍候..", "正在采集，请稍候...",
                                "正在采集，请稍候", "正在采集，请稍候."}));
    QCOMPARE(ElapsedText(12), QStringLiteral("用时 12 s"));
}

void TRunTextsTest::FinishedTexts_data()
{
    QTest::addColumn<int>("Kind");
    QTest::addColumn<quint32>("Code");
    QTest::addColumn<QString>("Status");
    QTest::addColumn<int>("Action");
    QTest::addColumn<QString>("Message");
    const QString AllFailed = QStringLiteral("所有数据源都读取失败，未能生成报告。\r\n\r\n"
                                             "可以先用“检测数据源”查看各数据源的状态；扫描全部用户需要管理员权限。");
    QTest::newRow("report ok") << int(rnEmbed) << 0u << "完成 · 成功" << int(faShowResult) << "";
    QTest::newRow("report no records") << int(rnEmbed) << 2u << "完成 · 时间范围内没有记录" << int(faShowResult) << "";
    QTest::newRow("report all failed") << int(rnEmbed) << 3u << "完成 · 数据源全部读取失败" << int(faWarn) << AllFailed;
    QTest::newRow("report bad args") << int(rnEmbed) << 1u << "完成 · 参数错误" << int(faWarn) << "未生成报告：参数错误";
    QTest::newRow("report other") << int(rnEmbed) << 7u << "完成 · 退出码 7" << int(faWarn) << "未生成报告：退出码 7";
    QTest::newRow("report huge code signed") << int(rnEmbed) << 0xFFFFFFFFu << "完成 · 退出码 -1" << int(faWarn)
                                             << "未生成报告：退出码 -1";
    QTest::newRow("html ok") << int(rnHtml) << 0u << "HTML 报告已生成，已在浏览器打开" << int(faNone) << "";
    QTest::newRow("html no records") << int(rnHtml) << 2u << "完成 · 时间范围内没有记录" << int(faWarn)
                                     << "时间范围内没有可用记录，未生成报告。";
    QTest::newRow("html all failed is quiet") << int(rnHtml) << 3u << "完成 · 数据源全部读取失败" << int(faNone) << "";
    QTest::newRow("list ok") << int(rnList) << 0u << "检测完成 · 成功" << int(faShowResult) << "";
    QTest::newRow("list all failed") << int(rnList) << 3u << "检测完成 · 数据源全部读取失败" << int(faWarn) << AllFailed;
    QTest::newRow("archive cleared") << int(rnClearArchive) << 0u << "历史存档已清除" << int(faNone) << "";
    QTest::newRow("archive not cleared") << int(rnClearArchive) << 4u << "清除历史存档失败 · 写报告失败" << int(faWarn)
                                         << "清除历史存档失败：写报告失败";
    QTest::newRow("archive unknown to the collector")
        << int(rnClearArchive) << 1u << "清除历史存档失败 · 参数错误" << int(faWarn)
        << "清除历史存档失败：参数错误\r\n\r\n请确认 " + CollectorFileName() + " 是支持历史存档的版本。";
    QTest::newRow("unattended never asks") << int(rnAuto) << 3u << "完成 · 数据源全部读取失败" << int(faNone) << "";
}

void TRunTextsTest::FinishedTexts()
{
    QFETCH(int, Kind);
    QFETCH(quint32, Code);
    QFETCH(QString, Status);
    QFETCH(int, Action);
    QFETCH(QString, Message);
    QCOMPARE(FinishedStatusText(TRunKind(Kind), Code), Status);
    const TFinishStep Step = FinishStep(TRunKind(Kind), Code);
    QCOMPARE(int(Step.Action), Action);
    QCOMPARE(Step.Text, Message);
    QCOMPARE(FinishedElapsedText(3, Code), QStringLiteral("用时 3.0 s · 退出码 %1").arg(int(Code)));
}

void TRunTextsTest::FileNamesInTexts_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Expected");
    // The messages name the files as they stand in the program's folder.
#ifdef Q_OS_WIN
    const QString Col = QStringLiteral("Marrowkin.exe"), Gui = QStringLiteral("MarrowkinWin.exe");
#else
    const QString Col = QStringLiteral("Marrowkin"), Gui = QStringLiteral("MarrowkinWin");
#endif
    QTest::newRow("collector missing") << CollectorMissingText(QStringLiteral("D:/x/") + Col)
                                       << "找不到 " + Col + "：\r\nD:/x/" + Col + "\r\n\r\n请把 " + Gui + " 与 " + Col +
                                              " 放在同一目录后重试。";
    QTest::newRow("parse failed") << ParseFailedText(QStringLiteral("第 1 行"))
                                  << "结果解析失败：第 1 行\r\n\r\n请确认 " + Col +
                                         " 是与本界面配套的版本（1.1.3 及以上，支持 /format:json）。";
}

void TRunTextsTest::FileNamesInTexts()
{
    QFETCH(QString, Text);
    QFETCH(QString, Expected);
    QCOMPARE(Text, Expected);
}

QTEST_GUILESS_MAIN(TRunTextsTest)
#include "tst_run_texts.moc"
