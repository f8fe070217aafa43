#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>

// The control named Name somewhere under Window (the windows name their
// controls after their roles). A missing one is a broken test, not a finding.
template <class T>
T* Ctl(const QObject& Window, const char* Name)
{
    T* Found = Window.findChild<T*>(QString::fromLatin1(Name));
    if (!Found)
        qFatal("no %s named %s", T::staticMetaObject.className(), Name);
    return Found;
}

// The same for the Index-th of a numbered row ("KpiVal0", "KpiVal1", …).
template <class T>
T* Ctl(const QObject& Window, const char* Name, int Index)
{
    return Ctl<T>(Window, (QByteArray(Name) + QByteArray::number(Index)).constData());
}
