#pragma once

#include "ui_hooks.h"

#include <QString>
#include <QStringList>

class QWidget;

// Modal message boxes, all with the caption "Marrowkin". The owner is the
// given widget's window when that window has been created; otherwise the box
// has no owner and still shows.
int ShowMsg(QWidget* Owner, const QString& Text, TMsgKind Kind);
void InfoBox(QWidget* Owner, const QString& Text);
void WarnBox(QWidget* Owner, const QString& Text);
void ErrorBox(QWidget* Owner, const QString& Text);
// True exactly when the user answered Yes.
bool AskYesNo(QWidget* Owner, const QString& Text);
// Closes the question boxes open for Owner's window as if answered No, for
// when what they ask about has gone away.
void DismissQuestions(QWidget* Owner);

// Text for word-wrapped display with a word joiner (U+2060) after the slash of
// each switch such as "/format:json" and between the characters of each of
// Words, so that line breaking keeps them whole. Paths keep their breaks.
QString KeepTokensWhole(const QString& Text, const QStringList& Words = {});

// The window a box for Owner would be parented to, or nullptr.
QWidget* MsgOwner(QWidget* Owner);
