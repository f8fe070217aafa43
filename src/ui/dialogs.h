#pragma once

#include <QString>

class QDialog;
class QWidget;

// A fixed-size white dialog with the given client size and caption, centred on
// Owner's window, font 9 pt. The caller owns it (Owner, when given, is its Qt
// parent as well, so it is gone at the latest with Owner).
QDialog* NewDialogForm(QWidget* Owner, int ClientW, int ClientH, const QString& Caption);
// The same look for a dialog class of its own, made with Owner's window as
// its parent.
void SetUpDialogForm(QDialog* Dialog, int ClientW, int ClientH, const QString& Caption);

// Both show modally and are destroyed when closed (button, close box, Escape).
void ShowAboutDialog(QWidget* Owner);
void ShowUsageDialog(QWidget* Owner);

// Closes the about and usage dialogs open over Owner's window, so that a
// window opened next is not left behind a modal one.
void CloseInfoDialogs(QWidget* Owner);

// The usage dialog's text: lines separated by CR LF, no break after the last.
QString UsageText();
