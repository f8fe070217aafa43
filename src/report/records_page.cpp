#include "records_page.h"

#include "window_setup.h"

#include "anchors.h"
#include "control_factory.h"
#include "flat_button.h"
#include "json.h"
#include "msg_box.h"
#include "palette.h"
#include "record_filter.h"
#include "records_csv.h"
#include "records_model.h"
#include "report_layout.h"
#include "shell_util.h"
#include "text_util.h"
#include "ui_font.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTableView>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace {

// A control that handles some keys itself, ahead of the window's shortcuts
// and of its own key bindings: those Takes says yes to go to OnKey.
template <class TBase>
class TKeyTaker : public TBase {
public:
    using TBase::TBase;
    std::function<bool(const QKeyEvent*)> Takes;
    std::function<void(const QKeyEvent*)> OnKey;

protected:
    bool event(QEvent* Event) override
    {
        if (Event->type() == QEvent::ShortcutOverride && Taken(static_cast<QKeyEvent*>(Event))) {
            Event->accept();
            return true;
        }
        return TBase::event(Event);
    }

    void keyPressEvent(QKeyEvent* Event) override
    {
        if (!Taken(Event)) {
            TBase::keyPressEvent(Event);
            return;
        }
        Event->accept();
        OnKey(Event);
    }

private:
    bool Taken(const QKeyEvent* Key) const { return Takes && OnKey && Takes(Key); }
};

// The records list. A letter typed there does nothing special (the view's
// type-ahead search would jump to a matching row and replace the selection);
// the focus frame goes round the whole current row, as rows are what the list
// selects; the last column takes the width the others leave.
class TRecordsView final : public TKeyTaker<QTableView> {
public:
    using TKeyTaker::TKeyTaker;

    void keyboardSearch(const QString&) override {}

protected:
    void resizeEvent(QResizeEvent* Event) override
    {
        QTableView::resizeEvent(Event);
        FitLastColumn(this);
    }

    void paintEvent(QPaintEvent* Event) override
    {
        QTableView::paintEvent(Event);
        const QModelIndex Current = currentIndex();
        if (!hasFocus() || !Current.isValid() || !model())
            return;
        const int Last = model()->columnCount() - 1;
        const QRect Row = visualRect(Current.siblingAtColumn(0)).united(visualRect(Current.siblingAtColumn(Last)));
        if (Row.isEmpty())
            return;
        QStyleOptionFocusRect Opt;
        Opt.initFrom(this);
        Opt.rect = Row.adjusted(0, 0, -1, -1);
        Opt.backgroundColor = palette().color(QPalette::Base);
        QPainter P(viewport());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &Opt, &P, this);
    }
};

} // namespace

TRecordsPage::TRecordsPage(QWidget* Parent) : QWidget(Parent)
{
    // Built on the size the page has in a window of the initial size, so that
    // the anchored controls keep their distances from there.
    resize(kBuiltPage);

    auto* Filter = new TKeyTaker<QLineEdit>(this);
    Filter->setObjectName(QStringLiteral("EdFilter"));
    Filter->setGeometry(16, 12, 340, 24);
    ApplyUiFont(Filter, 9, fsRegular, clText);
    Filter->setPlaceholderText(QStringLiteral("搜索标题、网址或域名，空格分词"));
    Filter->setClearButtonEnabled(false);
    // Escape clears the filter, or with none takes away the last chip (with
    // neither it does nothing), and Ctrl+E exports
    // even where it means "end of line" (X11 key bindings): the export is what
    // the window promises.
    Filter->Takes = [](const QKeyEvent* Key) {
        return (Key->key() == Qt::Key_Escape && Key->modifiers() == Qt::NoModifier) ||
               (Key->key() == Qt::Key_E && Key->modifiers() == Qt::ControlModifier);
    };
    Filter->OnKey = [this, Filter](const QKeyEvent* Key) {
        if (Key->key() == Qt::Key_E)
            ExportCsv();
        else if (!Filter->text().isEmpty())
            Filter->clear();
        else if (!FChips.empty())
            RemoveChip(int(FChips.size()) - 1);
    };
    connect(Filter, &QLineEdit::textChanged, this, &TRecordsPage::ApplyFilter);
    FEdFilter = Filter;

    FLblRecInfo = MakeLabel(this, QString(), 368, 15, 700, 18, 9, fsRegular, clSecondary);
    FLblRecInfo->setObjectName(QStringLiteral("LblRecInfo"));
    SetAnchors(FLblRecInfo, akStretch);

    auto* List = new TRecordsView(this);
    List->setObjectName(QStringLiteral("RecList"));
    List->setGeometry(16, 48, 1080, 470);
    SetAnchors(List, akFill);
    // Ctrl with any other modifiers and C copies whole records; the view's own
    // copy would take only the current cell.
    List->Takes = [](const QKeyEvent* Key) {
        return Key->key() == Qt::Key_C && (Key->modifiers() & Qt::ControlModifier);
    };
    List->OnKey = [this](const QKeyEvent*) { CopySelected(); };
    FRecList = List;
    FRecModel = new TRecordsModel(FRecList);
    FRecList->setModel(FRecModel);
    SetUpResultList(FRecList);
    FRecList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FRecList->setItemDelegate(MakeListDelegate(-1, FRecList));
    const int Widths[TRecordsModel::rcColumnCount] = {140, 120, 130, 360, 400};
    for (int C = 0; C < TRecordsModel::rcColumnCount; ++C)
        FRecList->setColumnWidth(C, Widths[C]);
    connect(FRecList, &QAbstractItemView::doubleClicked, this, [this] { RecListDblClick(); });
    QHeaderView* Header = FRecList->horizontalHeader();
    Header->setSectionsClickable(true);
    Header->setSortIndicatorShown(false);
    connect(Header, &QHeaderView::sectionClicked, this, &TRecordsPage::SortBy);
}

void TRecordsPage::SetRecords(const TJsonValue* Records, TFilterIndex&& Filter, TRecordKeys&& Keys,
                              std::vector<int> All, qint64 Total)
{
    FRecords = Records;
    FFilter = std::move(Filter);
    FKeys = std::move(Keys);
    FChips.clear();
    ShowChips();
    FTotal = Total;
    if (qsizetype(All.size()) != FFilter.Count())
        All = FFilter.Match({});
    // What an empty filter matched, so that an empty box does not match again.
    FShownTerms.clear();
    FMatched = std::make_shared<const std::vector<int>>(std::move(All));
    FSort = {};
    FOrder.clear();
    FRecList->horizontalHeader()->setSortIndicatorShown(false);
    FRecModel->SetSource(Records);
    ApplyFilter();
}

void TRecordsPage::ApplyFilter()
{
    const QStringList Terms = ParseFilterTerms(FEdFilter->text());
    // Typing on narrows the filter: then only the rows shown can match, and
    // while they are few, checking them beats searching every record.
    if (Terms != FShownTerms)
        FMatched = std::make_shared<const std::vector<int>>(
            TermsNarrow(FShownTerms, Terms) && qsizetype(FMatched->size()) <= FFilter.Count() / 8
                ? FFilter.MatchWithin(Terms, *FMatched)
                : FFilter.Match(Terms));
    FShownTerms = Terms;
    ShowRows();
    const QString Total = FormatCount(FTotal);
    FLblRecInfo->setText(Terms.isEmpty() && FChips.empty()
                             ? QStringLiteral("共 %1 条，双击一行用默认浏览器打开；Ctrl+C 复制选中").arg(Total)
                             : QStringLiteral("共 %1 条，当前筛选 %2 条").arg(Total, FormatCount(Shown())));
}

void TRecordsPage::ShowRows()
{
    if (FChips.empty() && FOrder.empty()) {
        FRecModel->ShareRows(FMatched);
    } else {
        std::vector<int> Selected;
        if (!FChips.empty())
            Selected = FKeys.Select(FChips, *FMatched);
        FRecModel->SetRows(InOrder(FOrder, FChips.empty() ? *FMatched : Selected, FFilter.Count()));
    }
    FitLastColumn(FRecList);
}

void TRecordsPage::AddChip(const TRecordChip& Chip)
{
    const auto Same = std::find_if(FChips.begin(), FChips.end(), [&](const TRecordChip& C) { return C.Kind == Chip.Kind; });
    if (Same != FChips.end())
        *Same = Chip;
    else
        FChips.push_back(Chip);
    ShowChips();
    ApplyFilter();
}

void TRecordsPage::RemoveChip(int Index)
{
    if (Index < 0 || size_t(Index) >= FChips.size())
        return;
    FChips.erase(FChips.begin() + Index);
    ShowChips();
    ApplyFilter();
}

// The chips stand in a row after the filter box; the count line follows them.
void TRecordsPage::ShowChips()
{
    const bool HadFocus = std::any_of(FChipButtons.begin(), FChipButtons.end(), [](QWidget* B) { return B->hasFocus(); });
    for (QWidget* B : FChipButtons) {
        B->hide();
        B->setObjectName(QString());
        B->deleteLater(); // one of them may be emitting its click
    }
    FChipButtons.clear();
    int X = FEdFilter->geometry().right() + 1 + 8;
    for (size_t I = 0; I < FChips.size(); ++I) {
        const QString Caption = FChips[I].Text() + QStringLiteral(" ×");
        TFlatButton* B = MakeButton(this, Caption, X, 12, 0, 24, bkSecondary);
        B->resize(B->fontMetrics().horizontalAdvance(Caption) + 20, 24);
        B->setObjectName(QStringLiteral("Chip%1").arg(I));
        B->setToolTip(QStringLiteral("移除这个筛选"));
        connect(B, &TFlatButton::clicked, this, [this, I] {
            RemoveChip(int(I));
            FocusFilter();
        });
        B->show();
        FChipButtons.push_back(B);
        X += B->width() + 6;
    }
    QRect Info = FLblRecInfo->geometry();
    Info.setLeft(FChips.empty() ? 368 : X + 6);
    FLblRecInfo->setGeometry(Info);
    SetAnchors(FLblRecInfo, akStretch);
    if (HadFocus)
        FocusFilter();
}

void TRecordsPage::SortBy(int Column)
{
    FSort = FSort.Clicked(Column);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FOrder = FSort.Direction == sdNone ? std::vector<int>() : SortedRecords(FRecords, FSort);
    ShowRows();
    QApplication::restoreOverrideCursor();
    QHeaderView* Header = FRecList->horizontalHeader();
    Header->setSortIndicatorShown(FSort.Direction != sdNone);
    if (FSort.Direction != sdNone)
        Header->setSortIndicator(FSort.Column, FSort.Direction == sdAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void TRecordsPage::SetFilter(const QString& Text)
{
    // Setting the same text again emits no change, yet the rows must be fresh.
    const bool Same = FEdFilter->text() == Text;
    FEdFilter->setText(Text);
    if (Same)
        ApplyFilter();
}

void TRecordsPage::FocusFilter()
{
    FEdFilter->setFocus(Qt::OtherFocusReason);
}

int TRecordsPage::Shown() const
{
    return FRecModel->rowCount();
}

const TJsonValue* TRecordsPage::RecordAt(int Row) const
{
    return FRecModel->RecordAt(Row);
}

void TRecordsPage::RecListDblClick()
{
    const QModelIndexList Rows = FRecList->selectionModel()->selectedRows();
    if (Rows.isEmpty())
        return;
    int First = Rows.first().row();
    for (const QModelIndex& I : Rows)
        First = std::min(First, I.row());
    const TJsonValue* Record = RecordAt(First);
    const QString Url = Record ? Record->S(QLatin1StringView("url")) : QString();
    QString Why;
    if (Url.isEmpty())
        InfoBox(this, QStringLiteral("这条记录没有网址。"));
    else if (!OpenWebAddress(Url, Why))
        emit StatusMessage(Why);
}

QString TRecordsPage::SelectedText(int* Lines) const
{
    // Ranges rather than one index per row, so selecting everything in a
    // large list stays cheap; rows outside the viewport count as well.
    std::vector<int> Rows;
    for (const QItemSelectionRange& R : FRecList->selectionModel()->selection())
        for (int Row = R.top(); Row <= R.bottom(); ++Row)
            Rows.push_back(Row);
    std::sort(Rows.begin(), Rows.end());
    Rows.erase(std::unique(Rows.begin(), Rows.end()), Rows.end());
    QString Text;
    int Count = 0;
    for (int Row : Rows) {
        if (const TJsonValue* Record = RecordAt(Row)) {
            Text += CopiedRecordLine(ReadRecordText(Record)) + QStringLiteral("\r\n");
            ++Count;
        }
    }
    if (Lines)
        *Lines = Count;
    return Text;
}

void TRecordsPage::CopySelected()
{
    int Lines = 0;
    const QString Text = SelectedText(&Lines);
    if (Lines == 0) {
        InfoBox(this, QStringLiteral("请先在“访问明细”页选择要复制的行（可按住 Ctrl / Shift 多选）。"));
        return;
    }
    QGuiApplication::clipboard()->setText(Text);
    emit StatusMessage(QStringLiteral("已复制 %1 行到剪贴板").arg(Lines));
}

void TRecordsPage::ExportCsv()
{
    if (Shown() == 0) {
        InfoBox(this, QStringLiteral("没有可导出的记录。"));
        return;
    }
    const QString Name = RecordsCsvName(QDateTime::currentDateTime());
    QString Path;
    if (!PickSaveFile(QStringLiteral("导出 CSV"), FExportFolder.isEmpty() ? Name : JoinPath(FExportFolder, Name),
                      QStringLiteral("CSV 文件 (*.csv)"), Path))
        return;
    Path = QDir::toNativeSeparators(Path);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<int>& Rows = FRecModel->Rows();
    QString Error;
    const bool Ok = WriteWholeFile(Path, RecordsCsv(FRecords, Rows), Error);
    QApplication::restoreOverrideCursor();
    if (!Ok) {
        ErrorBox(this, QStringLiteral("导出失败：") + CleanSystemText(Error));
        return;
    }
    emit StatusMessage(QStringLiteral("已导出 %1 条记录：%2").arg(FormatCount(qint64(Rows.size())), Path));
}
