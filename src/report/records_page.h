#pragma once

#include "filter_index.h"
#include "record_keys.h"
#include "record_sort.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QTableView;
class TJsonValue;
class TRecordsModel;

// The report window's "访问明细" page: a filter box, the count line and the
// virtual list of the records that pass the filter. Records are opened,
// copied and exported from here; what the window's status bar is to say
// comes out as StatusMessage.
class TRecordsPage final : public QWidget {
    Q_OBJECT
public:
    explicit TRecordsPage(QWidget* Parent = nullptr);

    // The document's records member (of any kind: only an array has records),
    // Filter and Keys built on it, the rows an empty filter shows (every
    // record's index in order, as Filter.Match({}) gives them: made where the
    // filter was, off the GUI thread; made here when they do not fit), and
    // the document's visit total for the count line. The tree must outlive
    // the page or be replaced first.
    void SetRecords(const TJsonValue* Records, TFilterIndex&& Filter, TRecordKeys&& Keys, std::vector<int> All,
                    qint64 Total);
    // Where the CSV export proposes to save; empty for the user's choice.
    void SetExportFolder(const QString& Folder) { FExportFolder = Folder; }

    // Filters with the box's text; every change of the text does so.
    void ApplyFilter();
    // Puts Text into the box and filters with it, also when it is there already.
    void SetFilter(const QString& Text);
    void FocusFilter();
    // Narrows the rows to those Chip selects as well, shown as a chip beside
    // the filter box. A chip of the same kind gives way to it: a second day
    // chosen in the trend replaces the first rather than selecting nothing.
    void AddChip(const TRecordChip& Chip);
    // Takes a chip away, as its button and Esc in an empty filter box do.
    void RemoveChip(int Index);
    const std::vector<TRecordChip>& Chips() const { return FChips; }
    // A click on a column's header: sorts by it, reverses, or returns to
    // document order (TRecordSort::Clicked); the filter stays.
    void SortBy(int Column);
    TRecordSort Sort() const { return FSort; }

    int Shown() const;
    // The record shown in Row, or nullptr outside the rows shown.
    const TJsonValue* RecordAt(int Row) const;
    qsizetype FilterBytes() const { return FFilter.MemoryBytes(); }

    // Opens the address of the first selected record.
    void RecListDblClick();
    // Copies the selected records; Ctrl+C in the list does the same.
    void CopySelected();
    // The copied text of the selected rows, or empty when none is selected.
    QString SelectedText(int* Lines = nullptr) const;
    // Writes the rows now shown, in their order, to a CSV file the user picks.
    void ExportCsv();

signals:
    void StatusMessage(const QString& Text);

private:
    void ShowRows();
    void ShowChips();

    const TJsonValue* FRecords = nullptr;
    TFilterIndex FFilter;
    TRecordKeys FKeys;
    std::vector<TRecordChip> FChips;
    QStringList FShownTerms; // the filter the rows shown were matched with
    // The records it matched, ascending; shared with the model while the
    // rows shown are these in this order. Never null.
    std::shared_ptr<const std::vector<int>> FMatched;
    TRecordSort FSort;
    std::vector<int> FOrder; // every record in the order of FSort; empty for document order
    qint64 FTotal = 0;
    QString FExportFolder;

    QLineEdit* FEdFilter = nullptr;
    QLabel* FLblRecInfo = nullptr;
    std::vector<QWidget*> FChipButtons;
    QTableView* FRecList = nullptr;
    TRecordsModel* FRecModel = nullptr;
};
