#pragma once

#include <QSize>
#include <QString>

class QWidget;

// The common frame of the result windows: caption, client and minimum size,
// window background, interface font, centred on the owner's window, and
// Escape anywhere in the window closes (hides) it.
void SetupResultWindow(QWidget* Window, QWidget* Owner, const QString& Caption, QSize Client,
                       QSize Minimum);
