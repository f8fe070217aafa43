#pragma once

#include "options.h"
#include "schedule.h"

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTimeEdit;
class TFlatButton;

// "定时生成报告…": when the program's one scheduled report runs and where its
// report goes, the command the scheduler will start, the schedule there now,
// and the buttons that create, replace or remove it.
class TScheduleDialog final : public QDialog {
    Q_OBJECT
public:
    // The scheduled run takes Opts except for the output folder and the
    // archive, which are chosen here; Program is what the scheduler starts.
    TScheduleDialog(QWidget* Owner, const TOptions& Opts, const QString& DefaultOut, const QString& Program);

    // Asks the scheduler what is registered now and shows it.
    void Refresh();
    // The run the controls describe.
    TScheduledRun Run() const;

    void CreateClick();
    void RemoveClick();
    void BrowseClick();

    // For the tests.
    QRadioButton* RbWeekly() const { return FRbWeekly; }
    QComboBox* CbWeekday() const { return FCbWeekday; }
    QTimeEdit* TimeEdit() const { return FTime; }
    QLineEdit* EdOut() const { return FEdOut; }
    QCheckBox* CkArchive() const { return FCkArchive; }
    QString Preview() const;
    QString Existing() const;
    QString ExistingCommand() const { return FState.FCommand; }
    TFlatButton* BtnCreate() const { return FBtnCreate; }
    TFlatButton* BtnRemove() const { return FBtnRemove; }

private:
    // The window's options with the folder and the archive chosen here.
    TOptions RunOptions() const;
    void UpdatePreview();
    // Runs Step, which changes the schedule, then shows the outcome.
    void Change(const std::function<bool(QString&)>& Step);

    TOptions FOpts;
    QString FDefaultOut;
    QString FProgram;
    TScheduleState FState;

    QRadioButton* FRbDaily = nullptr;
    QRadioButton* FRbWeekly = nullptr;
    QComboBox* FCbWeekday = nullptr;
    QTimeEdit* FTime = nullptr;
    QLineEdit* FEdOut = nullptr;
    QCheckBox* FCkArchive = nullptr;
    QLabel* FLblTarget = nullptr;
    QPlainTextEdit* FPreview = nullptr;
    QLabel* FLblExisting = nullptr;
    TFlatButton* FBtnCreate = nullptr;
    TFlatButton* FBtnRemove = nullptr;
};
