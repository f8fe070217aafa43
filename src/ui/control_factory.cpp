#include "control_factory.h"

#include "card.h"
#include "link_label.h"
#include "palette.h"
#include "panel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

QWidget* MakePanel(QWidget* Parent, int L, int T, int W, int H, TColor Color)
{
    auto* Panel = new TPanel(Parent, Color);
    Panel->setGeometry(L, T, W, H);
    return Panel;
}

TCard* MakeCard(QWidget* Parent, const QString& Title, int L, int T, int W, int H)
{
    auto* Card = new TCard(Parent, Title);
    Card->setGeometry(L, T, W, H);
    return Card;
}

QLabel* MakeLabel(QWidget* Parent, const QString& Caption, int L, int T, int W, int H, int Size,
                  TFontStyles Style, TColor Color)
{
    auto* Label = new QLabel(Parent);
    // Plain text always: captions such as "<目录>" must not be read as markup.
    Label->setTextFormat(Qt::PlainText);
    Label->setText(Caption);
    Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label->setWordWrap(false);
    Label->setAutoFillBackground(false);
    ApplyUiFont(Label, Size, Style, Color == kDefaultColor ? clText : Color);
    Label->setGeometry(L, T, W, H);
    return Label;
}

QLabel* MakeNote(QWidget* Parent, const QString& Caption, int L, int T, int W, int H)
{
    return MakeLabel(Parent, Caption, L, T, W, H, 8, fsRegular, clSecondary);
}

QCheckBox* MakeCheck(QWidget* Parent, const QString& Caption, int L, int T, int W)
{
    auto* Check = new QCheckBox(Caption, Parent);
    ApplyUiFont(Check, 9, fsRegular, clText);
    Check->setGeometry(L, T, W, 20);
    return Check;
}

QRadioButton* MakeRadio(QWidget* Parent, const QString& Caption, int L, int T, int W)
{
    // Auto-exclusive radio buttons already form one group per parent.
    auto* Radio = new QRadioButton(Caption, Parent);
    ApplyUiFont(Radio, 9, fsRegular, clText);
    Radio->setGeometry(L, T, W, 20);
    return Radio;
}

QLineEdit* MakeEdit(QWidget* Parent, int L, int T, int W, int H, const QString& Text)
{
    auto* Edit = new QLineEdit(Text, Parent);
    ApplyUiFont(Edit, 9, fsRegular, clText);
    Edit->setGeometry(L, T, W, H);
    Edit->setCursorPosition(0);
    return Edit;
}

TFlatButton* MakeButton(QWidget* Parent, const QString& Caption, int L, int T, int W, int H,
                        TButtonKind Kind)
{
    auto* Button = new TFlatButton(Parent);
    Button->SetCaption(Caption);
    Button->SetKind(Kind);
    Button->setGeometry(L, T, W, H);
    return Button;
}

TLinkLabel* MakeLink(QWidget* Parent, const QString& Caption, const QString& Url, int L, int T,
                     int W, int H)
{
    auto* Link = new TLinkLabel(Parent);
    Link->setText(Caption);
    Link->SetUrl(Url);
    Link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Link->setWordWrap(false);
    Link->setGeometry(L, T, W, H);
    return Link;
}
