#pragma once

#include "source_list.h"

#include <QString>
#include <QWidget>

#include <memory>

class QEvent;
class QLabel;
class QTableWidget;
class TJsonValue;

// The data sources a detection run found: a summary line, copy and close
// buttons and a table. A modeless child window of its owner, destroyed with
// it; closing only hides it. It owns the parsed list document. The summary,
// the note and the table are named "LblMeta", "Note" and "List".
class TSourcesForm final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientW = 820;
    static constexpr int kClientH = 540;

    TSourcesForm(QWidget* Owner, std::unique_ptr<TJsonValue> Data);
    ~TSourcesForm() override;

    void FillList();
    void CopyList();
    // The clipboard text CopyList puts there: header line, then one line per row.
    QString ListText() const;
    void FitColumns();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void BuildUi();

    std::unique_ptr<TJsonValue> FData;
    QWidget* FClient = nullptr;  // what the window scrolls when it is small
    QLabel* FLblMeta = nullptr;
    QLabel* FNote = nullptr;
    QTableWidget* FList = nullptr;
    TSourceList FSources;  // what the table shows and the copy puts out
};

// Opens the sources window for a finished detection run and returns at once.
TSourcesForm* ShowSourcesWindow(QWidget* Owner, std::unique_ptr<TJsonValue> Data);
