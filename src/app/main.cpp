#include "app_icon.h"
#include "main_form.h"
#include "options.h"
#include "start_signal.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv)
{
    // Looked at before anything else: an unattended run never shows a window.
    bool AutoMode = false;
    for (int I = 1; I < argc; ++I)
        AutoMode = AutoMode || IsAutoSwitch(QString::fromLocal8Bit(argv[I]));

    QApplication App(argc, argv);
    App.setApplicationName(QStringLiteral("Marrowkin"));
    App.setWindowIcon(AppIcon());

    auto Form = std::make_unique<TMainForm>();
    QObject::connect(Form.get(), &TMainForm::EndProcess, &App, [](int Code) { QCoreApplication::exit(Code); });
    TStartSignal StartSignal;
    QObject::connect(&StartSignal, &TStartSignal::Triggered, Form.get(), &TMainForm::WMStartRun);

    if (!AutoMode)
        Form->show();
    const int ExitCode = App.exec();
    // Normal teardown first: the window, its result windows and the runner.
    Form.reset();
    return ExitCode;
}
