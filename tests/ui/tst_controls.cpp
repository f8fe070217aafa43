#include "anchors.h"
#include "card.h"
#include "control_factory.h"
#include "flat_button.h"
#include "link_label.h"
#include "palette.h"
#include "panel.h"
#include "ui_hooks.h"
#include "window_fit.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

QString Hex(TColor C)
{
    return ToQColor(C).name();
}

QString PixelAt(const QImage& Img, int X, int Y)
{
    return QColor(Img.pixel(X, Y)).name();
}

bool HasColorIn(const QImage& Img, const QRect& Area, TColor C)
{
    const QRgb Want = ToQColor(C).rgb();
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
        for (int X = Area.left(); X <= Area.right(); ++X)
            if ((Img.pixel(X, Y) & 0xFFFFFF) == (Want & 0xFFFFFF))
                return true;
    return false;
}

bool AllColorIn(const QImage& Img, const QRect& Area, TColor C)
{
    const QRgb Want = ToQColor(C).rgb() & 0xFFFFFF;
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
        for (int X = Area.left(); X <= Area.right(); ++X)
            if ((Img.pixel(X, Y) & 0xFFFFFF) != Want)
                return false;
    return true;
}

void SendMouse(QWidget* W, QEvent::Type Type, QPoint Pos, Qt::MouseButton Button, Qt::MouseButtons Held)
{
    QMouseEvent E(Type, QPointF(Pos), W->mapToGlobal(QPointF(Pos)), Button, Held, Qt::NoModifier);
    QApplication::sendEvent(W, &E);
}

void SendEnter(QWidget* W)
{
    QEnterEvent E(QPointF(5, 5), QPointF(5, 5), W->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(W, &E);
}

enum TState { stNormal, stHover, stPressed, stDisabled };

} // namespace

class TControlsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { UiHooks() = TUiHooks(); }

    void ButtonLook_data();
    void ButtonLook();
    void ButtonCorners_data();
    void ButtonCorners();
    void FocusRectangleOnlyWhenEnabled();
    void LongCaptionStaysOnOneLine();
    void KeysClickOnce_data();
    void KeysClickOnce();
    void MouseSequences_data();
    void MouseSequences();
    void LeavingWhileHeldClearsPressedLook();
    void ModalResultClosesDialog();
    void ZeroModalResultKeepsDialogOpen();
    void ClickHandlerRunsBeforeDialogCloses();
    void CardPixels_data();
    void CardPixels();
    void LinkOpensOnlyNonEmptyUrl_data();
    void LinkOpensOnlyNonEmptyUrl();
    void LinkUnderlinedWhileHovered();
    void LabelColours_data();
    void LabelColours();
    void DisabledTextIsMuted_data();
    void DisabledTextIsMuted();
    void FactoryGeometry();
    void RadiosAreExclusivePerParent();
    void Anchors_data();
    void Anchors();
    void FitWindow_data();
    void FitWindow();
};

void TControlsTest::ButtonLook_data()
{
    QTest::addColumn<int>("Kind");
    QTest::addColumn<int>("State");
    QTest::addColumn<TColor>("Fill");
    QTest::addColumn<TColor>("Border");
    QTest::addColumn<TColor>("Text");

    QTest::newRow("primary normal") << int(bkPrimary) << int(stNormal) << Rgb(0x2F, 0x6B, 0xF5) << Rgb(0x2F, 0x6B, 0xF5) << Rgb(0xFF, 0xFF, 0xFF);
    QTest::newRow("primary hover") << int(bkPrimary) << int(stHover) << Rgb(0x25, 0x5D, 0xE8) << Rgb(0x25, 0x5D, 0xE8) << Rgb(0xFF, 0xFF, 0xFF);
    QTest::newRow("primary pressed") << int(bkPrimary) << int(stPressed) << Rgb(0x1F, 0x4F, 0xC8) << Rgb(0x1F, 0x4F, 0xC8) << Rgb(0xFF, 0xFF, 0xFF);
    QTest::newRow("primary disabled") << int(bkPrimary) << int(stDisabled) << Rgb(0xB9, 0xC7, 0xE9) << Rgb(0xB9, 0xC7, 0xE9) << Rgb(0xFF, 0xFF, 0xFF);
    QTest::newRow("secondary normal") << int(bkSecondary) << int(stNormal) << Rgb(0xFF, 0xFF, 0xFF) << Rgb(0xDC, 0xDF, 0xE4) << Rgb(0x22, 0x26, 0x2B);
    QTest::newRow("secondary hover") << int(bkSecondary) << int(stHover) << Rgb(0xE0, 0xF1, 0xFF) << Rgb(0x2F, 0x6B, 0xF5) << Rgb(0x22, 0x26, 0x2B);
    QTest::newRow("secondary pressed") << int(bkSecondary) << int(stPressed) << Rgb(0xD0, 0xE6, 0xF5) << Rgb(0x1F, 0x4F, 0xC8) << Rgb(0x22, 0x26, 0x2B);
    QTest::newRow("secondary disabled") << int(bkSecondary) << int(stDisabled) << Rgb(0xF4, 0xF5, 0xF7) << Rgb(0xE3, 0xE6, 0xEB) << Rgb(0x96, 0x9E, 0xAC);
}

void TControlsTest::ButtonLook()
{
    QFETCH(int, Kind);
    QFETCH(int, State);
    QFETCH(TColor, Fill);
    QFETCH(TColor, Border);
    QFETCH(TColor, Text);

    TPanel Surface(nullptr, Rgb(0x10, 0x20, 0x30));
    Surface.resize(200, 60);
    // A solid block glyph leaves pixels in the exact text colour.
    TFlatButton* B = MakeButton(&Surface, QStringLiteral("■■"), 0, 0, 100, 30, TButtonKind(Kind));
    if (State == stHover)
        SendEnter(B);
    if (State == stPressed)
        SendMouse(B, QEvent::MouseButtonPress, QPoint(50, 15), Qt::LeftButton, Qt::LeftButton);
    if (State == stDisabled)
        B->setEnabled(false);

    const QImage Img = B->grab().toImage();
    QCOMPARE(PixelAt(Img, 8, 15), Hex(Fill));
    QCOMPARE(PixelAt(Img, 95, 15), Hex(Fill));
    for (const QPoint P : {QPoint(50, 0), QPoint(50, 29), QPoint(0, 15), QPoint(99, 15)})
        QCOMPARE(PixelAt(Img, P.x(), P.y()), Hex(Border));
    QVERIFY(HasColorIn(Img, QRect(30, 8, 40, 14), Text));
    // Outside the rounded shape the surface shows through.
    QCOMPARE(PixelAt(Img, 0, 0), Hex(Rgb(0x10, 0x20, 0x30)));
    // No focus rectangle on a button without focus.
    QVERIFY(AllColorIn(Img, QRect(3, 6, 1, 18), Fill));
}

void TControlsTest::ButtonCorners_data()
{
    QTest::addColumn<QString>("Parent");
    QTest::addColumn<TColor>("Corner");
    QTest::newRow("panel") << "panel" << Rgb(0xF4, 0xF5, 0xF7);
    QTest::newRow("card") << "card" << Rgb(0xFF, 0xFF, 0xFF);
    QTest::newRow("plain widget") << "plain" << Rgb(0xFF, 0xFF, 0xFF);
    QTest::newRow("window") << "window" << Rgb(0xE8, 0xEA, 0xEC);
    QTest::newRow("main window client") << "central" << Rgb(0xE8, 0xEA, 0xEC);
}

void TControlsTest::ButtonCorners()
{
    QFETCH(QString, Parent);
    QFETCH(TColor, Corner);

    QMainWindow Main;
    QPalette P = Main.palette();
    P.setColor(QPalette::Window, ToQColor(Rgb(0xE8, 0xEA, 0xEC)));
    Main.setPalette(P);
    auto* Central = new QWidget(&Main);
    Main.setCentralWidget(Central);

    QWidget* Host = nullptr;
    if (Parent == "panel")
        Host = MakePanel(Central, 0, 0, 200, 100, clWindowBg);
    else if (Parent == "card")
        Host = MakeCard(Central, QString(), 0, 0, 200, 100);
    else if (Parent == "plain") {
        // Coloured like a panel, but not one: the button cannot know, so white.
        Host = new QWidget(Central);
        QPalette HP = Host->palette();
        HP.setColor(QPalette::Window, ToQColor(clWindowBg));
        Host->setPalette(HP);
        Host->setAutoFillBackground(true);
    } else if (Parent == "window")
        Host = &Main;
    else
        Host = Central;

    TFlatButton* B = MakeButton(Host, QStringLiteral("x"), 10, 10, 80, 28, bkPrimary);
    const QImage Img = B->grab().toImage();
    for (const QPoint C : {QPoint(0, 0), QPoint(79, 0), QPoint(0, 27), QPoint(79, 27)})
        QCOMPARE(PixelAt(Img, C.x(), C.y()), Hex(Corner));
    QCOMPARE(B->BackColor(), Corner);
}

void TControlsTest::FocusRectangleOnlyWhenEnabled()
{
    TPanel Surface(nullptr, clWhite);
    Surface.resize(200, 60);
    TFlatButton* B = MakeButton(&Surface, QString(), 10, 10, 100, 30, bkSecondary);
    Surface.show();
    QVERIFY(QTest::qWaitForWindowActive(&Surface));
    B->setFocus();
    QTRY_VERIFY(B->hasFocus());

    QImage Img = B->grab().toImage();
    // Dotted: along the inset edge some pixels carry the text colour, some the fill.
    QVERIFY(HasColorIn(Img, QRect(3, 6, 1, 18), clText));
    QVERIFY(HasColorIn(Img, QRect(3, 6, 1, 18), clWhite));
    QVERIFY(HasColorIn(Img, QRect(10, 3, 80, 1), clText));
    QVERIFY(AllColorIn(Img, QRect(2, 6, 1, 18), clWhite));

    B->setEnabled(false);
    Img = B->grab().toImage();
    QVERIFY(AllColorIn(Img, QRect(3, 6, 1, 18), Rgb(0xF4, 0xF5, 0xF7)));
    QVERIFY(AllColorIn(Img, QRect(10, 3, 80, 1), Rgb(0xF4, 0xF5, 0xF7)));
}

void TControlsTest::LongCaptionStaysOnOneLine()
{
    TPanel Surface(nullptr, clWhite);
    TFlatButton* B = MakeButton(&Surface, QStringLiteral("一段远远超出按钮宽度的很长很长的标题文字"), 0, 0,
                                60, 40, bkSecondary);
    const QImage Img = B->grab().toImage();
    // One centred line: the rows above and below the middle band stay empty.
    QVERIFY(AllColorIn(Img, QRect(5, 3, 50, 6), clWhite));
    QVERIFY(AllColorIn(Img, QRect(5, 31, 50, 6), clWhite));
    QVERIFY(HasColorIn(Img, QRect(2, 12, 56, 16), clText));
}

void TControlsTest::KeysClickOnce_data()
{
    QTest::addColumn<int>("Key");
    QTest::addColumn<int>("Clicks");
    QTest::newRow("space") << int(Qt::Key_Space) << 1;
    QTest::newRow("return") << int(Qt::Key_Return) << 1;
    QTest::newRow("keypad enter") << int(Qt::Key_Enter) << 1;
    QTest::newRow("other key") << int(Qt::Key_A) << 0;
}

void TControlsTest::KeysClickOnce()
{
    QFETCH(int, Key);
    QFETCH(int, Clicks);
    TPanel Surface(nullptr, clWhite);
    TFlatButton* B = MakeButton(&Surface, QStringLiteral("好"), 0, 0, 88, 28, bkPrimary);
    QSignalSpy Spy(B, &TFlatButton::clicked);
    QTest::keyClick(B, Qt::Key(Key));
    QCOMPARE(Spy.count(), Clicks);
    QVERIFY(!B->Pressed());
}

void TControlsTest::MouseSequences_data()
{
    QTest::addColumn<QList<QPoint>>("Moves");
    QTest::addColumn<QPoint>("ReleaseAt");
    QTest::addColumn<int>("Button");
    QTest::addColumn<int>("Clicks");
    const QPoint In(40, 14), Out(200, 14);
    QTest::newRow("press and release inside") << QList<QPoint>{} << In << int(Qt::LeftButton) << 1;
    QTest::newRow("leave and release outside") << QList<QPoint>{Out} << Out << int(Qt::LeftButton) << 0;
    QTest::newRow("release outside without moves") << QList<QPoint>{} << Out << int(Qt::LeftButton) << 0;
    QTest::newRow("leave, come back, release inside") << QList<QPoint>{Out, In} << In << int(Qt::LeftButton) << 1;
    QTest::newRow("right button") << QList<QPoint>{} << In << int(Qt::RightButton) << 0;
}

void TControlsTest::MouseSequences()
{
    QFETCH(QList<QPoint>, Moves);
    QFETCH(QPoint, ReleaseAt);
    QFETCH(int, Button);
    QFETCH(int, Clicks);

    TPanel Surface(nullptr, clWhite);
    TFlatButton* B = MakeButton(&Surface, QStringLiteral("好"), 0, 0, 88, 28, bkPrimary);
    QSignalSpy Spy(B, &TFlatButton::clicked);
    const auto Btn = Qt::MouseButton(Button);
    SendMouse(B, QEvent::MouseButtonPress, QPoint(40, 14), Btn, Btn);
    for (const QPoint P : Moves)
        SendMouse(B, QEvent::MouseMove, P, Qt::NoButton, Btn);
    SendMouse(B, QEvent::MouseButtonRelease, ReleaseAt, Btn, Qt::NoButton);
    QCOMPARE(Spy.count(), Clicks);
    QVERIFY(!B->Pressed());
}

void TControlsTest::LeavingWhileHeldClearsPressedLook()
{
    TPanel Surface(nullptr, clWhite);
    TFlatButton* B = MakeButton(&Surface, QString(), 0, 0, 88, 28, bkPrimary);
    SendMouse(B, QEvent::MouseButtonPress, QPoint(40, 14), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(PixelAt(B->grab().toImage(), 8, 14), Hex(Rgb(0x1F, 0x4F, 0xC8)));

    SendMouse(B, QEvent::MouseMove, QPoint(120, 14), Qt::NoButton, Qt::LeftButton);
    QVERIFY(!B->Pressed());
    QCOMPARE(PixelAt(B->grab().toImage(), 8, 14), Hex(clAccent));

    // The same through a leave event (the mouse released elsewhere first).
    SendMouse(B, QEvent::MouseButtonPress, QPoint(40, 14), Qt::LeftButton, Qt::LeftButton);
    QEvent Leave(QEvent::Leave);
    QApplication::sendEvent(B, &Leave);
    QVERIFY(!B->Pressed());
    QVERIFY(!B->Hover());
}

void TControlsTest::ModalResultClosesDialog()
{
    QDialog D;
    D.resize(300, 200);
    TFlatButton* B = MakeButton(&D, QStringLiteral("确定"), 10, 10, 84, 28, bkPrimary);
    B->SetModalResult(kIdYes);
    QTimer::singleShot(0, B, [B] { QTest::mouseClick(B, Qt::LeftButton); });
    // A stuck dialog would hang here; the guard ends it with a distinct code.
    QTimer::singleShot(5000, &D, [&D] { D.done(99); });
    QCOMPARE(D.exec(), kIdYes);
}

void TControlsTest::ZeroModalResultKeepsDialogOpen()
{
    QDialog D;
    TFlatButton* B = MakeButton(&D, QStringLiteral("应用"), 10, 10, 84, 28, bkSecondary);
    bool StillOpen = false;
    QTimer::singleShot(0, &D, [&] {
        B->Click();
        StillOpen = D.isVisible();
        D.done(kIdCancel);
    });
    QCOMPARE(D.exec(), kIdCancel);
    QVERIFY(StillOpen);
}

void TControlsTest::ClickHandlerRunsBeforeDialogCloses()
{
    QDialog D;
    TFlatButton* B = MakeButton(&D, QStringLiteral("确定"), 10, 10, 84, 28, bkPrimary);
    B->SetModalResult(kIdOk);
    bool VisibleInHandler = false;
    QObject::connect(B, &TFlatButton::clicked, &D, [&] { VisibleInHandler = D.isVisible(); });
    QTimer::singleShot(0, B, [B] { QTest::keyClick(B, Qt::Key_Space); });
    QTimer::singleShot(5000, &D, [&D] { D.done(99); });
    QCOMPARE(D.exec(), kIdOk);
    QVERIFY(VisibleInHandler);
}

void TControlsTest::CardPixels_data()
{
    QTest::addColumn<QString>("Title");
    QTest::addColumn<bool>("Enabled");
    QTest::newRow("with title") << QStringLiteral("数据源") << true;
    QTest::newRow("empty title") << QString() << true;
    QTest::newRow("disabled title") << QStringLiteral("数据源") << false;
}

void TControlsTest::CardPixels()
{
    QFETCH(QString, Title);
    QFETCH(bool, Enabled);
    QWidget Host;
    TCard* Card = MakeCard(&Host, Title, 5, 5, 200, 100);
    Card->setEnabled(Enabled);
    QCOMPARE(Card->Title(), Title);
    const QImage Img = Card->grab().toImage();
    for (const QPoint P : {QPoint(0, 50), QPoint(199, 50), QPoint(100, 0), QPoint(100, 99), QPoint(0, 0), QPoint(199, 99)})
        QCOMPARE(PixelAt(Img, P.x(), P.y()), Hex(clBorder));
    QCOMPARE(PixelAt(Img, 100, 70), Hex(clWhite));
    // Nothing above or left of the title's corner (14, 11).
    QVERIFY(AllColorIn(Img, QRect(1, 1, 198, 10), clWhite));
    QVERIFY(AllColorIn(Img, QRect(1, 1, 13, 97), clWhite));
    const bool Drawn = HasColorIn(Img, QRect(14, 11, 100, 20), Enabled ? clText : clDisabledText);
    QCOMPARE(Drawn, !Title.isEmpty());
    if (!Enabled)
        QVERIFY(!HasColorIn(Img, QRect(14, 11, 100, 20), clText));
    if (Title.isEmpty())
        QVERIFY(AllColorIn(Img, QRect(1, 1, 198, 98), clWhite));
}

void TControlsTest::LinkOpensOnlyNonEmptyUrl_data()
{
    QTest::addColumn<QString>("Url");
    QTest::addColumn<QStringList>("Opened");
    QTest::newRow("url") << QStringLiteral("https://marrowkin.example/") << QStringList{QStringLiteral("https://marrowkin.example/")};
    QTest::newRow("empty") << QString() << QStringList{};
}

void TControlsTest::LinkOpensOnlyNonEmptyUrl()
{
    QFETCH(QString, Url);
    QFETCH(QStringList, Opened);
    QStringList Seen;
    UiHooks().ShellOpen = [&Seen](const QString& T) { Seen << T; };
    QWidget Host;
    TLinkLabel* Link = MakeLink(&Host, QStringLiteral("主页"), Url, 0, 0, 100, 20);
    QSignalSpy Spy(Link, &TLinkLabel::clicked);
    QTest::mouseClick(Link, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(Spy.count(), 1);
    QCOMPARE(Seen, Opened);
}

void TControlsTest::LinkUnderlinedWhileHovered()
{
    QWidget Host;
    TLinkLabel* Link = MakeLink(&Host, QStringLiteral("主页"), QString(), 0, 0, 100, 20);
    QCOMPARE(Link->palette().color(QPalette::WindowText).name(), Hex(clAccent));
    QCOMPARE(Link->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(!Link->font().underline());
    SendEnter(Link);
    QVERIFY(Link->font().underline());
    QEvent Leave(QEvent::Leave);
    QApplication::sendEvent(Link, &Leave);
    QVERIFY(!Link->font().underline());
}

void TControlsTest::LabelColours_data()
{
    QTest::addColumn<TColor>("Given");
    QTest::addColumn<TColor>("Shown");
    QTest::newRow("no colour") << kDefaultColor << Rgb(0x22, 0x26, 0x2B);
    QTest::newRow("secondary") << clSecondary << Rgb(0x6B, 0x72, 0x80);
    QTest::newRow("black") << Rgb(0, 0, 0) << Rgb(0, 0, 0);
}

void TControlsTest::LabelColours()
{
    QFETCH(TColor, Given);
    QFETCH(TColor, Shown);
    QWidget Host;
    QLabel* L = MakeLabel(&Host, QStringLiteral("■■■"), 4, 6, 120, 30, 12, fsBold, Given);
    QCOMPARE(L->palette().color(QPalette::WindowText).name(), Hex(Shown));
    QCOMPARE(L->font().pointSize(), 12);
    QVERIFY(L->font().bold());
    // Top-aligned: the glyphs sit in the upper part of the tall label.
    const QImage Img = L->grab().toImage();
    QVERIFY(HasColorIn(Img, QRect(0, 0, 60, 20), Shown));
}

void TControlsTest::DisabledTextIsMuted_data()
{
    QTest::addColumn<QString>("Kind");
    QTest::addColumn<TColor>("Normal");
    for (const char* Kind : {"label", "check", "radio", "edit", "button"})
        QTest::newRow(Kind) << QString::fromLatin1(Kind) << clText;
    QTest::newRow("note") << "note" << clSecondary;
    QTest::newRow("link") << "link" << clAccent;
}

void TControlsTest::DisabledTextIsMuted()
{
    QFETCH(QString, Kind);
    QFETCH(TColor, Normal);
    QWidget Host;
    const QString T = QStringLiteral("■■■■");
    QWidget* W = Kind == "label"  ? MakeLabel(&Host, T, 0, 0, 200, 30, 12, fsBold, kDefaultColor)
                 : Kind == "note"  ? MakeNote(&Host, T, 0, 0, 200, 30)
                 : Kind == "check" ? MakeCheck(&Host, T, 0, 0, 200)
                 : Kind == "radio" ? MakeRadio(&Host, T, 0, 0, 200)
                 : Kind == "edit"  ? MakeEdit(&Host, 0, 0, 200, 22, T)
                 : Kind == "link"  ? MakeLink(&Host, T, QString(), 0, 0, 200, 30)
                                   : static_cast<QWidget*>(MakeButton(&Host, T, 0, 0, 200, 30, bkSecondary));
    const QPalette::ColorRole Role = Kind == "edit" ? QPalette::Text : QPalette::WindowText;
    QCOMPARE(W->palette().color(QPalette::Active, Role).name(), Hex(Normal));
    W->setEnabled(false);
    QCOMPARE(W->palette().color(QPalette::Disabled, Role).name(), Hex(clDisabledText));
    // What is drawn follows: no glyph keeps the full colour.
    QVERIFY(!HasColorIn(W->grab().toImage(), W->rect(), Normal));
}

void TControlsTest::FactoryGeometry()
{
    QWidget Host;
    Host.resize(600, 400);
    QCOMPARE(MakePanel(&Host, 1, 2, 30, 40, clAccent)->geometry(), QRect(1, 2, 30, 40));
    QCOMPARE(MakeCard(&Host, QStringLiteral("卡"), 5, 6, 70, 80)->geometry(), QRect(5, 6, 70, 80));
    QCOMPARE(MakeLabel(&Host, QStringLiteral("很长很长很长很长的标签"), 7, 8, 20, 18, 9, fsRegular, kDefaultColor)->geometry(),
             QRect(7, 8, 20, 18));
    QLabel* Note = MakeNote(&Host, QStringLiteral("提示"), 9, 10, 50, 16);
    QCOMPARE(Note->font().pointSize(), 8);
    QCOMPARE(Note->palette().color(QPalette::WindowText).name(), Hex(clSecondary));
    QCOMPARE(MakeCheck(&Host, QStringLiteral("勾选"), 11, 12, 90)->geometry(), QRect(11, 12, 90, 20));
    QCOMPARE(MakeRadio(&Host, QStringLiteral("单选"), 13, 14, 90)->geometry(), QRect(13, 14, 90, 20));
    QCOMPARE(MakeEdit(&Host, 15, 16, 100, 24, QStringLiteral("文字"))->text(), QStringLiteral("文字"));
    TFlatButton* B = MakeButton(&Host, QStringLiteral("按钮"), 17, 18, 84, 28, bkPrimary);
    QCOMPARE(B->geometry(), QRect(17, 18, 84, 28));
    QCOMPARE(B->Kind(), bkPrimary);
    QVERIFY(B->focusPolicy() & Qt::TabFocus);
    TLinkLabel* Link = MakeLink(&Host, QStringLiteral("链接"), QStringLiteral("https://a.example/"), 19, 20, 60, 18);
    QCOMPARE(Link->geometry(), QRect(19, 20, 60, 18));
    QCOMPARE(Link->Url(), QStringLiteral("https://a.example/"));
    QCOMPARE(TFlatButton(nullptr).Kind(), bkSecondary);
}

void TControlsTest::RadiosAreExclusivePerParent()
{
    QWidget Host;
    QWidget* A = MakePanel(&Host, 0, 0, 100, 100, clWhite);
    QWidget* B = MakePanel(&Host, 100, 0, 100, 100, clWhite);
    QRadioButton* A1 = MakeRadio(A, QStringLiteral("一"), 0, 0, 80);
    QRadioButton* A2 = MakeRadio(A, QStringLiteral("二"), 0, 20, 80);
    QRadioButton* B1 = MakeRadio(B, QStringLiteral("三"), 0, 0, 80);
    A1->setChecked(true);
    B1->setChecked(true);
    A2->setChecked(true);
    QVERIFY(!A1->isChecked());
    QVERIFY(A2->isChecked());
    QVERIFY(B1->isChecked());
}

void TControlsTest::Anchors_data()
{
    QTest::addColumn<unsigned>("Anchors");
    QTest::addColumn<QSize>("NewSize");
    QTest::addColumn<QRect>("Expected");
    const QSize Bigger(500, 360);
    QTest::newRow("left top") << unsigned(akLeft | akTop) << Bigger << QRect(10, 20, 100, 50);
    QTest::newRow("left top right stretches") << unsigned(akLeft | akTop | akRight) << Bigger << QRect(10, 20, 200, 50);
    QTest::newRow("top right moves") << unsigned(akTop | akRight) << Bigger << QRect(110, 20, 100, 50);
    QTest::newRow("left top bottom stretches") << unsigned(akLeft | akTop | akBottom) << Bigger << QRect(10, 20, 100, 110);
    QTest::newRow("all four") << unsigned(akLeft | akTop | akRight | akBottom) << Bigger << QRect(10, 20, 200, 110);
    QTest::newRow("right bottom moves") << unsigned(akRight | akBottom) << Bigger << QRect(110, 80, 100, 50);
    QTest::newRow("shrinks to nothing") << unsigned(akLeft | akTop | akRight) << QSize(50, 300) << QRect(10, 20, 0, 50);
}

void TControlsTest::Anchors()
{
    QFETCH(unsigned, Anchors);
    QFETCH(QSize, NewSize);
    QFETCH(QRect, Expected);
    QWidget Parent;
    Parent.resize(400, 300);
    auto* Child = new QWidget(&Parent);
    Child->setGeometry(10, 20, 100, 50);
    SetAnchors(Child, Anchors);
    Parent.show();
    Parent.resize(NewSize);
    QCOMPARE(Child->geometry(), Expected);
    // Back to the first size restores the first place.
    Parent.resize(400, 300);
    QCOMPARE(Child->geometry(), QRect(10, 20, 100, 50));
}

void TControlsTest::FitWindow_data()
{
    QTest::addColumn<QSize>("Client");
    QTest::addColumn<QPoint>("Centre");
    QTest::addColumn<QRect>("Area");
    QTest::addColumn<QRect>("Placed");
    const QRect Wide(0, 0, 1920, 1040);
    QTest::newRow("fits: centred") << QSize(1120, 760) << QPoint(960, 520) << Wide << QRect(401, 141, 1120, 760);
    QTest::newRow("fits, centre near a corner: moved in")
        << QSize(1120, 760) << QPoint(1800, 1000) << Wide << QRect(792, 272, 1120, 760);
    QTest::newRow("1600 x 1000 at 1.5: shrunk") << QSize(1120, 760) << QPoint(533, 333) << QRect(0, 0, 1067, 667)
                                                << QRect(8, 31, 1051, 628);
    QTest::newRow("at 2, area not at the origin") << QSize(1000, 534) << QPoint(400, 250)
                                                  << QRect(0, 24, 800, 476) << QRect(8, 55, 784, 437);
}

void TControlsTest::FitWindow()
{
    QFETCH(QSize, Client);
    QFETCH(QPoint, Centre);
    QFETCH(QRect, Area);
    const QMargins Frame(8, 31, 8, 8);
    const QRect R = FitWindowRect(Client, Centre, Area, Frame);
    QTEST(R, "Placed");
    QVERIFY(Area.contains(R.marginsAdded(Frame)));
}

QTEST_MAIN(TControlsTest)
#include "tst_controls.moc"
