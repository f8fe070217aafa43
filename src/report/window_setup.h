#pragma once

#include <QSize>
#include <QString>
#include <QStyledItemDelegate>

class QWidget;

// The common frame of the result windows: caption, window background,
// interface font, client size Client (less where the screen's available area
// is smaller), centred on the owner's window and inside that area. Returns
// the widget to build the window's content on: it follows the window's size
// down to Minimum and scrolls in a window smaller than that.
QWidget* SetupResultWindow(QWidget* Window, QWidget* Owner, const QString& Caption, QSize Client,
                           QSize Minimum);

class QObject;
class QTableView;
class QTableWidget;

// A column-view list as the report window's lists are: whole rows, no
// editing, no grid, no sorting, headers that do nothing when clicked, a
// white background.
void SetUpResultList(QTableView* List);

// Lets the last column of a list take the remaining width, always leaving room
// for a vertical scroll bar so no horizontal one appears. Nothing happens when
// the rest would be 80 px or less, or the list has no model.
void FitLastColumn(QTableView* List);

// Item delegate for the result lists: no focus frame on single cells, prose
// elided at the end, the column MiddleColumn (paths, which differ at both
// ends) elided in the middle.
QStyledItemDelegate* MakeListDelegate(int MiddleColumn, QObject* Parent);

// Widens a column of numbers to its widest cell (never below MinWidth):
// a number cut short reads as a different number.
void FitNumberColumn(QTableWidget* List, int Column, int MinWidth);
