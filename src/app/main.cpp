#include "app_icon.h"
#include "main_form.h"
#include "options.h"
#include "shell_util.h"
#include "start_signal.h"

#include <QApplication>

#include <memory>
#include <vector>

int main(int argc, char** argv)
{
    // Looked at before anything else: an unattended run never shows a window.
    bool AutoMode = false;
    for (int I = 1; I < argc; ++I)
        AutoMode = AutoMode || IsAutoSwitch(QString::fromLocal8Bit(argv[I]));

    // A scheduled run usually has no display to connect to, and it never
    // shows a window anyway: it draws off screen unless told otherwise.
    std::vector<char*> Argv(argv, argv + argc);
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
    static char PlatformSwitch[] = "-platform";
    static char Offscreen[] = "offscreen";
    if (AutoMode && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        Argv.insert(Argv.begin() + 1, {PlatformSwitch, Offscreen});
#endif
    Argv.push_back(nullptr);
    int Argc = int(Argv.size()) - 1;

    QApplication App(Argc, Argv.data());
    App.setApplicationName(QStringLiteral("Marrowkin"));
    App.setWindowIcon(AppIcon());

    auto Form = std::make_unique<TMainForm>();
    QObject::connect(Form.get(), &TMainForm::EndProcess, &App, [](int Code) { QCoreApplication::exit(Code); });
    TStartSignal StartSignal;
    QObject::connect(&StartSignal, &TStartSignal::Triggered, Form.get(), &TMainForm::WMStartRun);
    QObject::connect(&StartSignal, &TStartSignal::EndRequested, &App, [](int Code) { QCoreApplication::exit(Code); });

    if (!AutoMode)
        Form->show();
    // The copy that was waiting for this one's authorisation may close now.
    SignalElevatedReady();
    const int ExitCode = App.exec();
    // Normal teardown first: the window, its result windows and the runner.
    Form.reset();
    return ExitCode;
}
