#include "json.h"
#include "report_generator.h"
#include "text_util.h"
#include "utf8.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRandomGenerator>
#include <QTest>

#include <functional>

namespace {

// A compact picture of a tree, so expected shapes fit in one table cell:
// n t f for literals, #text for numbers, "text" for strings (non-printable
// code units as \xHHHH), [a,b] and {"k":v}.
QString Dump(const TJsonValue* V)
{
    if (!V)
        return QStringLiteral("<nil>");
    switch (V->Kind()) {
    case jkNull: return QStringLiteral("n");
    case jkFalse: return QStringLiteral("f");
    case jkTrue: return QStringLiteral("t");
    case jkNumber: return u'#' + V->AsString();
    case jkString: {
        QString Out = QStringLiteral("\"");
        for (QChar C : V->AsString()) {
            if (C.unicode() < 0x20 || C.isSurrogate())
                Out += QStringLiteral("\\x%1").arg(C.unicode(), 4, 16, QLatin1Char('0'));
            else
                Out += C;
        }
        return Out + u'"';
    }
    case jkArray: {
        QStringList Parts;
        for (int I = 0; I < V->Count(); ++I)
            Parts << Dump(V->Items(I));
        return u'[' + Parts.join(u',') + u']';
    }
    case jkObject: {
        QStringList Parts;
        for (int I = 0; I < V->PairCount(); ++I)
            Parts << u'"' + V->PairKey(I) + QStringLiteral("\":") + Dump(V->PairValue(I));
        return u'{' + Parts.join(u',') + u'}';
    }
    }
    return QString();
}

// Our tree against Qt's reading of the same valid document.
bool SameAsQt(const TJsonValue* V, const QJsonValue& Q, QString& Where)
{
    switch (Q.type()) {
    case QJsonValue::Null:
        return V->Kind() == jkNull;
    case QJsonValue::Bool:
        return V->Kind() == (Q.toBool() ? jkTrue : jkFalse);
    case QJsonValue::Double:
        return V->Kind() == jkNumber && V->AsString().toDouble() == Q.toDouble();
    case QJsonValue::String:
        return V->Kind() == jkString && V->AsString() == Q.toString() && V->StrView() == Q.toString();
    case QJsonValue::Array: {
        const QJsonArray A = Q.toArray();
        if (!V->IsArray() || V->Count() != A.size())
            return false;
        for (int I = 0; I < A.size(); ++I)
            if (!SameAsQt(V->Items(I), A.at(I), Where)) {
                Where.prepend(QStringLiteral("[%1]").arg(I));
                return false;
            }
        return true;
    }
    case QJsonValue::Object: {
        const QJsonObject O = Q.toObject();
        if (!V->IsObject() || V->Count() != O.size())
            return false;
        for (auto It = O.begin(); It != O.end(); ++It)
            if (!V->Get(It.key()) || !SameAsQt(V->Get(It.key()), It.value(), Where)) {
                Where.prepend(u'.' + It.key());
                return false;
            }
        return true;
    }
    default:
        return false;
    }
}

QString Utf16(std::initializer_list<char16_t> Units)
{
    return QString(reinterpret_cast<const QChar*>(Units.begin()), qsizetype(Units.size()));
}

} // namespace

// Every case runs twice: once through the text parser and once through the
// byte parser on the UTF-8 of the same text, with the same expectations.
class TJsonTest : public QObject
{
    Q_OBJECT

public:
    explicit TJsonTest(bool Bytes) : FBytes(Bytes) {}

private:
    std::unique_ptr<TJsonValue> Parse(const QString& Text, QString& ErrMsg) const
    {
        return FBytes ? ParseJsonBytes(Text.toUtf8(), ErrMsg) : ParseJson(Text, ErrMsg);
    }
    std::unique_ptr<TJsonValue> Parse(const QByteArray& Utf8, QString& ErrMsg) const
    {
        return FBytes ? ParseJsonBytes(Utf8, ErrMsg) : ParseJson(DecodeOutput(Utf8), ErrMsg);
    }
    const bool FBytes;

private slots:
    void initTestCase() { qInfo("parser: %s", FBytes ? "bytes" : "text"); }
    void Errors_data();
    void Errors();
    void Shapes_data();
    void Shapes();
    void SurrogateEscapes_data();
    void SurrogateEscapes();
    void Accessors_data();
    void Accessors();
    void PairsAndItems();
    void ManyKeyLists();
    void NewValues();
    void Nesting_data();
    void Nesting();
    void TreeOutlivesCallerText();
    void GeneratedDocumentsMatchQt_data();
    void GeneratedDocumentsMatchQt();
    void RandomDocumentsMatchQt();
    void MalformedUtf8_data();
    void MalformedUtf8();
};

void TJsonTest::Errors_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Message");

    QTest::newRow("empty") << "" << "意外的文本结尾（位置 1）";
    QTest::newRow("three spaces") << "   " << "意外的文本结尾（位置 4）";
    QTest::newRow("open bracket") << "[" << "意外的文本结尾（位置 2）";
    QTest::newRow("after colon") << "{\"a\":" << "意外的文本结尾（位置 6）";

    QTest::newRow("missing colon") << "{\"a\" 1}" << "期望 \":\"（位置 6）";
    QTest::newRow("missing colon at end") << "{\"abc\"" << "期望 \":\"（位置 7）";
    QTest::newRow("unquoted key") << "{a:1}" << "期望 \"\"\"（位置 2）";
    QTest::newRow("key after comma at end") << "{\"a\":1," << "期望 \"\"\"（位置 8）";
    QTest::newRow("trailing comma in object") << "{\"a\":1,}" << "期望 \"\"\"（位置 8）";

    QTest::newRow("array without comma") << "[1 2]" << "数组元素之间缺少逗号（位置 4）";
    QTest::newRow("array not closed") << "[1" << "数组元素之间缺少逗号（位置 3）";
    QTest::newRow("array closed by brace") << "[1}" << "数组元素之间缺少逗号（位置 3）";
    QTest::newRow("object without comma") << "{\"a\":1 \"b\":2}" << "对象成员之间缺少逗号（位置 8）";
    QTest::newRow("object not closed") << "{\"a\":1  " << "对象成员之间缺少逗号（位置 9）";
    QTest::newRow("object closed by bracket") << "{\"a\":1]" << "对象成员之间缺少逗号（位置 7）";

    QTest::newRow("nul") << "nul" << "非法字面量（位置 1）";
    QTest::newRow("fals after blank") << " fals" << "非法字面量（位置 2）";
    QTest::newRow("tru in array") << "[tru]" << "非法字面量（位置 2）";
    QTest::newRow("Null capitalised inside") << "[nULL]" << "非法字面量（位置 2）";
    QTest::newRow("True capitalised") << "True" << "JSON 结束后还有多余内容（位置 1）";
    QTest::newRow("truex") << "truex" << "JSON 结束后还有多余内容（位置 5）";

    QTest::newRow("no closing quote") << "\"abc" << "字符串没有结束引号（位置 5）";
    QTest::newRow("no closing quote after escape") << "\"a\\nb" << "字符串没有结束引号（位置 6）";
    QTest::newRow("backslash at end") << "\"ab\\" << "转义序列不完整（位置 5）";
    QTest::newRow("unknown escape") << "\"a\\x\"" << "未知的转义字符（位置 4）";
    QTest::newRow("escaped quote then end") << "\"\\\"" << "字符串没有结束引号（位置 4）";
    QTest::newRow("short \\u at end") << "\"\\u12" << "转义序列不完整（位置 6）";
    QTest::newRow("bad hex digit") << "\"\\u12G4\"" << "非法的 \\\\u 转义（位置 7）";
    QTest::newRow("quote inside \\u") << "\"\\u12\"" << "非法的 \\\\u 转义（位置 7）";
    QTest::newRow("bad hex in low half") << "\"\\uD83D\\u12\"" << "非法的 \\\\u 转义（位置 13）";
    QTest::newRow("short low half") << "\"\\uD83D\\u" << "转义序列不完整（位置 10）";
    QTest::newRow("error in key") << "{\"a\\q\":1}" << "未知的转义字符（位置 5）";

    QTest::newRow("two values") << "1 2" << "JSON 结束后还有多余内容（位置 3）";
    QTest::newRow("extra brace") << "{\"a\":1}}" << "JSON 结束后还有多余内容（位置 8）";
    QTest::newRow("form feed is not blank") << "\t\n\r {}\f" << "JSON 结束后还有多余内容（位置 7）";
    QTest::newRow("no-break space is not blank") << QStringView(u"\u00A0[]").toString() << "JSON 结束后还有多余内容（位置 1）";
    QTest::newRow("byte-order mark") << QStringView(u"\uFEFF{}").toString() << "JSON 结束后还有多余内容（位置 1）";
    QTest::newRow("lone closing bracket") << "]" << "JSON 结束后还有多余内容（位置 1）";
    // Positions count UTF-16 code units: the emoji takes two.
    QTest::newRow("position after surrogate pair") << QStringView(u"[\"😀\" 1]").toString() << "数组元素之间缺少逗号（位置 7）";
    QTest::newRow("position after Chinese") << QStringView(u"{\"名称\" 1}").toString() << "期望 \":\"（位置 7）";
    QTest::newRow("Chinese as hex digit") << QStringView(u"\"\\u12中\"").toString() << "非法的 \\\\u 转义（位置 7）";
    QTest::newRow("emoji as hex digit") << QStringView(u"\"\\u12😀\"").toString() << "非法的 \\\\u 转义（位置 7）";
    QTest::newRow("no closing quote after Chinese") << QStringView(u"[\"中文😀").toString() << "字符串没有结束引号（位置 7）";
}

void TJsonTest::Errors()
{
    QFETCH(QString, Text);
    QFETCH(QString, Message);
    QString ErrMsg = QStringLiteral("stale");
    const std::unique_ptr<TJsonValue> Root = Parse(Text, ErrMsg);
    QVERIFY(!Root);
    QCOMPARE(ErrMsg, Message);
}

void TJsonTest::Shapes_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Shape");

    QTest::newRow("two numbers") << "[1, 2]" << "[#1,#2]";
    QTest::newRow("empty array") << "[]" << "[]";
    QTest::newRow("empty object") << " { \n } " << "{}";
    QTest::newRow("trailing comma") << "[1,]" << "[#1,#]";
    QTest::newRow("only commas") << "[,]" << "[#,#]";
    QTest::newRow("member without value") << "{\"a\":}" << "{\"a\":#}";
    QTest::newRow("duplicate keys kept") << "{\"a\":1,\"a\":2}" << "{\"a\":#1,\"a\":#2}";
    QTest::newRow("literals") << "[true,false,null]" << "[t,f,n]";
    QTest::newRow("literals without separators") << "[true ,null\t]" << "[t,n]";
    QTest::newRow("number texts kept as written") << "[-1.5e+3,1.2.3,--,+0]" << "[#-1.5e+3,#1.2.3,#--,#+0]";
    QTest::newRow("number stops at other chars") << "[12abc]" << "<err>";
    QTest::newRow("all simple escapes") << R"(["\"\\\/\b\f\n\r\t"])" << "[\"\"\\/\\x0008\\x000c\\x000a\\x000d\\x0009\"]";
    QTest::newRow("unicode escapes") << R"(["\u4e2d\u6587A\u0041"])" << "[\"中文AA\"]";
    QTest::newRow("controls kept raw") << QStringView(u"[\"a\u0001\tb\"]").toString() << "[\"a\\x0001\\x0009b\"]";
    QTest::newRow("escape mid-string keeps prefix") << R"(["abc\ndef","x"])" << "[\"abc\\x000adef\",\"x\"]";
    QTest::newRow("escaped key") << R"({"a\"b":"c"})" << "{\"a\"b\":\"c\"}";
    QTest::newRow("same keys, other orders") << R"([{"a":1,"b":2},{"b":3,"a":4},{"a":5,"b":6},{"a":7},{"a\u0062":8}])"
                                             << "[{\"a\":#1,\"b\":#2},{\"b\":#3,\"a\":#4},{\"a\":#5,\"b\":#6},{\"a\":#7},{\"ab\":#8}]";
    QTest::newRow("nested") << "{\"a\":[{\"b\":[]},[[1]]],\"c\":{}}" << "{\"a\":[{\"b\":[]},[[#1]]],\"c\":{}}";
    QTest::newRow("blank between everything") << " [ 1 , { \"k\" : \"v\" } ] \r\n" << "[#1,{\"k\":\"v\"}]";
    QTest::newRow("string root") << "\"x\"" << "\"x\"";
    QTest::newRow("empty string") << "[\"\"]" << "[\"\"]";
}

void TJsonTest::Shapes()
{
    QFETCH(QString, Text);
    QFETCH(QString, Shape);
    QString ErrMsg = QStringLiteral("stale");
    const std::unique_ptr<TJsonValue> Root = Parse(Text, ErrMsg);
    if (Shape == QLatin1String("<err>")) {
        QVERIFY(!Root);
        QVERIFY(!ErrMsg.isEmpty());
        return;
    }
    QVERIFY2(Root, qPrintable(ErrMsg));
    QVERIFY(ErrMsg.isEmpty());
    QCOMPARE(Dump(Root.get()), Shape);
}

void TJsonTest::SurrogateEscapes_data()
{
    QTest::addColumn<QString>("Text");
    QTest::addColumn<QString>("Expected");

    QTest::newRow("pair") << R"("\uD83D\uDE00")" << Utf16({0xD83D, 0xDE00});
    QTest::newRow("pair lower case") << R"("\ud83d\ude00!")" << Utf16({0xD83D, 0xDE00, u'!'});
    QTest::newRow("high then ordinary char") << R"("\uD83Dx")" << Utf16({0xD83D, u'x'});
    QTest::newRow("high at the end") << R"("\uDBFF")" << Utf16({0xDBFF});
    QTest::newRow("lone low") << R"("a\uDE00")" << Utf16({u'a', 0xDE00});
    QTest::newRow("high takes any next \\u") << R"("\uD800\u0041")" << Utf16({0xD800, u'A'});
    QTest::newRow("high then other escape") << R"("\uD800\n")" << Utf16({0xD800, u'\n'});
    QTest::newRow("two highs") << R"("\uD800\uD800\uD800")" << Utf16({0xD800, 0xD800, 0xD800});
    QTest::newRow("raw pair untouched") << QStringView(u"\"😀\"").toString() << Utf16({0xD83D, 0xDE00});
}

void TJsonTest::SurrogateEscapes()
{
    QFETCH(QString, Text);
    QFETCH(QString, Expected);
    QString ErrMsg;
    const std::unique_ptr<TJsonValue> Root = Parse(Text, ErrMsg);
    QVERIFY2(Root, qPrintable(ErrMsg));
    QCOMPARE(Root->Kind(), jkString);
    QCOMPARE(Root->AsString(), Expected);
}

void TJsonTest::Accessors_data()
{
    // Doc, accessor, key, expected result as text. The defaults passed are
    // "dflt", -7 and both truth values, so a default shows in the result.
    QTest::addColumn<QString>("Doc");
    QTest::addColumn<QString>("Accessor");
    QTest::addColumn<QString>("Key");
    QTest::addColumn<QString>("Expected");

    QTest::newRow("I integer") << "{\"k\":42}" << "I" << "k" << "42";
    QTest::newRow("I negative") << "{\"k\":-42}" << "I" << "k" << "-42";
    QTest::newRow("I plus sign") << "{\"k\":+7}" << "I" << "k" << "7";
    QTest::newRow("I leading zeros") << "{\"k\":007}" << "I" << "k" << "7";
    QTest::newRow("I fraction") << "{\"k\":4.2}" << "I" << "k" << "-7";
    QTest::newRow("I exponent") << "{\"k\":4e1}" << "I" << "k" << "-7";
    QTest::newRow("I string of digits") << "{\"k\":\"42\"}" << "I" << "k" << "-7";
    QTest::newRow("I empty number") << "{\"k\":}" << "I" << "k" << "-7";
    QTest::newRow("I sign only") << "{\"k\":-}" << "I" << "k" << "-7";
    QTest::newRow("I max") << "{\"k\":9223372036854775807}" << "I" << "k" << "9223372036854775807";
    QTest::newRow("I above max") << "{\"k\":9223372036854775808}" << "I" << "k" << "-7";
    QTest::newRow("I min") << "{\"k\":-9223372036854775808}" << "I" << "k" << "-9223372036854775808";
    QTest::newRow("I below min") << "{\"k\":-9223372036854775809}" << "I" << "k" << "-7";
    QTest::newRow("I far beyond") << "{\"k\":99999999999999999999}" << "I" << "k" << "-7";
    QTest::newRow("I true") << "{\"k\":true}" << "I" << "k" << "-7";
    QTest::newRow("I missing") << "{\"j\":1}" << "I" << "k" << "-7";
    QTest::newRow("I on array") << "[1]" << "I" << "k" << "-7";
    QTest::newRow("I first duplicate") << "{\"k\":1,\"k\":2}" << "I" << "k" << "1";

    QTest::newRow("S string") << "{\"k\":\"v\"}" << "S" << "k" << "v";
    QTest::newRow("S empty string") << "{\"k\":\"\"}" << "S" << "k" << "";
    QTest::newRow("S number") << "{\"k\":42}" << "S" << "k" << "dflt";
    QTest::newRow("S null") << "{\"k\":null}" << "S" << "k" << "dflt";
    QTest::newRow("S missing") << "{}" << "S" << "k" << "dflt";
    QTest::newRow("S key is case-sensitive") << "{\"K\":\"v\"}" << "S" << "k" << "dflt";
    QTest::newRow("S key is exact") << "{\"k \":\"v\"}" << "S" << "k" << "dflt";
    QTest::newRow("S escaped key") << "{\"\\u006b\":\"v\"}" << "S" << "k" << "v";
    QTest::newRow("S Chinese key") << "{\"名称\":\"甲\"}" << "S" << "名称" << "甲";
    QTest::newRow("S escaped value") << "{\"k\":\"a\\\"b\"}" << "S" << "k" << "a\"b";

    QTest::newRow("B missing, default true") << "{}" << "B1" << "k" << "true";
    QTest::newRow("B missing, default false") << "{}" << "B0" << "k" << "false";
    QTest::newRow("B true") << "{\"k\":true}" << "B0" << "k" << "true";
    QTest::newRow("B false") << "{\"k\":false}" << "B1" << "k" << "false";
    QTest::newRow("B null") << "{\"k\":null}" << "B1" << "k" << "false";
    QTest::newRow("B string true") << "{\"k\":\"true\"}" << "B1" << "k" << "false";
    QTest::newRow("B number") << "{\"k\":1}" << "B1" << "k" << "false";
    QTest::newRow("B on non-object") << "true" << "B1" << "k" << "true";

    QTest::newRow("AsString number") << "{\"k\":-0.50}" << "AsString" << "k" << "-0.50";
    QTest::newRow("AsString string") << "{\"k\":\"x\"}" << "AsString" << "k" << "x";
    QTest::newRow("AsString true") << "{\"k\":true}" << "AsString" << "k" << "";
    QTest::newRow("AsString array") << "{\"k\":[1]}" << "AsString" << "k" << "";

    QTest::newRow("Count array") << "{\"k\":[1,[2,3],4]}" << "Count" << "k" << "3";
    QTest::newRow("Count object") << "{\"k\":{\"a\":1,\"a\":2}}" << "Count" << "k" << "2";
    QTest::newRow("Count string") << "{\"k\":\"abc\"}" << "Count" << "k" << "0";
    QTest::newRow("Count number") << "{\"k\":12}" << "Count" << "k" << "0";
    QTest::newRow("Count empty") << "{\"k\":[]}" << "Count" << "k" << "0";
}

void TJsonTest::Accessors()
{
    QFETCH(QString, Doc);
    QFETCH(QString, Accessor);
    QFETCH(QString, Key);
    QFETCH(QString, Expected);
    QString ErrMsg;
    const std::unique_ptr<TJsonValue> Root = Parse(Doc, ErrMsg);
    QVERIFY2(Root, qPrintable(ErrMsg));

    QString Got;
    if (Accessor == QLatin1String("I")) {
        Got = QString::number(Root->I(Key, -7));
        // Every way of naming the key must agree.
        QCOMPARE(Root->I(QStringView(Key), -7), Root->I(Key, -7));
        QCOMPARE(Root->I(Key.toUtf8().constData(), -7), Root->I(Key, -7));
    } else if (Accessor == QLatin1String("S")) {
        Got = Root->S(Key, QStringLiteral("dflt"));
        const QAnyStringView View = Root->SView(Key);
        QCOMPARE(View.toString(), Got == QLatin1String("dflt") ? QString() : Got);
        QCOMPARE(Root->S(Key.toUtf8().constData(), QStringLiteral("dflt")), Got);
    } else if (Accessor == QLatin1String("B0")) {
        Got = Root->B(Key, false) ? QStringLiteral("true") : QStringLiteral("false");
    } else if (Accessor == QLatin1String("B1")) {
        Got = Root->B(Key, true) ? QStringLiteral("true") : QStringLiteral("false");
    } else if (Accessor == QLatin1String("AsString")) {
        QVERIFY(Root->Get(Key));
        Got = Root->Get(Key)->AsString();
        QCOMPARE(Root->Get(Key)->StrView().toString(), Got);
    } else if (Accessor == QLatin1String("Count")) {
        QVERIFY(Root->Get(Key));
        Got = QString::number(Root->Get(Key)->Count());
    }
    QCOMPARE(Got, Expected);
}

void TJsonTest::PairsAndItems()
{
    QString ErrMsg;
    const auto Root = Parse(QStringLiteral(R"({"b":1,"a":[10,20],"b":"x","c\n":null})"), ErrMsg);
    QVERIFY(Root);
    QCOMPARE(Root->PairCount(), 4);
    const QStringList Keys = {QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c\n")};
    for (int I = 0; I < 4; ++I) {
        QCOMPARE(Root->PairKey(I), Keys[I]);
        QCOMPARE(Root->PairKeyView(I).toString(), Keys[I]);
        QVERIFY(Root->PairValue(I));
    }
    QCOMPARE(Root->PairValue(2)->AsString(), QStringLiteral("x"));
    QCOMPARE(Root->Get("b"), Root->PairValue(0));
    QCOMPARE(Root->Get(QStringLiteral("c\n")), Root->PairValue(3));
    for (int Bad : {-1, 4, 1000}) {
        QCOMPARE(Root->PairValue(Bad), nullptr);
        QVERIFY(Root->PairKey(Bad).isEmpty());
    }
    // An object is not an array, and vice versa.
    QCOMPARE(Root->Items(0), nullptr);
    const TJsonValue* A = Root->Get("a");
    QVERIFY(A && A->IsArray() && !A->IsObject());
    QCOMPARE(A->PairCount(), 0);
    QCOMPARE(A->PairValue(0), nullptr);
    QCOMPARE(A->Get("a"), nullptr);
    QCOMPARE(A->Items(1)->AsString(), QStringLiteral("20"));
    QCOMPARE(A->Items(-1), nullptr);
    QCOMPARE(A->Items(2), nullptr);
    QCOMPARE(Root->Get("a")->Items(0)->Items(0), nullptr);
}

void TJsonTest::ManyKeyLists()
{
    // Thousands of objects with keys of their own, then ones shaped like
    // earlier ones: every key still finds its own value.
    QString Text = QStringLiteral("[");
    for (int I = 0; I < 6000; ++I)
        Text += QStringLiteral("{\"k%1\":%1,\"x\":\"v%1\"},").arg(I % 5000);
    Text += QStringLiteral("{}]");
    QString ErrMsg;
    const std::unique_ptr<TJsonValue> Root = Parse(Text, ErrMsg);
    QVERIFY2(Root, qPrintable(ErrMsg));
    QCOMPARE(Root->Count(), 6001);
    for (int I = 0; I < 6000; ++I) {
        const TJsonValue* O = Root->Items(I);
        const QString Key = QStringLiteral("k%1").arg(I % 5000);
        QCOMPARE(O->I(Key, -1), I % 5000);
        QCOMPARE(O->PairKey(0), Key);
        QCOMPARE(O->S("x"), QStringLiteral("v%1").arg(I % 5000));
        QCOMPARE(O->Get(QStringLiteral("k%1").arg(I % 5000 + 1)), nullptr);
    }
    QCOMPARE(Root->Items(6000)->Count(), 0);
    QCOMPARE(Root->Items(6000)->Get("x"), nullptr);
}

void TJsonTest::NewValues()
{
    for (TJsonKind Kind : {jkNull, jkFalse, jkTrue, jkNumber, jkString, jkArray, jkObject}) {
        const std::unique_ptr<TJsonValue> V = NewJsonValue(Kind);
        QVERIFY(V);
        QCOMPARE(V->Kind(), Kind);
        QCOMPARE(V->Count(), 0);
        QVERIFY(V->AsString().isEmpty());
        QCOMPARE(V->Items(0), nullptr);
        QCOMPARE(V->Get("a"), nullptr);
        QCOMPARE(V->S("a", QStringLiteral("d")), QStringLiteral("d"));
    }
}

void TJsonTest::Nesting_data()
{
    QTest::addColumn<QString>("Open");
    QTest::addColumn<QString>("Close");
    QTest::addColumn<int>("Depth");
    QTest::addColumn<QString>("Message");

    const QString Arr = QStringLiteral("[");
    const QString Obj = QStringLiteral("{\"k\":");
    QTest::newRow("arrays at the limit") << Arr << "]" << 512 << "";
    QTest::newRow("arrays one beyond") << Arr << "]" << 513 << "嵌套层数超过 512 层（位置 513）";
    QTest::newRow("objects at the limit") << Obj << "}" << 512 << "";
    QTest::newRow("objects one beyond") << Obj << "}" << 513 << "嵌套层数超过 512 层（位置 2561）";
    // Far too deep, and never closed: refused at the limit, no stack overflow.
    QTest::newRow("a million brackets") << Arr << "" << 1000000 << "嵌套层数超过 512 层（位置 513）";
}

void TJsonTest::Nesting()
{
    QFETCH(QString, Open);
    QFETCH(QString, Close);
    QFETCH(int, Depth);
    QFETCH(QString, Message);

    const QString Text = Open.repeated(Depth) + QStringLiteral("1") + Close.repeated(Depth);
    QString ErrMsg;
    const std::unique_ptr<TJsonValue> Root = Parse(Text, ErrMsg);
    QCOMPARE(ErrMsg, Message);
    if (!Message.isEmpty()) {
        QVERIFY(!Root);
        return;
    }
    QVERIFY(Root);
    const TJsonValue* V = Root.get();
    int Levels = 0;
    while (V && (V->IsArray() || V->IsObject())) {
        QCOMPARE(V->Count(), 1);
        V = V->IsArray() ? V->Items(0) : V->PairValue(0);
        ++Levels;
    }
    QCOMPARE(Levels, Depth);
    QVERIFY(V);
    QCOMPARE(V->AsString(), QStringLiteral("1"));
}

void TJsonTest::TreeOutlivesCallerText()
{
    // The tree points into the text it was given; changing or dropping the
    // caller's string must not touch it.
    std::unique_ptr<TJsonValue> Root;
    QString ErrMsg;
    {
        QString Text = QStringLiteral(R"({"plain":"abc","escaped":"a\tb","n":12})");
        Root = Parse(Text, ErrMsg);
        QVERIFY(Root);
        Text.fill(u'x');
        Text.clear();
    }
    QCOMPARE(Root->S("plain"), QStringLiteral("abc"));
    QCOMPARE(Root->S("escaped"), QStringLiteral("a\tb"));
    QCOMPARE(Root->Get("n")->AsString(), QStringLiteral("12"));

    // Borrowed characters are copied, so freeing them leaves the tree intact.
    {
        auto Chars = std::make_unique<QChar[]>(12);
        const QString Json = QStringLiteral(R"({"k":"abc"})");
        std::copy(Json.begin(), Json.end(), Chars.get());
        Root = ParseJson(QString::fromRawData(Chars.get(), Json.size()), ErrMsg);
        QVERIFY(Root);
    }
    QCOMPARE(Root->S("k"), QStringLiteral("abc"));
    {
        const QByteArray Json(R"({"b":"abc"})");
        auto Bytes = std::make_unique<char[]>(size_t(Json.size()));
        std::copy(Json.begin(), Json.end(), Bytes.get());
        Root = Parse(QByteArray::fromRawData(Bytes.get(), Json.size()), ErrMsg);
        QVERIFY(Root);
    }
    QCOMPARE(Root->S("b"), QStringLiteral("abc"));
}

void TJsonTest::GeneratedDocumentsMatchQt_data()
{
    QTest::addColumn<int>("Records");
    QTest::addColumn<bool>("List");
    QTest::newRow("report, no records") << 0 << false;
    QTest::newRow("report, 1 record") << 1 << false;
    QTest::newRow("report, 20000 records") << 20000 << false;
    QTest::newRow("list, 0 sources") << 0 << true;
    QTest::newRow("list, 12 sources") << 12 << true;
}

void TJsonTest::GeneratedDocumentsMatchQt()
{
    QFETCH(int, Records);
    QFETCH(bool, List);
    const QByteArray Bytes = List ? GenerateListDocument(Records) : GenerateReportDocument(Records, 3);
    QVERIFY(!Bytes.startsWith("\xEF\xBB\xBF"));
    QJsonParseError QtError;
    const QJsonDocument QtDoc = QJsonDocument::fromJson(Bytes, &QtError);
    QCOMPARE(QtError.error, QJsonParseError::NoError);

    QString ErrMsg;
    const std::unique_ptr<TJsonValue> Root = Parse(Bytes, ErrMsg);
    QVERIFY2(Root, qPrintable(ErrMsg));
    QString Where;
    QVERIFY2(SameAsQt(Root.get(), QtDoc.object(), Where), qPrintable(Where));

    if (List) {
        QCOMPARE(Root->Get("sources")->Count(), Records);
        return;
    }
    // The members a report window reads are all there, with their kinds.
    for (const char* Key : {"title", "range", "scope", "generated"})
        QVERIFY2(Root->Get(Key) && Root->Get(Key)->IsString(), Key);
    for (const char* Key : {"heat", "days", "domains", "pages", "keywords", "browsers", "cats", "sources", "records"})
        QVERIFY2(Root->Get(Key) && Root->Get(Key)->IsArray(), Key);
    QVERIFY(Root->Get("stats")->IsObject());
    QCOMPARE(Root->Get("records")->Count(), Records);
    QCOMPARE(Root->Get("heat")->Count(), 7);
    QCOMPARE(Root->Get("heat")->Items(6)->Count(), 24);
    QCOMPARE(Root->Get("domains")->Count(), 15);
    QCOMPARE(Root->Get("pages")->Count(), 12);
    QCOMPARE(Root->Get("keywords")->Count(), 12);
    QVERIFY(Root->Get("truncated")->Kind() == jkTrue || Root->Get("truncated")->Kind() == jkFalse);
    QVERIFY(Root->Get("stats")->I("total", -1) >= Records);
    const TJsonValue* Sources = Root->Get("sources");
    int Failed = 0;
    for (int I = 0; I < Sources->Count(); ++I)
        Failed += Sources->Items(I)->B("ok", true) ? 0 : 1;
    QCOMPARE(Failed, 1);
    if (Records > 1) {
        // Newest first.
        const TJsonValue* Recs = Root->Get("records");
        QVERIFY(Recs->Items(0)->S("time") > Recs->Items(Records - 1)->S("time"));
        QCOMPARE(Recs->Items(0)->S("time"), Root->Get("stats")->S("last"));
        QCOMPARE(Recs->Items(Records - 1)->S("time"), Root->Get("stats")->S("first"));
    }
    // Same seed, same bytes; another seed, other records.
    QCOMPARE(GenerateReportDocument(Records, 3), Bytes);
    if (Records > 0)
        QVERIFY(GenerateReportDocument(Records, 4) != Bytes);
}

void TJsonTest::RandomDocumentsMatchQt()
{
    // Random trees written by Qt and read back by us. Long strings full of
    // escapes and long arrays exercise the side buffer and node blocks of
    // every size.
    QRandomGenerator Rand(20261208);
    const auto RandomString = [&Rand](int MaxLen) {
        QString S;
        const int Len = int(Rand.bounded(MaxLen + 1));
        for (int I = 0; I < Len; ++I) {
            switch (Rand.bounded(6)) {
            case 0: S += QChar(char16_t(Rand.bounded(0x20))); break;
            case 1: S += u'"'; break;
            case 2: S += u'\\'; break;
            case 3: S += QChar(char16_t(0x4E00 + Rand.bounded(0x5000))); break;
            case 4: S += QStringLiteral("😀"); break;
            default: S += QChar(char16_t(0x20 + Rand.bounded(0x5F))); break;
            }
        }
        return S;
    };
    std::function<QJsonValue(int)> RandomValue = [&](int Depth) -> QJsonValue {
        const int Pick = int(Rand.bounded(Depth > 4 ? 5 : 7));
        switch (Pick) {
        case 0: return QJsonValue();
        case 1: return QJsonValue(Rand.bounded(2) == 1);
        case 2: return QJsonValue(double(qint64(Rand.generate64() >> 20)) / (Rand.bounded(3) ? 1.0 : 1024.0));
        case 3: return QJsonValue(RandomString(Depth < 5 && Rand.bounded(10) == 0 ? 20000 : 30));
        case 4: return QJsonValue(qint64(Rand.bounded(1000000)));
        case 5: {
            QJsonArray A;
            // A long array only near the top, and of leaves, to keep it small.
            const bool Long = Depth == 0 && Rand.bounded(3) == 0;
            const int N = int(Long ? 4000 + Rand.bounded(6000) : Rand.bounded(6));
            for (int I = 0; I < N; ++I)
                A.append(RandomValue(Long ? 5 : Depth + 1));
            return A;
        }
        default: {
            QJsonObject O;
            const int N = int(Rand.bounded(8));
            for (int I = 0; I < N; ++I)
                O.insert(RandomString(8), RandomValue(Depth + 1));
            return O;
        }
        }
    };
    for (int Round = 0; Round < 40; ++Round) {
        QJsonArray Top;
        for (int I = 0; I < 8; ++I)
            Top.append(RandomValue(0));
        const QByteArray Bytes = QJsonDocument(Top).toJson(Round % 2 ? QJsonDocument::Compact : QJsonDocument::Indented);
        QString ErrMsg;
        const std::unique_ptr<TJsonValue> Root = Parse(Bytes, ErrMsg);
        QVERIFY2(Root, qPrintable(ErrMsg));
        QString Where;
        QVERIFY2(SameAsQt(Root.get(), QJsonDocument::fromJson(Bytes).array(), Where),
                 qPrintable(QStringLiteral("round %1 at %2").arg(Round).arg(Where)));
        // Cut anywhere, even inside a character: the same message and
        // position as the text parser gives on the decoded cut.
        const QByteArray Cut = Bytes.left(qsizetype(QRandomGenerator(quint32(Round)).bounded(quint32(Bytes.size()))));
        QString Want;
        const std::unique_ptr<TJsonValue> Failed = ParseJson(DecodeOutput(Cut), Want);
        QCOMPARE(bool(Parse(Cut, ErrMsg)), bool(Failed));
        QCOMPARE(ErrMsg, Want);
    }
}

void TJsonTest::MalformedUtf8_data()
{
    QTest::addColumn<QByteArray>("Bytes");
    QTest::newRow("overlong slash") << QByteArray("[\"a\xC0\xAF\"]");
    QTest::newRow("overlong three bytes") << QByteArray("[\"\xE0\x80\xAF\"]");
    QTest::newRow("encoded surrogate") << QByteArray("[\"\xED\xA0\x80\"]");
    QTest::newRow("beyond U+10FFFF") << QByteArray("[\"\xF4\x90\x80\x80\"]");
    QTest::newRow("lone continuation") << QByteArray("[\"\x80\"]");
    QTest::newRow("cut before quote") << QByteArray("[\"\xE4\xB8\"]");
    QTest::newRow("cut at the end") << QByteArray("[\"x\"]\xE4\xB8");
    QTest::newRow("bad byte before an error") << QByteArray("[\"\xFF\" 1]");
    QTest::newRow("bad byte in an escape") << QByteArray("[\"\\u12\xFF\"]");
    QTest::newRow("four-byte char in an escape") << QByteArray("[\"\\u1\xF0\x9F\x98\x80\"]");
    QTest::newRow("largest code point") << QByteArray("[\"\xF4\x8F\xBF\xBF\" x]");
    QTest::newRow("replacement char is text") << QByteArray("{\"\xEF\xBF\xBD\":\"\xEF\xBF\xBD\"}");
}

void TJsonTest::MalformedUtf8()
{
    // Whatever the bytes, the result is the text parser's on their decoding.
    QFETCH(QByteArray, Bytes);
    QString Expected, Got;
    const std::unique_ptr<TJsonValue> Want = ParseJson(DecodeOutput(Bytes), Expected);
    const std::unique_ptr<TJsonValue> Have = Parse(Bytes, Got);
    QCOMPARE(Got, Expected);
    QCOMPARE(Dump(Have.get()), Dump(Want.get()));
}

int main(int Argc, char** Argv)
{
    QCoreApplication App(Argc, Argv);
    TJsonTest Text(false);
    TJsonTest Bytes(true);
    const int Failed = QTest::qExec(&Text, Argc, Argv);
    return Failed + QTest::qExec(&Bytes, Argc, Argv);
}
#include "tst_json.moc"
