#include "app_icon.h"
#include "main_form.h"
#include "options.h"
#include "platform_choice.h"
#include "shell_util.h"
#include "start_signal.h"
#include "ui_locale.h"

#include <QApplication>

#include <memory>
#include <vector>

int main(int argc, char** argv)
{
    // Looked at before anything else: an unattended run never shows a window.
    bool AutoMode = false;
    for (int I = 1; I < argc; ++I)
        AutoMode = AutoMode || IsAutoSwitch(QString::fromLocal8Bit(argv[I]));

    std::vector<char*> Argv(argv, argv + argc);
    bool PlatformChosen = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    for (int I = 1; I < argc; ++I)
        PlatformChosen = PlatformChosen || qstrcmp(argv[I], "-platform") == 0;
    if (!PlatformChosen) {
        const char* const* Extra = DefaultPlatformArgs(AutoMode);
        for (int I = 0; Extra && Extra[I]; ++I)
            Argv.insert(Argv.begin() + 1 + I, const_cast<char*>(Extra[I]));
    }
    Argv.push_back(nullptr);
    int Argc = int(Argv.size()) - 1;

    QApplication App(Argc, Argv.data());
    App.setApplicationName(QStringLiteral("Marrowkin"));
    App.setWindowIcon(AppIcon());
    // Without them the toolkit's own dialogs and menus stay English.
    InstallChineseUi(TranslationFolders());

    auto Form = std::make_unique<TMainForm>();
    QObject::connect(Form.get(), &TMainForm::EndProcess, &App, [](int Code) { QCoreApplication::exit(Code); });
    TStartSignal StartSignal(Form.get());
    QObject::connect(&StartSignal, &TStartSignal::Triggered, Form.get(), &TMainForm::WMStartRun);
    QObject::connect(&StartSignal, &TStartSignal::EndRequested, &App, [](int Code) { QCoreApplication::exit(Code); });

    if (!AutoMode) {
        Form->show();
        Form->OpenStartupReports();
    }
    // The copy that was waiting for this one's authorisation may close now.
    SignalElevatedReady();
    const int ExitCode = App.exec();
    // Normal teardown first: the window, its result windows and the runner.
    Form.reset();
    return ExitCode;
}
