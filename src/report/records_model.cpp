#include "records_model.h"

#include "json.h"
#include "text_util.h"

TRecordsModel::TRecordsModel(QObject* Parent)
    : QAbstractTableModel(Parent), FRows(std::make_shared<const std::vector<int>>())
{
}

void TRecordsModel::SetSource(const TJsonValue* Records)
{
    beginResetModel();
    FRecords = Records;
    FRows = std::make_shared<const std::vector<int>>();
    endResetModel();
}

void TRecordsModel::SetRows(std::vector<int> Rows)
{
    ShareRows(std::make_shared<const std::vector<int>>(std::move(Rows)));
}

void TRecordsModel::ShareRows(TSharedRows Rows)
{
    beginResetModel();
    FRows = Rows ? std::move(Rows) : std::make_shared<const std::vector<int>>();
    endResetModel();
}

const TJsonValue* TRecordsModel::RecordAt(int Row) const
{
    if (!FRecords || Row < 0 || size_t(Row) >= FRows->size())
        return nullptr;
    return FRecords->Items((*FRows)[size_t(Row)]);
}

int TRecordsModel::rowCount(const QModelIndex& Parent) const
{
    return Parent.isValid() ? 0 : int(FRows->size());
}

int TRecordsModel::columnCount(const QModelIndex& Parent) const
{
    return Parent.isValid() ? 0 : rcColumnCount;
}

QVariant TRecordsModel::data(const QModelIndex& Index, int Role) const
{
    if (!checkIndex(Index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (Role != Qt::DisplayRole && !(Role == Qt::ToolTipRole && Index.column() >= rcTitle))
        return {};
    const TJsonValue* Record = RecordAt(Index.row());
    if (!Record)
        return {};
    return BoundedText(Record->SView(kRecordKeys[Index.column()]));
}

QVariant TRecordsModel::headerData(int Section, Qt::Orientation Orientation, int Role) const
{
    static const QString Titles[rcColumnCount] = {QStringLiteral("时间"), QStringLiteral("浏览器"),
                                                  QStringLiteral("配置"), QStringLiteral("标题"),
                                                  QStringLiteral("网址")};
    if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 || Section >= rcColumnCount)
        return {};
    return Titles[Section];
}

Qt::ItemFlags TRecordsModel::flags(const QModelIndex& Index) const
{
    if (!Index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
