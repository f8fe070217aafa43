#include "text_util.h"
#include "utf8.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

class TTextUtilTest : public QObject {
    Q_OBJECT
private slots:
    void ParseDateCases_data();
    void ParseDateCases();
    void SplitCommandLineCases_data();
    void SplitCommandLineCases();
    void QuoteArgCases_data();
    void QuoteArgCases();
    void QuoteThenSplitRoundTrip_data();
    void QuoteThenSplitRoundTrip();
    void JoinPathCases_data();
    void JoinPathCases();
    void CleanSystemTextCases_data();
    void CleanSystemTextCases();
    void ColorFromHexCases_data();
    void ColorFromHexCases();
    void BlendColorCases_data();
    void BlendColorCases();
    void RoundHalfEvenCases_data();
    void RoundHalfEvenCases();
    void ParseDecimalCases_data();
    void ParseDecimalCases();
    void FormatCountCases_data();
    void FormatCountCases();
    void FormatCountUsesLocaleSeparator();
    void DecodeOutputCases();
    void Utf8Validation_data();
    void Utf8Validation();
    void EnsureDirCreatesParents();
};

void TTextUtilTest::ParseDateCases_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QDate>("Expected"); // null = refused
    QTest::newRow("plain") << "2024-03-05" << QDate(2024, 3, 5);
    QTest::newRow("short parts") << "2024-3-5" << QDate(2024, 3, 5);
    QTest::newRow("slashes") << "2024/03/05" << QDate(2024, 3, 5);
    QTest::newRow("blanks around") << "  2024-03-05 " << QDate(2024, 3, 5);
    QTest::newRow("tab and control characters around") << "\t\u00012024-03-05\r\n" << QDate(2024, 3, 5);
    QTest::newRow("ideographic space before") << "\u30002024-03-05" << QDate();
    QTest::newRow("no-break space after") << "2024-03-05\u00A0" << QDate();
    QTest::newRow("eight chars") << "2024-1-1" << QDate(2024, 1, 1);
    QTest::newRow("seven chars") << "2024-11" << QDate();
    QTest::newRow("last year") << "2100-12-31" << QDate(2100, 12, 31);
    QTest::newRow("after range") << "2101-01-01" << QDate();
    QTest::newRow("before range") << "1969-12-31" << QDate();
    QTest::newRow("first day") << "1970-01-01" << QDate(1970, 1, 1);
    QTest::newRow("leap day") << "2024-02-29" << QDate(2024, 2, 29);
    QTest::newRow("no leap day") << "2023-02-29" << QDate();
    QTest::newRow("thirtieth of feb") << "2023-02-30" << QDate();
    QTest::newRow("two-digit year") << "24-03-05" << QDate();
    QTest::newRow("time behind") << "2024-03-05 10:00" << QDate();
    QTest::newRow("month 13") << "2024-13-01" << QDate();
    QTest::newRow("day 0") << "2024-12-00" << QDate();
    QTest::newRow("one dash") << "20240305-1" << QDate();
    QTest::newRow("letters") << "abcd-ef-gh" << QDate();
    QTest::newRow("mixed separators") << "2024/03-05" << QDate(2024, 3, 5);
    QTest::newRow("empty") << "" << QDate();
}

void TTextUtilTest::ParseDateCases()
{
    QFETCH(QString, Text);
    QFETCH(QDate, Expected);
    QDate Got(2000, 1, 1);
    const bool Ok = ParseDate(Text, Got);
    QCOMPARE(Ok, Expected.isValid());
    QCOMPARE(Got, Expected);
}

void TTextUtilTest::SplitCommandLineCases_data()
{
    QTest::addColumn<QString>("Line");
    QTest::addColumn<QStringList>("Args");
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("blanks only") << "  \t " << QStringList();
    QTest::newRow("simple") << "/a /b" << QStringList{"/a", "/b"};
    QTest::newRow("runs of blanks") << "  /a \t  /b  " << QStringList{"/a", "/b"};
    QTest::newRow("quoted value") << "/title:\"a b\" /x" << QStringList{"/title:a b", "/x"};
    QTest::newRow("quotes mid-word") << "ab\"c d\"ef" << QStringList{"abc def"};
    QTest::newRow("empty quotes") << "/a \"\" /b" << QStringList{"/a", "", "/b"};
    QTest::newRow("unterminated") << "/out:\"C:\\My Dir" << QStringList{"/out:C:\\My Dir"};
    QTest::newRow("specials kept") << "\"a&b;c=d(e),f\"" << QStringList{"a&b;c=d(e),f"};
    QTest::newRow("chinese") << "/title:\"浏览器 报告\" /include:新闻"
                             << QStringList{"/title:浏览器 报告", "/include:新闻"};
    QTest::newRow("line breaks separate") << "/a\r\n/b" << QStringList{"/a", "/b"};
    QTest::newRow("escaped quote") << "/t:\"a \\\"b\\\" c\"" << QStringList{"/t:a \"b\" c"};
    QTest::newRow("even backslashes before a quote") << "\"C:\\x\\\\\" y" << QStringList{"C:\\x\\", "y"};
    QTest::newRow("backslashes elsewhere are plain") << "C:\\a\\\\b" << QStringList{"C:\\a\\\\b"};
}

void TTextUtilTest::SplitCommandLineCases()
{
    QFETCH(QString, Line);
    QFETCH(QStringList, Args);
    QCOMPARE(SplitCommandLine(Line), Args);
}

void TTextUtilTest::QuoteArgCases_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Quoted");
    QTest::newRow("empty") << "" << "\"\"";
    QTest::newRow("plain") << "abc" << "abc";
    QTest::newRow("space") << "a b" << "\"a b\"";
    QTest::newRow("tab") << "a\tb" << "\"a\tb\"";
    for (const char* S : {"&", "(", ")", ",", ";", "="})
        QTest::newRow(S) << QString("x%1y").arg(S) << QString("\"x%1y\"").arg(S);
    QTest::newRow("inner quote") << "a\"b" << "\"a\\\"b\"";
    QTest::newRow("backslash before quote and at the end") << "a\\\" b\\" << "\"a\\\\\\\" b\\\\\"";
    QTest::newRow("chinese") << "浏览器访问记录报告" << "浏览器访问记录报告";
}

void TTextUtilTest::QuoteArgCases()
{
    QFETCH(QString, Text);
    QFETCH(QString, Quoted);
    QCOMPARE(QuoteArg(Text), Quoted);
}

void TTextUtilTest::QuoteThenSplitRoundTrip_data()
{
    QTest::addColumn<QString>("Value");
    QTest::newRow("folder with blank") << "/home/user/My Reports";
    QTest::newRow("list") << "a; b；c";
    QTest::newRow("specials") << "x&y=(1,2)";
    QTest::newRow("chinese with blank") << "我的 报告";
    QTest::newRow("quotes and blanks") << "季度 \"草稿\" 报告";
    QTest::newRow("folder ending in a backslash") << "C:\\My Reports\\";
    QTest::newRow("backslashes and quotes") << "\\\"x\\\\\" \\";
}

// A value quoted for a switch must come back unchanged from the splitter.
void TTextUtilTest::QuoteThenSplitRoundTrip()
{
    QFETCH(QString, Value);
    const QStringList Args = SplitCommandLine("/a /v:" + QuoteArg(Value) + " /b");
    QCOMPARE(Args, (QStringList{"/a", "/v:" + Value, "/b"}));
}

void TTextUtilTest::JoinPathCases_data()
{
    QTest::addColumn<QString>("Folder");
    QTest::addColumn<QString>("Name");
    QTest::addColumn<QString>("Joined");
    QTest::newRow("backslash end") << "C:\\out\\" << "a.json" << "C:\\out\\a.json";
    QTest::newRow("slash end") << "/tmp/out/" << "a.json" << QDir::toNativeSeparators("/tmp/out/a.json");
    QTest::newRow("empty folder") << "" << "a.json" << "a.json";
#ifdef Q_OS_WIN
    QTest::newRow("no end") << "C:\\out" << "a.json" << "C:\\out\\a.json";
    QTest::newRow("forward slashes become the system's") << "C:/out/a" << "b/c.json" << "C:\\out\\a\\b\\c.json";
#else
    QTest::newRow("no end") << "/tmp/out" << "a.json" << "/tmp/out/a.json";
#endif
}

void TTextUtilTest::JoinPathCases()
{
    QFETCH(QString, Folder);
    QFETCH(QString, Name);
    QFETCH(QString, Joined);
    QCOMPARE(JoinPath(Folder, Name), Joined);
}

void TTextUtilTest::CleanSystemTextCases_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Clean");
    QTest::newRow("full stop and line break") << "Permission denied.\r\n" << "Permission denied";
    QTest::newRow("chinese full stop") << QString::fromUtf8("拒绝访问。\r\n") << QString::fromUtf8("拒绝访问");
    QTest::newRow("blanks around") << "  No such file or directory \t" << "No such file or directory";
    QTest::newRow("inner stops stay") << "a.b. c" << "a.b. c";
    QTest::newRow("nothing but stops") << " . . " << "";
}

void TTextUtilTest::CleanSystemTextCases()
{
    QFETCH(QString, Text);
    QFETCH(QString, Clean);
    QCOMPARE(CleanSystemText(Text), Clean);
}

void TTextUtilTest::ColorFromHexCases_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<uint>("Color");
    const uint Def = 0x00ABCDEF;
    QTest::newRow("accent") << "#2F6BF5" << uint(0xF56B2F);
    QTest::newRow("accent lower") << "#2f6bf5" << uint(0xF56B2F);
    QTest::newRow("orange") << "#ff8000" << uint(Rgb(255, 128, 0));
    QTest::newRow("orange upper") << "#FF8000" << uint(Rgb(255, 128, 0));
    QTest::newRow("six chars") << "#FF800" << Def;
    QTest::newRow("no hash") << "FF8000" << Def;
    QTest::newRow("not hex") << "#2F6BFG" << Def;
    QTest::newRow("eight chars") << "#FF80001" << Def;
    QTest::newRow("name") << "red" << Def;
    QTest::newRow("empty") << "" << Def;
}

void TTextUtilTest::ColorFromHexCases()
{
    QFETCH(QString, Text);
    QFETCH(uint, Color);
    QCOMPARE(uint(ColorFromHex(Text, 0x00ABCDEF)), Color);
}

void TTextUtilTest::BlendColorCases_data()
{
    QTest::addColumn<uint>("A");
    QTest::addColumn<uint>("B");
    QTest::addColumn<double>("T");
    QTest::addColumn<uint>("Expected");
    const uint Black = Rgb(0, 0, 0), Dark = Rgb(1, 3, 5), White = Rgb(255, 255, 255),
               Accent = Rgb(0x2F, 0x6B, 0xF5);
    QTest::newRow("halves to even") << Black << Dark << 0.5 << uint(Rgb(0, 2, 2));
    QTest::newRow("above one") << Black << Dark << 1.7 << Dark;
    QTest::newRow("below zero") << Black << Dark << -1.0 << Black;
    QTest::newRow("not a number") << Black << Dark << std::nan("") << Black;
    QTest::newRow("faintest heat") << White << Accent << 0.14 << uint(Rgb(0xE2, 0xEA, 0xFE));
    QTest::newRow("full heat") << White << Accent << 1.0 << Accent;
    QTest::newRow("clamped low") << White << Accent << -0.2 << White;
}

void TTextUtilTest::BlendColorCases()
{
    QFETCH(uint, A);
    QFETCH(uint, B);
    QFETCH(double, T);
    QFETCH(uint, Expected);
    QCOMPARE(uint(BlendColor(A, B, T)), Expected);
}

void TTextUtilTest::RoundHalfEvenCases_data()
{
    QTest::addColumn<double>("X");
    QTest::addColumn<qint64>("R");
    QTest::newRow("0.5") << 0.5 << qint64(0);
    QTest::newRow("1.5") << 1.5 << qint64(2);
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("3.5") << 3.5 << qint64(4);
    QTest::newRow("12.5") << 12.5 << qint64(12);
    QTest::newRow("87.5") << 87.5 << qint64(88);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("-1.5") << -1.5 << qint64(-2);
    QTest::newRow("2.4999") << 2.4999 << qint64(2);
    QTest::newRow("-0.7") << -0.7 << qint64(-1);
    QTest::newRow("nan") << std::nan("") << qint64(0);
}

void TTextUtilTest::RoundHalfEvenCases()
{
    QFETCH(double, X);
    QFETCH(qint64, R);
    QCOMPARE(RoundHalfEven(X), R);
}

void TTextUtilTest::ParseDecimalCases_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<bool>("Ok");
    QTest::addColumn<qint64>("Value");
    QTest::newRow("plain") << "42" << true << qint64(42);
    QTest::newRow("signs") << "-17" << true << qint64(-17);
    QTest::newRow("plus") << "+5" << true << qint64(5);
    QTest::newRow("max") << "9223372036854775807" << true << std::numeric_limits<qint64>::max();
    QTest::newRow("min") << "-9223372036854775808" << true << std::numeric_limits<qint64>::min();
    QTest::newRow("overflow") << "9223372036854775808" << false << qint64(0);
    QTest::newRow("fraction") << "4.2" << false << qint64(0);
    QTest::newRow("exponent") << "4e1" << false << qint64(0);
    QTest::newRow("blank") << " 4" << false << qint64(0);
    QTest::newRow("sign only") << "-" << false << qint64(0);
    QTest::newRow("empty") << "" << false << qint64(0);
    QTest::newRow("fullwidth digit") << QString::fromUtf8("４") << false << qint64(0);
}

void TTextUtilTest::ParseDecimalCases()
{
    QFETCH(QString, Text);
    QFETCH(bool, Ok);
    QFETCH(qint64, Value);
    qint64 Got = 99;
    QCOMPARE(ParseDecimal(Text, Got), Ok);
    QCOMPARE(Got, Value);
}

void TTextUtilTest::FormatCountCases_data()
{
    QTest::addColumn<qint64>("N");
    QTest::addColumn<QString>("Text");
    QTest::newRow("zero") << qint64(0) << "0";
    QTest::newRow("three digits") << qint64(999) << "999";
    QTest::newRow("four digits") << qint64(1234) << "1,234";
    QTest::newRow("million") << qint64(1234567) << "1,234,567";
    QTest::newRow("negative") << qint64(-1500) << "-1,500";
    QTest::newRow("exact group") << qint64(100000) << "100,000";
    QTest::newRow("min") << std::numeric_limits<qint64>::min() << "-9,223,372,036,854,775,808";
}

void TTextUtilTest::FormatCountCases()
{
    QFETCH(qint64, N);
    QFETCH(QString, Text);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QCOMPARE(FormatCount(N), Text);
    // The C locale omits grouping in QLocale::toString; counts must still group.
    QLocale::setDefault(QLocale::c());
    QCOMPARE(FormatCount(N), Text);
}

void TTextUtilTest::FormatCountUsesLocaleSeparator()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(FormatCount(1234567), QStringLiteral("1.234.567"));
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

void TTextUtilTest::DecodeOutputCases()
{
    QCOMPARE(DecodeOutput(QByteArray()), QString());
    QCOMPARE(DecodeOutput("{\"a\":1}"), QStringLiteral("{\"a\":1}"));
    QCOMPARE(DecodeOutput(QByteArray("\xE6\xB5\x8F\xE8\xA7\x88")), QStringLiteral("浏览"));
    // The byte-order mark must survive so that the parser can refuse it.
    const QString Bom = DecodeOutput(QByteArray("\xEF\xBB\xBF[1]"));
    QCOMPARE(Bom.size(), 4);
    QCOMPARE(Bom.at(0), QChar(0xFEFF));
    // Malformed and truncated sequences become replacement characters.
    const QString Bad = DecodeOutput(QByteArray("a\xFF" "b\xE6\xB5"));
    QVERIFY(Bad.startsWith(u'a'));
    QVERIFY(Bad.contains(QChar(0xFFFD)));
    QVERIFY(Bad.contains(u'b'));
    // A sequence cut off at the very end is not dropped: it is junk after the document.
    const QString Tail = DecodeOutput(QByteArray("{}\xE4\xB8"));
    QVERIFY(Tail.startsWith(QLatin1String("{}")));
    QVERIFY(Tail.size() > 2);
    QCOMPARE(Tail.back(), QChar(0xFFFD));
}

void TTextUtilTest::Utf8Validation_data()
{
    // Each byte string is judged against Qt's decoder: valid exactly when
    // decoding needs no replacement character, and then it decodes to as
    // many code units as counted.
    QTest::addColumn<QByteArray>("Bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("ascii, long") << QByteArray(100, 'a');
    QTest::newRow("two, three, four bytes") << QByteArray("\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
    QTest::newRow("limits") << QByteArray("\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
    QTest::newRow("overlong two") << QByteArray("\xC1\xBF");
    QTest::newRow("overlong three") << QByteArray("\xE0\x9F\xBF");
    QTest::newRow("overlong four") << QByteArray("\xF0\x8F\xBF\xBF");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80");
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80");
    QTest::newRow("F5 lead") << QByteArray("\xF5\x80\x80\x80");
    QTest::newRow("cut after 16 ascii") << QByteArray(16, 'a') + "\xE4\xB8";
    QTest::newRow("bad continuation") << QByteArray("\xE4\x41\xAD");
    QTest::newRow("lone continuation") << QByteArray("a\x80");
    QTest::newRow("FF") << QByteArray("\xFF");

    QRandomGenerator Rand(20261209);
    const char Pieces[] = "\x80\xBF\xC2\xDF\xE0\xED\xEF\xF0\xF4\x9F\xA0\x8F\x90" "a";
    for (int Row = 0; Row < 300; ++Row) {
        QByteArray B;
        for (int I = int(Rand.bounded(12)); I > 0; --I)
            B += Pieces[Rand.bounded(int(sizeof Pieces - 1))];
        QTest::addRow("random %d", Row) << B;
    }
}

void TTextUtilTest::Utf8Validation()
{
    QFETCH(QByteArray, Bytes);
    const QString Decoded = DecodeOutput(Bytes);
    const bool Clean = !Decoded.contains(QChar(0xFFFD));
    QCOMPARE(IsValidUtf8(Bytes.constData(), Bytes.size()), Clean);
    if (Clean)
        QCOMPARE(Utf16Units(Bytes.constData(), Bytes.size()), Decoded.size());
}

void TTextUtilTest::EnsureDirCreatesParents()
{
    QTemporaryDir Tmp;
    QVERIFY(Tmp.isValid());
    const QString Deep = Tmp.path() + "/a b/c/d";
    QVERIFY(!DirExists(Deep));
    EnsureDir(Deep);
    QVERIFY(DirExists(Deep));
    EnsureDir(Deep); // already there: nothing to do, nothing reported
    QVERIFY(DirExists(Deep));
    // A file is not a folder.
    QFile F(Tmp.path() + "/file");
    QVERIFY(F.open(QIODevice::WriteOnly));
    F.close();
    QVERIFY(!DirExists(F.fileName()));
    QVERIFY(!DirExists(QString()));
    // A folder below a file cannot be made; no exception, no folder.
    EnsureDir(F.fileName() + "/sub");
    QVERIFY(!DirExists(F.fileName() + "/sub"));
}

QTEST_GUILESS_MAIN(TTextUtilTest)
#include "tst_text_util.moc"
