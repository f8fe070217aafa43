#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class TTextOut;

// Writes the report that Produce puts out into Dir, whole or not at all,
// under the first report name of Now's second that is free: a report made in
// the same second as another gets "_2", "_3", … rather than replacing it.
// Path is the file written, or the one that failed with ErrMsg (the system's
// reason).
bool SaveReport(const QString& Dir, const QDateTime& Now, const QString& Ext,
                const std::function<void(TTextOut&)>& Produce, QString& Path, QString& ErrMsg);
