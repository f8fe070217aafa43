#include "test_docs.h"
#include "json.h"
#include "filter_index.h"
#include "record_filter.h"
#include "record_sort.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <numeric>

namespace {

// Every character escaped, so the document holds exactly the code units given
// (lone surrogates and U+0000 included) and the tree holds it as UTF-16; or,
// when that is not asked for and the text has no lone surrogate, written as
// it is but for quotes and backslashes, so the tree holds a view into the
// document's UTF-8.
QString JsonString(const QString& S, bool Escaped = true)
{
    if (!Escaped && QString::fromUtf8(S.toUtf8()) == S) {
        QString Out = QStringLiteral("\"");
        for (const QChar C : S) {
            if (C == u'"' || C == u'\\')
                Out += u'\\';
            Out += C;
        }
        return Out + u'"';
    }
    QString Out = QStringLiteral("\"");
    for (const QChar C : S)
        Out += QStringLiteral("\\u%1").arg(C.unicode(), 4, 16, QLatin1Char('0'));
    return Out + u'"';
}

// A small alphabet with the characters the rules treat specially: ASCII case
// pairs, accented and full-width case pairs, blanks, quotes, CJK, a surrogate
// pair and its halves, and U+0000.
const QString kAlphabet = QStringLiteral("aAbBmMzZ \t\",./:\u00E9\u00C9\uFF41\uFF21\u4E2D\u6587\u0000")
                          + QChar(0xD83D) + QChar(0xDE00);

QString RandomText(QRandomGenerator& Rng, int MaxLen)
{
    const int Len = Rng.bounded(MaxLen + 1);
    QString S;
    for (int I = 0; I < Len; ++I)
        S += kAlphabet.at(Rng.bounded(int(kAlphabet.size())));
    return S;
}

// Records with texts of whole code points (no lone surrogates, which the
// reference below cannot tell apart), many sharing more than the sixteen
// bytes the sort looks at first, some written escaped, some missing or not
// strings.
QString SortDocument(quint32 Seed)
{
    static const QStringList Pieces = {QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("b"),
                                       QStringLiteral("\u00E9"), QStringLiteral("\uFF41"), QStringLiteral("\u4E2D"),
                                       QStringLiteral("\u6587"), QStringLiteral("\U0001F600"), QString(QChar(0)),
                                       QStringLiteral("https://www.example.com/")};
    QRandomGenerator Rng(Seed);
    QString Doc = QStringLiteral("[");
    for (int I = 0; I < 400; ++I) {
        if (I)
            Doc += u',';
        if (Rng.bounded(40) == 0) {
            Doc += QStringLiteral("null");
            continue;
        }
        QStringList Members;
        for (int K = 0; K < rcColumnCount; ++K) {
            const int Kind = Rng.bounded(12);
            QString Text;
            for (int L = Rng.bounded(K == rcBrowser ? 2 : 5); L > 0; --L)
                Text += Pieces.at(Rng.bounded(int(Pieces.size())));
            if (Kind > 0)
                Members << u'"' + kRecordKeys[K] + QStringLiteral("\":") + (Kind == 1 ? QStringLiteral("7") : JsonString(Text, Kind > 3));
        }
        Doc += u'{' + Members.join(u',') + u'}';
    }
    return Doc + u']';
}

// Records whose times are date-times as the collector writes them, many
// equal, some empty or missing; Odd, when given, is one more record's time,
// which the date-time order must leave to the text order.
QString TimeDocument(quint32 Seed, const QString& Odd)
{
    QRandomGenerator Rng(Seed);
    QStringList Records;
    for (int I = 0; I < 300; ++I) {
        const int Kind = Rng.bounded(20);
        const QString Time = QStringLiteral("20%1-%2-0%3 0%4:00:%5")
                                 .arg(25 + Rng.bounded(2))
                                 .arg(10 + Rng.bounded(3))
                                 .arg(1 + Rng.bounded(3))
                                 .arg(Rng.bounded(3))
                                 .arg(10 * Rng.bounded(6), 2, 10, QLatin1Char('0'));
        Records << (Kind == 0 ? QStringLiteral("{}") : QStringLiteral("{\"time\":\"%1\"}").arg(Kind == 1 ? QString() : Time));
    }
    if (!Odd.isEmpty())
        Records.insert(150, QStringLiteral("{\"time\":%1}").arg(Odd));
    return u'[' + Records.join(u',') + u']';
}

}  // namespace

class TRecordFilterTest : public QObject {
    Q_OBJECT
private slots:
    void Terms_data()
    {
        QTest::addColumn<QString>("Text");
        QTest::addColumn<QStringList>("Terms");
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow("blanks only") << " \t\r\n " << QStringList();
        QTest::newRow("two terms folded") << "  Mail   LOGIN " << QStringList{"mail", "login"};
        QTest::newRow("control chars separate") << "a\u0001b\u001Fc" << QStringList{"a", "b", "c"};
        QTest::newRow("ideographic space is not a separator") << "a\u3000b" << QStringList{"a\u3000b"};
        QTest::newRow("phrase") << "\"New York\" Times" << QStringList{"new york", "times"};
        QTest::newRow("doubled quote") << "\"say \"\"hi\"\"\"" << QStringList{"say \"hi\""};
        QTest::newRow("unterminated") << "x \"open phrase" << QStringList{"x", "open phrase"};
        QTest::newRow("text right after closing quote") << "\"ab\"cd" << QStringList{"ab", "cd"};
        QTest::newRow("quote inside a word stays") << "ab\"cd" << QStringList{"ab\"cd"};
        QTest::newRow("blank phrase dropped") << "\"  \" a \"\"" << QStringList{"a"};
        QTest::newRow("phrase keeps its blanks") << "\" a \"" << QStringList{" a "};
        QTest::newRow("non-ASCII case kept") << "\u00C9T\uFF21" << QStringList{"\u00C9t\uFF21"};
        QTest::newRow("lone quote") << "\"" << QStringList();
        QTest::newRow("unterminated, blanks after") << "\"open phrase \t " << QStringList{"open phrase"};
    }
    void Terms()
    {
        QFETCH(QString, Text);
        QFETCH(QStringList, Terms);
        QCOMPARE(ParseFilterTerms(Text), Terms);
    }

    void Matching_data()
    {
        QTest::addColumn<QString>("Filter");
        QTest::addColumn<QList<int>>("Expected");
        QTest::newRow("none") << "" << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("both terms, across fields") << "Mail login" << QList<int>{0};
        QTest::newRow("phrase across title and url") << "\"inbox https\"" << QList<int>{0};
        QTest::newRow("phrase across url and browser") << "\"/login chrome\"" << QList<int>{0};
        QTest::newRow("time is not searched") << "2024" << QList<int>{};
        QTest::newRow("profile searched") << "work" << QList<int>{1};
        QTest::newRow("accented letter keeps case") << "\u00E9t\u00E9" << QList<int>{2};
        QTest::newRow("accented upper") << "\u00C9T\u00C9" << QList<int>{3};
        QTest::newRow("quote in phrase") << "\"\"\"q\"\"\"" << QList<int>{1};
        QTest::newRow("no match") << "zzz" << QList<int>{};
    }
    void Matching()
    {
        QFETCH(QString, Filter);
        QFETCH(QList<int>, Expected);
        const auto Doc = Parse(
            J("[{'time':'2024-05-01','title':'MAIL Inbox','url':'https://mail.example/login',")
            + J("'browser':'Chrome','profile':'Default'},")
            + J("{'time':'2024-05-02','title':'say \\'Q\\'','url':'https://b.example/',")
            + J("'browser':'Edge','profile':'Work'},")
            + J("{'title':'\\u00e9t\\u00e9'}, {'title':'\\u00c9T\\u00c9'}, 5]"));
        const QStringList Terms = ParseFilterTerms(Filter);
        TFilterIndex Index;
        Index.Build(Doc.get());
        QCOMPARE(Index.Count(), 5);
        const std::vector<int> Fast = Index.Match(Terms);
        QCOMPARE(QList<int>(Fast.begin(), Fast.end()), Expected);
        const std::vector<int> Slow = ScanRecords(Doc.get(), Terms);
        QCOMPARE(QList<int>(Slow.begin(), Slow.end()), Expected);
    }

    void NoRecordsArray_data()
    {
        QTest::addColumn<QString>("Text");
        QTest::newRow("object") << "{\"a\":1}";
        QTest::newRow("string") << "\"abc\"";
        QTest::newRow("empty array") << "[]";
    }
    void NoRecordsArray()
    {
        QFETCH(QString, Text);
        const auto Doc = Parse(Text);
        TFilterIndex Index;
        Index.Build(Doc.get());
        QCOMPARE(Index.Count(), 0);
        QVERIFY(Index.Match({}).empty());
        QVERIFY(Index.Match({"a"}).empty());
        QVERIFY(ScanRecords(Doc.get(), {}).empty());
        QVERIFY(ScanRecords(nullptr, {}).empty());
    }

    // The index must give exactly what the per-record rule gives, including
    // terms that span fields, sit at record ends, or hold U+0000.
    void IndexEqualsScanOnRandomData()
    {
        QRandomGenerator Rng(20240531);
        for (int Round = 0; Round < 60; ++Round) {
            // Some rounds with long fields, so terms are found both by the
            // sixteen-at-a-time scan and in the short tail after it.
            const int Len = Round % 3 == 0 ? 48 : 8;
            const int N = 1 + Rng.bounded(60);
            QString Doc = QStringLiteral("[");
            for (int I = 0; I < N; ++I) {
                if (I)
                    Doc += u',';
                if (Rng.bounded(20) == 0) {
                    Doc += QStringLiteral("null");
                    continue;
                }
                // Most records as a collector writes them, some escaped; the
                // time, which is not searched, between searched members.
                const bool Esc = Rng.bounded(4) == 0;
                Doc += QStringLiteral("{\"title\":%1,\"time\":%5,\"url\":%2,\"browser\":%3,\"profile\":%4}")
                           .arg(JsonString(RandomText(Rng, Len), Esc), JsonString(RandomText(Rng, Len), Esc),
                                JsonString(RandomText(Rng, 3), Esc), JsonString(RandomText(Rng, 3), Esc),
                                JsonString(RandomText(Rng, 4), Esc));
            }
            Doc += u']';
            const auto Tree = Parse(Doc);
            TFilterIndex Index;
            Index.Build(Tree.get());
            for (int Q = 0; Q < 60; ++Q) {
                const QString Filter = RandomText(Rng, Q % 4 == 0 ? 12 : 6);
                const QStringList Terms = ParseFilterTerms(Filter);
                const std::vector<int> Fast = Index.Match(Terms);
                const std::vector<int> Slow = ScanRecords(Tree.get(), Terms);
                if (Fast != Slow)
                    QFAIL(qPrintable(QStringLiteral("filter %1 differs on %2").arg(JsonString(Filter), Doc)));
                // One keystroke on: the rows shown before, or all rows.
                const QStringList Before = ParseFilterTerms(Filter.isEmpty() ? Filter : Filter.chopped(1));
                const std::vector<int> Shown = Index.Match(TermsNarrow(Before, Terms) ? Before : QStringList());
                if (Index.MatchWithin(Terms, Shown) != Slow)
                    QFAIL(qPrintable(QStringLiteral("narrowed filter %1 differs on %2").arg(JsonString(Filter), Doc)));
            }
        }
    }

    void Narrowing_data()
    {
        QTest::addColumn<QString>("Old");
        QTest::addColumn<QString>("New");
        QTest::addColumn<bool>("Narrows");
        QTest::newRow("nothing before") << "" << "a" << false;
        QTest::newRow("typed on") << "git" << "github" << true;
        QTest::newRow("deleted a letter") << "github" << "git" << false;
        QTest::newRow("two terms in one") << "a b" << "ab" << true;
        QTest::newRow("phrase split") << "\"a b\"" << "a b" << false;
        QTest::newRow("term added") << "a" << "a b" << true;
    }
    void Narrowing()
    {
        QFETCH(QString, Old);
        QFETCH(QString, New);
        QFETCH(bool, Narrows);
        QCOMPARE(TermsNarrow(ParseFilterTerms(Old), ParseFilterTerms(New)), Narrows);
    }

    void RecordEndsNeverJoin()
    {
        // The third record's time, not searched, looks like a url member
        // inside its escapes.
        const auto Doc = Parse(J("[{'time':'abc','title':'Abc','url':'http://x','browser':'Chrome','profile':''},"
                                 "{'title':'','url':'','browser':'','profile':'ABC'},"
                                 "{'title':'t','time':'\\',\\'url\\':\\'qqq','url':'u'}]"));
        TFilterIndex Index;
        Index.Build(Doc.get());
        QCOMPARE(Index.Count(), 3);
        QCOMPARE(Index.Match({"qqq"}), (std::vector<int>{}));
        QCOMPARE(Index.Match({"abc"}), (std::vector<int>{0, 1}));
        QCOMPARE(Index.Match({"abc http"}), (std::vector<int>{0}));
        // The separator between records never joins two records' texts.
        QCOMPARE(Index.Match({"chrome  "}), (std::vector<int>{}));
        QVERIFY(Index.MemoryBytes() > 0);
    }

    void SortOrder_data()
    {
        QTest::addColumn<QString>("Doc");
        QTest::addColumn<int>("Column");
        QTest::addColumn<int>("Direction");
        // Code point order puts U+FF41 before U+1F600, which UTF-16 code units reverse.
        const QString Picked = J("[{'title':'\\uD83D\\uDE00'},{'title':'\uFF41'},{'title':'中文'},{},"
                                 "{'title':'\\u4E2D\\u6587'},{'title':''},{'title':'中'},{'title':'z'}]");
        for (const int D : {sdAscending, sdDescending}) {
            const char* Dir = D == sdAscending ? "up" : "down";
            QTest::addRow("picked titles %s", Dir) << Picked << int(rcTitle) << D;
            for (int C = 0; C < rcColumnCount; ++C)
                QTest::addRow("random %s %s", kRecordKeys[C].data(), Dir) << SortDocument(quint32(C)) << C << D;
            for (const QString& Odd : {QString(), QStringLiteral("\"2026-10-01T00:00:00\""),
                                       QStringLiteral("\"2026\\u002D10-01 00:00:00\"")})
                QTest::addRow("date-times %s %s", qPrintable(Odd), Dir) << TimeDocument(7, Odd) << int(rcTime) << D;
        }
    }

    // Against a plain stable sort of the texts as code points.
    void SortOrder()
    {
        QFETCH(QString, Doc);
        QFETCH(int, Column);
        QFETCH(int, Direction);
        const auto Tree = Parse(Doc);
        std::vector<QList<uint>> Keys;
        for (int I = 0; I < Tree->Count(); ++I)
            Keys.push_back(Tree->Items(I)->S(kRecordKeys[Column]).toUcs4());
        std::vector<int> Expected(Keys.size());
        std::iota(Expected.begin(), Expected.end(), 0);
        std::stable_sort(Expected.begin(), Expected.end(), [&](int A, int B) {
            return Direction == sdAscending ? Keys[size_t(A)] < Keys[size_t(B)] : Keys[size_t(B)] < Keys[size_t(A)];
        });
        QCOMPARE(SortedRecords(Tree.get(), {Column, TSortDirection(Direction)}), Expected);
    }

    void CopiedLine_data()
    {
        QTest::addColumn<QString>("Record");
        QTest::addColumn<QString>("Line");
        QTest::newRow("plain; the profile is not copied")
            << J("{'time':'t','browser':'b','profile':'p','title':'T','url':'u'}") << "t\tb\tT\tu";
        QTest::newRow("tab in a title") << J("{'title':'a\\tb'}") << "\t\ta b\t";
        QTest::newRow("CR LF in a url") << J("{'url':'x\\r\\ny'}") << "\t\t\tx  y";
        QTest::newRow("LF in time and browser") << J("{'time':'1\\n2','browser':'\\nB'}") << "1 2\t B\t\t";
    }
    void CopiedLine()
    {
        QFETCH(QString, Record);
        const auto Doc = Parse(Record);
        QTEST(CopiedRecordLine(ReadRecordText(Doc.get())), "Line");
    }
};

QTEST_GUILESS_MAIN(TRecordFilterTest)
#include "tst_record_filter.moc"
