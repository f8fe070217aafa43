#include "msg_box.h"

#include <QAbstractButton>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace {

// The question boxes now waiting for an answer, so they can be dismissed.
QList<QPointer<QMessageBox>>& OpenQuestions()
{
    static QList<QPointer<QMessageBox>> Boxes;
    return Boxes;
}

} // namespace

QWidget* MsgOwner(QWidget* Owner)
{
    // A window that was never shown has no native window yet; parenting a box
    // to it would keep the box hidden along with it.
    if (!Owner)
        return nullptr;
    QWidget* Window = Owner->window();
    return Window->testAttribute(Qt::WA_WState_Created) ? Window : nullptr;
}

namespace {

constexpr QChar kWordJoiner(0x2060);

bool IsAsciiTokenChar(QChar C)
{
    return C.unicode() > 0x20 && C.unicode() < 0x7F;
}

} // namespace

QString KeepTokensWhole(const QString& Text, const QStringList& Words)
{
    QString Out = Text;
    for (const QString& Word : Words) {
        if (Word.size() < 2)
            continue;
        QString Glued;
        for (const QChar C : Word) {
            if (!Glued.isEmpty())
                Glued += kWordJoiner;
            Glued += C;
        }
        Out.replace(Word, Glued);
    }
    // A switch is a run of ASCII that starts with "/" and a letter, follows no
    // letter or digit of any script and holds no other "/"; a line may break
    // after that slash otherwise. Paths do not qualify and keep their breaks.
    for (qsizetype I = 0; I < Out.size(); ++I) {
        if (Out[I] != u'/' || (I > 0 && (IsAsciiTokenChar(Out[I - 1]) || Out[I - 1].isLetterOrNumber())))
            continue;
        qsizetype End = I + 1;
        while (End < Out.size() && IsAsciiTokenChar(Out[End]))
            ++End;
        const QStringView Token = QStringView(Out).mid(I, End - I);
        if (Token.size() > 1 && Token[1].isLetter() && !Token.mid(1).contains(u'/')) {
            Out.insert(I + 1, kWordJoiner);
            ++End;
        }
        I = End - 1;
    }
    return Out;
}

int ShowMsg(QWidget* Owner, const QString& Text, TMsgKind Kind)
{
    QWidget* Parent = MsgOwner(Owner);
    if (UiHooks().ShowMsg)
        return UiHooks().ShowMsg(Parent, Text, Kind);

    QMessageBox::Icon Icon = QMessageBox::Information;
    switch (Kind) {
    case mkInfo: Icon = QMessageBox::Information; break;
    case mkWarning: Icon = QMessageBox::Warning; break;
    case mkError: Icon = QMessageBox::Critical; break;
    case mkQuestion: Icon = QMessageBox::Question; break;
    }
    QMessageBox Box(Icon, QStringLiteral("Marrowkin"), KeepTokensWhole(Text), QMessageBox::NoButton, Parent);
    Box.setTextFormat(Qt::PlainText);
    if (Kind == mkQuestion) {
        QPushButton* Yes = Box.addButton(QMessageBox::Yes);
        QPushButton* No = Box.addButton(QMessageBox::No);
        Yes->setText(QStringLiteral("是(&Y)"));
        No->setText(QStringLiteral("否(&N)"));
        Box.setDefaultButton(Yes);
        // Escape and the close box answer No rather than leaving it open.
        Box.setEscapeButton(No);
    } else {
        QPushButton* Ok = Box.addButton(QMessageBox::Ok);
        Ok->setText(QStringLiteral("确定"));
        Box.setDefaultButton(Ok);
        Box.setEscapeButton(Ok);
    }
    if (Kind == mkQuestion)
        OpenQuestions().append(&Box);
    Box.exec();
    OpenQuestions().removeAll(&Box);
    switch (Box.standardButton(Box.clickedButton())) {
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    case QMessageBox::Ok: return kIdOk;
    default: return Kind == mkQuestion ? kIdNo : kIdOk;
    }
}

void InfoBox(QWidget* Owner, const QString& Text)
{
    ShowMsg(Owner, Text, mkInfo);
}

void WarnBox(QWidget* Owner, const QString& Text)
{
    ShowMsg(Owner, Text, mkWarning);
}

void ErrorBox(QWidget* Owner, const QString& Text)
{
    ShowMsg(Owner, Text, mkError);
}

bool AskYesNo(QWidget* Owner, const QString& Text)
{
    return ShowMsg(Owner, Text, mkQuestion) == kIdYes;
}

void DismissQuestions(QWidget* Owner)
{
    QWidget* Parent = MsgOwner(Owner);
    if (UiHooks().DismissQuestions) {
        UiHooks().DismissQuestions(Parent);
        return;
    }
    for (const QPointer<QMessageBox>& Box : OpenQuestions())
        if (Box && Box->parentWidget() == Parent && Box->escapeButton())
            Box->escapeButton()->click();
}
