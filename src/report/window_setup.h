#pragma once

#include <QSize>
#include <QString>
#include <QStyledItemDelegate>

class QWidget;

// The common frame of the result windows: caption, client and minimum size,
// window background, interface font, centred on the owner's window, and
// Escape anywhere in the window closes it.
void SetupResultWindow(QWidget* Window, QWidget* Owner, const QString& Caption, QSize Client,
                       QSize Minimum);

class QObject;
class QTableWidget;

// Item delegate for the result lists: no focus frame on single cells, prose
// elided at the end, the column MiddleColumn (paths, which differ at both
// ends) elided in the middle.
QStyledItemDelegate* MakeListDelegate(int MiddleColumn, QObject* Parent);

// Widens a column of numbers to its widest cell (never below MinWidth):
// a number cut short reads as a different number.
void FitNumberColumn(QTableWidget* List, int Column, int MinWidth);
