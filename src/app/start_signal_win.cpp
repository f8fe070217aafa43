#include "start_signal.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <qt_windows.h>

// Sees every message of the program before its windows do and takes the one
// that asks for a run, when it is addressed to the main window.
struct TStartSignal::TPlatform final : QAbstractNativeEventFilter {
    TPlatform(TStartSignal* Owner, QWidget* Window) : Owner(Owner), Window(Window) {}

    bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr* Result) override
    {
        if (EventType != "windows_generic_MSG" || !Window)
            return false;
        const auto* Msg = static_cast<const MSG*>(Message);
        if (Msg->message != kStartRunMessage || Msg->hwnd != reinterpret_cast<HWND>(Window->internalWinId()))
            return false;
        if (Result)
            *Result = 0;
        emit Owner->Triggered();
        return true;
    }

    static constexpr UINT kStartRunMessage = WM_APP + 0x65;
    TStartSignal* Owner;
    QPointer<QWidget> Window;
};

TStartSignal::TStartSignal(QWidget* Window, QObject* Parent)
    : QObject(Parent), FPlatform(std::make_unique<TPlatform>(this, Window))
{
    QCoreApplication::instance()->installNativeEventFilter(FPlatform.get());
}

TStartSignal::~TStartSignal()
{
    if (QCoreApplication* App = QCoreApplication::instance())
        App->removeNativeEventFilter(FPlatform.get());
}
