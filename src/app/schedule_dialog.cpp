#include "schedule_dialog.h"

#include "control_factory.h"
#include "dialogs.h"
#include "flat_button.h"
#include "msg_box.h"
#include "palette.h"
#include "schedule_backend.h"
#include "shell_util.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimeEdit>

namespace {

constexpr int kDialogW = 540;
constexpr int kDialogH = 420;

// The scheduler's tools may take a moment; the pointer says so.
class TBusyCursor {
public:
    TBusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

QLabel* FieldLabel(QWidget* Parent, const QString& Caption, int T)
{
    return MakeLabel(Parent, Caption, 20, T + 3, 64, 18, 9, fsRegular, clText);
}

} // namespace

TScheduleDialog::TScheduleDialog(QWidget* Owner, const TOptions& Opts, const QString& DefaultOut,
                                 const QString& Program)
    : QDialog(Owner ? Owner->window() : nullptr), FOpts(Opts), FDefaultOut(DefaultOut), FProgram(Program)
{
    SetUpDialogForm(this, kDialogW, kDialogH, QStringLiteral("定时生成报告"));
    MakePanel(this, 0, 0, kDialogW, 4, clAccent);
    MakeLabel(this, QStringLiteral("定时生成报告"), 20, 16, 400, 26, 13, fsBold, clText);
    MakeNote(this, QStringLiteral("到时以无界面方式（/auto）按当前参数采集，JSON 报告写入下面的保存位置"), 20, 46, 500, 16);

    FieldLabel(this, QStringLiteral("频率"), 82);
    FRbDaily = MakeRadio(this, QStringLiteral("每天"), 90, 82, 70);
    FRbDaily->setChecked(true);
    FRbWeekly = MakeRadio(this, QStringLiteral("每周"), 170, 82, 60);
    FCbWeekday = new QComboBox(this);
    FCbWeekday->setGeometry(234, 81, 90, 22);
    for (int D = 1; D <= 7; ++D)
        FCbWeekday->addItem(WeekdayName(D));

    FieldLabel(this, QStringLiteral("时间"), 114);
    FTime = new QTimeEdit(QTime(8, 0), this);
    FTime->setGeometry(90, 113, 80, 22);
    FTime->setDisplayFormat(QStringLiteral("HH:mm"));

    FieldLabel(this, QStringLiteral("保存位置"), 146);
    FEdOut = MakeEdit(this, 90, 145, 350, 22, ResolveOutDir(Opts, DefaultOut));
    TFlatButton* Browse = MakeButton(this, QStringLiteral("浏览…"), 446, 144, 74, 24, bkSecondary);

    FCkArchive = MakeCheck(this, QStringLiteral("保留长期历史"), 20, 178, 120);
    FCkArchive->setChecked(true);
    MakeNote(this, QStringLiteral("浏览器删除的旧记录也会留在存档里，报告可以回溯全部历史"), 144, 181, 376, 16);

    MakeLabel(this, QStringLiteral("将注册的命令"), 20, 212, 100, 18, 9, fsRegular, clText);
    FLblTarget = MakeNote(this, QString(), 120, 213, 400, 16);
    FPreview = new QPlainTextEdit(this);
    FPreview->setGeometry(20, 234, 500, 72);
    FPreview->setReadOnly(true);
    ApplyUiFont(FPreview, 9, fsRegular, clText);

    FLblExisting = MakeLabel(this, QString(), 20, 320, 500, 36, 9, fsBold, clText);
    FLblExisting->setWordWrap(true);

    FBtnCreate = MakeButton(this, QStringLiteral("创建计划"), 20, 372, 120, 30, bkPrimary);
    FBtnRemove = MakeButton(this, QStringLiteral("删除计划"), 150, 372, 100, 30, bkSecondary);
    TFlatButton* Close = MakeButton(this, QStringLiteral("关闭"), 420, 372, 100, 30, bkSecondary);
    Close->SetModalResult(kIdOk);

    connect(FBtnCreate, &TFlatButton::clicked, this, &TScheduleDialog::CreateClick);
    connect(FBtnRemove, &TFlatButton::clicked, this, &TScheduleDialog::RemoveClick);
    connect(Browse, &TFlatButton::clicked, this, &TScheduleDialog::BrowseClick);
    connect(FRbWeekly, &QRadioButton::toggled, this, &TScheduleDialog::UpdatePreview);
    connect(FCbWeekday, &QComboBox::currentIndexChanged, this, &TScheduleDialog::UpdatePreview);
    connect(FTime, &QTimeEdit::timeChanged, this, &TScheduleDialog::UpdatePreview);
    connect(FEdOut, &QLineEdit::textChanged, this, &TScheduleDialog::UpdatePreview);
    connect(FCkArchive, &QCheckBox::toggled, this, &TScheduleDialog::UpdatePreview);
    UpdatePreview();
}

TOptions TScheduleDialog::RunOptions() const
{
    TOptions O = FOpts;
    O.FOutDir = FEdOut->text();
    O.FArchive = FCkArchive->isChecked();
    return O;
}

TScheduledRun TScheduleDialog::Run() const
{
    TRepeat Repeat;
    Repeat.FFreq = FRbWeekly->isChecked() ? sfWeekly : sfDaily;
    Repeat.FWeekday = FCbWeekday->currentIndex() + 1;
    Repeat.FTime = FTime->time();
    const TOptions O = RunOptions();
    return MakeScheduledRun(Repeat, FProgram, O, ResolveOutDir(O, FDefaultOut));
}

QString TScheduleDialog::Preview() const
{
    return FPreview->toPlainText();
}

QString TScheduleDialog::Existing() const
{
    return FLblExisting->text();
}

void TScheduleDialog::UpdatePreview()
{
    FCbWeekday->setEnabled(FRbWeekly->isChecked());
    const TScheduledRun R = Run();
    FPreview->setPlainText(ScheduleText(R.FRepeat) + QStringLiteral("：") + ScheduledCommandText(FState.FUse, R));
}

void TScheduleDialog::Refresh()
{
    {
        TBusyCursor Busy;
        FState = QuerySchedule();
    }
    const TScheduleView V = ScheduleView(FState);
    FLblExisting->setText(V.Existing);
    FLblExisting->setToolTip(FState.FCommand);
    FLblTarget->setText(V.Target);
    FBtnCreate->SetCaption(V.CreateCaption);
    FBtnCreate->setEnabled(V.CanCreate);
    FBtnRemove->setEnabled(V.CanRemove);
    UpdatePreview();
    // The schedule there now is where changing it starts from.
    if (FState.FRepeatKnown) {
        (FState.FRepeat.FFreq == sfWeekly ? FRbWeekly : FRbDaily)->setChecked(true);
        FCbWeekday->setCurrentIndex(FState.FRepeat.FWeekday - 1);
        FTime->setTime(FState.FRepeat.FTime);
    }
}

void TScheduleDialog::CreateClick()
{
    const TScheduledRun R = Run();
    Change([&R](QString& Error) { return RegisterSchedule(R, Error); });
}

void TScheduleDialog::RemoveClick()
{
    Change(RemoveSchedule);
}

void TScheduleDialog::Change(const std::function<bool(QString&)>& Step)
{
    QString Error;
    bool Ok = false;
    {
        TBusyCursor Busy;
        Ok = Step(Error);
    }
    // Shown as the scheduler has it now, whether the step worked or not.
    Refresh();
    if (!Ok)
        ErrorBox(this, Error);
}

void TScheduleDialog::BrowseClick()
{
    QString Folder;
    if (PickFolder(QStringLiteral("选择定时报告的保存目录"), ResolveOutDir(RunOptions(), FDefaultOut), Folder))
        FEdOut->setText(Folder);
}
