#pragma once

#include "flat_button.h"
#include "text_util.h"
#include "ui_font.h"

#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;
class TCard;
class TLinkLabel;

// Each creates a child of Parent at the given client position and size, with
// the interface font (9 pt regular #22262B unless stated), and returns it.

// A TPanel of one colour (buttons on it blend their corners into it).
QWidget* MakePanel(QWidget* Parent, int L, int T, int W, int H, TColor Color);
TCard* MakeCard(QWidget* Parent, const QString& Title, int L, int T, int W, int H);
// Transparent, plain text, top-aligned, no word wrap; kDefaultColor gives #22262B.
QLabel* MakeLabel(QWidget* Parent, const QString& Caption, int L, int T, int W, int H, int Size,
                  TFontStyles Style, TColor Color);
// A grey hint: 8 pt regular #6B7280.
QLabel* MakeNote(QWidget* Parent, const QString& Caption, int L, int T, int W, int H);
// Height 20. Radio buttons form one exclusive group per parent.
QCheckBox* MakeCheck(QWidget* Parent, const QString& Caption, int L, int T, int W);
QRadioButton* MakeRadio(QWidget* Parent, const QString& Caption, int L, int T, int W);
QLineEdit* MakeEdit(QWidget* Parent, int L, int T, int W, int H, const QString& Text);
TFlatButton* MakeButton(QWidget* Parent, const QString& Caption, int L, int T, int W, int H,
                        TButtonKind Kind);
// 9 pt regular #2F6BF5; opens Url when clicked.
TLinkLabel* MakeLink(QWidget* Parent, const QString& Caption, const QString& Url, int L, int T,
                     int W, int H);
