#pragma once

#include "record_sort.h"

#include <QAbstractTableModel>

#include <memory>
#include <vector>

class TJsonValue;

// The visible records as a table. Holds only the index of each visible row's
// element in the document's records array; every cell is read from the tree
// when the view asks for it.
class TRecordsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using enum TRecordColumn;

    explicit TRecordsModel(QObject* Parent = nullptr);

    // Records may be null or of any kind; only an array has records.
    void SetSource(const TJsonValue* Records);
    // Replaces the visible rows (a reset, which also clears the view's selection).
    void SetRows(std::vector<int> Rows);
    // The same with rows the caller keeps too; neither side changes them.
    // A million rows are megabytes of fresh memory, not worth a copy.
    using TSharedRows = std::shared_ptr<const std::vector<int>>;
    void ShareRows(TSharedRows Rows);
    const std::vector<int>& Rows() const { return *FRows; }

    // The record shown in Row, or nullptr outside the visible rows.
    const TJsonValue* RecordAt(int Row) const;

    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& Index) const override;

private:
    const TJsonValue* FRecords = nullptr;
    TSharedRows FRows; // never null
};
