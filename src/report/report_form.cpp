#include "report_form.h"

#include "window_setup.h"

#include "anchors.h"
#include "bar_chart.h"
#include "control_factory.h"
#include "donut_chart.h"
#include "heat_chart.h"
#include "json.h"
#include "msg_box.h"
#include "palette.h"
#include "rank_chart.h"
#include "record_filter.h"
#include "records_csv.h"
#include "records_model.h"
#include "report_file.h"
#include "report_file_name.h"
#include "shell_util.h"
#include "text_util.h"
#include "ui_font.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QEvent>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSaveFile>
#include <QKeySequence>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

TReportForm::TReportForm(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson,
                         const QString& OutDir, bool NoData)
    : QWidget(Owner, Qt::Window)
    , FData(std::move(Data))
    , FRawJson(RawJson)
    , FOutDir(OutDir)
    , FNoData(NoData)
{
    FRecords = FData ? FData->Get(QLatin1StringView("records")) : nullptr;

    FClient = SetupResultWindow(this, Owner, QStringLiteral("采集报告"), QSize(kClientW, kClientH),
                                QSize(kMinW, kMinH));

    BuildUi();
    LoadReport();
    LayoutAll();
}

TReportForm::~TReportForm()
{
    // The document goes before the child widgets; the list must not be left
    // pointing into it meanwhile.
    if (FRecModel)
        FRecModel->SetSource(nullptr);
}

void TReportForm::BuildUi()
{
    const int W = kClientW;
    SetAnchors(MakePanel(FClient, 0, 0, W, 4, clAccent), akStretch);

    FStatus = new QStatusBar(FClient);
    FStatus->setSizeGripEnabled(true);
    FStatus->setGeometry(0, kClientH - 24, W, 24);
    FStatusText = new QLabel(FStatus);
    ApplyUiFont(FStatusText, 9, fsRegular, clText);
    FStatus->addWidget(FStatusText, 1);
    SetAnchors(FStatus, akLeft | akRight | akBottom);

    BuildHeader();
    BuildToolbar();

    FTabs = new QTabWidget(FClient);
    FTabs->setGeometry(0, 126, W, kClientH - 126 - 24 - 6);
    FTabs->setDocumentMode(false);
    FTabs->tabBar()->setAttribute(Qt::WA_Hover, true);
    // The tab under the pointer shows its caption in the accent colour.
    FTabs->tabBar()->setMouseTracking(true);
    FTabs->tabBar()->installEventFilter(this);
    ApplyUiFont(FTabs, 9, fsRegular, clText);
    SetAnchors(FTabs, akFill);
    // The pages switch from wherever the focus is, not only inside the page
    // control (the toolbar has it when the window opens).
    const std::pair<QKeySequence, int> PageKeys[] = {{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                                                     {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
                                                     {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& [Keys, Step] : PageKeys)
        connect(new QShortcut(Keys, this), &QShortcut::activated, this, [this, Step = Step] { StepPage(Step); });

    BuildPages();
    FRecModel = new TRecordsModel(FRecList);
    FRecModel->SetSource(FRecords);
    FRecList->setModel(FRecModel);
    SetUpRecordsPage();
    FFilterIndex.Build(FRecords);
}

void TReportForm::BuildHeader()
{
    const int W = kClientW;
    QWidget* Header = MakePanel(FClient, 0, 4, W, 74, clWhite);
    SetAnchors(Header, akStretch);
    FLblTitle = MakeLabel(Header, QStringLiteral("采集报告"), 20, 10, 700, 30, 17, fsBold, clText);
    FLblDetail = MakeLabel(Header, QString(), 22, 46, W - 320, 18, 9, fsRegular, clSecondary);
    SetAnchors(FLblDetail, akStretch);
    FLblCount = MakeLabel(Header, QString(), W - 264, 18, 240, 28, 12, fsBold, clAccent);
    FLblCount->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLblCount, akTop | akRight);
    FLblFile = MakeLabel(Header, QString(), W - 264, 48, 240, 18, 9, fsRegular, clSecondary);
    FLblFile->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLblFile, akTop | akRight);
    SetAnchors(MakePanel(FClient, 0, 78, W, 1, clBorder), akStretch);
}

void TReportForm::BuildToolbar()
{
    QWidget* Bar = MakePanel(FClient, 0, 82, kClientW, 44, clWindowBg);
    SetAnchors(Bar, akStretch);
    connect(MakeButton(Bar, QStringLiteral("保存 JSON"), 12, 8, 108, 28, bkPrimary), &TFlatButton::clicked, this,
            &TReportForm::SaveJson);
    connect(MakeButton(Bar, QStringLiteral("复制选中"), 128, 8, 100, 28, bkSecondary), &TFlatButton::clicked, this,
            &TReportForm::CopySelected);
    connect(MakeButton(Bar, QStringLiteral("打开保存目录"), 236, 8, 116, 28, bkSecondary), &TFlatButton::clicked,
            this, &TReportForm::OpenSaveFolder);
    auto* Export = MakeButton(Bar, QStringLiteral("导出 CSV"), 360, 8, 100, 28, bkSecondary);
    Export->setToolTip(QStringLiteral("把“访问明细”当前显示的记录导出为 CSV 文件（Ctrl+E）"));
    connect(Export, &TFlatButton::clicked, this, &TReportForm::ExportCsv);
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+E")), this), &QShortcut::activated, this,
            &TReportForm::ExportCsv);
}

void TReportForm::LoadReport()
{
    const TReportContent& M = FContent = ReadReportContent(FData.get(), FNoData);
    setWindowTitle(M.Caption);
    FLblTitle->setText(M.Title);
    FLblDetail->setText(M.Detail);
    for (int I = 0; I < 5; ++I)
        FKpiVal[I]->setText(M.KpiVal[I]);
    FitKpiFonts();
    FTotal = M.Total;
    FLblCount->setText(M.CountText);
    FitCountLabel();
    FLblTrendSpan->setText(M.TrendSpan);
    for (int I = 0; I < 6; ++I)
        FInfoVal[I]->setText(M.InfoVal[I]);
    for (int I = 0; I < 5; ++I)
        FBrsInfoVal[I]->setText(M.BrsInfoVal[I]);
    FLblBrsInfo->setText(M.BrsNote);

    FHeatChart->SetMatrix(M.Heat);
    FBarChart->SetPoints(M.Days);
    FDnsChart->SetEntries(M.Doms);
    FPgsChart->SetEntries(M.Pgs);
    FKwsChart->SetEntries(M.Kws);
    FBrsChart->SetEntries(M.Brs);
    FBrCount = M.BrCount;
    BrowserPageResize();
    FDonut->SetSlices(M.Cats);

    FSrcList->setUpdatesEnabled(false);
    FSrcList->setRowCount(0);
    FSrcList->setRowCount(int(M.Sources.size()));
    for (int R = 0; R < M.Sources.size(); ++R) {
        const QStringList Cells = ReportSourceCells(M.Sources[R]);
        for (int C = 0; C < Cells.size(); ++C) {
            auto* Item = new QTableWidgetItem(Cells[C]);
            // The message and the file path are the cells likely cut off.
            Item->setToolTip(C >= 4 ? Cells[C] : QString());
            FSrcList->setItem(R, C, Item);
        }
    }
    FitNumberColumn(FSrcList, 3, 70);
    SrcPageResize();
    FSrcList->setUpdatesEnabled(true);

    ApplyFilter();
    SetStatus(ReportStatusText(M, FShown));
}

void TReportForm::FitCountLabel()
{
    // The count grows to the left as far as it needs: a total that lost its
    // leading digits would read as a smaller one.
    const int Need = FLblCount->fontMetrics().horizontalAdvance(FLblCount->text()) + 2;
    const QRect G = FLblCount->geometry();
    if (Need <= G.width())
        return;
    FLblCount->setGeometry(G.right() + 1 - Need, G.top(), Need, G.height());
    SetAnchors(FLblCount, akTop | akRight);
}

void TReportForm::StepPage(int Step)
{
    const int N = FTabs->count();
    FTabs->setCurrentIndex(((FTabs->currentIndex() + Step) % N + N) % N);
}

void TReportForm::SetStatus(const QString& Text)
{
    FStatusText->setText(Text);
}

QString TReportForm::StatusText() const
{
    return FStatusText->text();
}

void TReportForm::ApplyFilter()
{
    const QStringList Terms = ParseFilterTerms(FEdFilter->text());
    // Typing on narrows the filter: then only the rows shown can match, and
    // while they are few, checking them beats searching every record.
    const std::vector<int>& Shown = FRecModel->Rows();
    std::vector<int> Rows = TermsNarrow(FShownTerms, Terms) && qsizetype(Shown.size()) <= FFilterIndex.Count() / 8
                                ? FFilterIndex.MatchWithin(Terms, Shown)
                                : FFilterIndex.Match(Terms);
    FShownTerms = Terms;
    FShown = int(Rows.size());
    FRecModel->SetRows(std::move(Rows));
    RecPageResize();
    FLblRecInfo->setText(Terms.isEmpty()
                             ? QStringLiteral("共 %1 条，双击一行用默认浏览器打开；Ctrl+C 复制选中").arg(FormatCount(FTotal))
                             : QStringLiteral("共 %1 条，当前筛选 %2 条").arg(FormatCount(FTotal), FormatCount(FShown)));
}

void TReportForm::FilterChange()
{
    ApplyFilter();
}

void TReportForm::FilterBy(const QString& Text)
{
    // Setting the same text again emits no change, yet the rows must be fresh.
    const bool Same = FEdFilter->text() == Text;
    FEdFilter->setText(Text);
    if (Same)
        ApplyFilter();
    FTabs->setCurrentWidget(FPgRecords);
    FEdFilter->setFocus(Qt::OtherFocusReason);
}

const TJsonValue* TReportForm::RecordAt(int Index) const
{
    return FRecModel->RecordAt(Index);
}

void TReportForm::RecListDblClick()
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
        SetStatus(Why);
}

QString TReportForm::SelectedText(int* Lines) const
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

void TReportForm::CopySelected()
{
    int Lines = 0;
    const QString Text = SelectedText(&Lines);
    if (Lines == 0) {
        InfoBox(this, QStringLiteral("请先在“访问明细”页选择要复制的行（可按住 Ctrl / Shift 多选）。"));
        return;
    }
    QGuiApplication::clipboard()->setText(Text);
    SetStatus(QStringLiteral("已复制 %1 行到剪贴板").arg(Lines));
}

void TReportForm::SaveJson()
{
    if (FRawJson.isEmpty()) {
        WarnBox(this, QStringLiteral("没有可保存的数据。"));
        return;
    }
    QString Folder = FOutDir;
    QString Path;
    if (!FSourceFile.isEmpty()) {
        // A report opened from a file sits in a file already: a copy goes
        // where the user says.
        if (!PickSaveFile(QStringLiteral("保存 JSON"), FSourceFile, QStringLiteral("采集报告 (*.json)"), Path))
            return;
        Path = QDir::toNativeSeparators(Path);
        Folder = QFileInfo(Path).absolutePath();
    } else {
        if (FOutDir.isEmpty()) {
            WarnBox(this, QStringLiteral("请先在主界面设置保存位置。"));
            return;
        }
        Path = JoinPath(FOutDir, ReportFileName(QDateTime::currentDateTime(), u"json"));
    }

    // Created here rather than through EnsureDir so that a failure can name
    // its reason.
    std::error_code Ec;
    std::filesystem::create_directories(std::filesystem::path(Folder.toStdU16String()), Ec);
    if (Ec && !DirExists(Folder)) {
        ErrorBox(this, QStringLiteral("保存失败：") + CleanSystemText(QString::fromLocal8Bit(Ec.message())));
        return;
    }

    // Written beside the target and renamed over it when complete, so a full
    // disk or an error midway never leaves a cut-off report behind.
    QSaveFile File(Path);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !WriteWhole(File, FRawJson.constData(), FRawJson.size())
        || !File.commit()) {
        const QString Reason = CleanSystemText(File.errorString());
        File.cancelWriting();
        ErrorBox(this, QStringLiteral("保存失败：") + Reason);
        return;
    }
    SetStatus(QStringLiteral("已保存：") + Path);
    RevealInExplorer(Path);
}

void TReportForm::OpenSaveFolder()
{
    if (!FOutDir.isEmpty() && DirExists(FOutDir)) {
        RevealInExplorer(FOutDir);
        return;
    }
    InfoBox(this, QStringLiteral("保存目录还不存在：") + FOutDir + QStringLiteral("\r\n")
                      + QStringLiteral("可以先点“保存 JSON”自动创建。"));
}

void TReportForm::ExportCsv()
{
    if (FShown == 0) {
        InfoBox(this, QStringLiteral("没有可导出的记录。"));
        return;
    }
    const QString Name = RecordsCsvName(QDateTime::currentDateTime());
    QString Path;
    if (!PickSaveFile(QStringLiteral("导出 CSV"), FOutDir.isEmpty() ? Name : JoinPath(FOutDir, Name),
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
    SetStatus(QStringLiteral("已导出 %1 条记录：%2").arg(FormatCount(qint64(Rows.size())), Path));
}

void TReportForm::SetSourceFile(const QString& Path)
{
    FSourceFile = QDir::toNativeSeparators(Path);
    const QString Name = QFileInfo(Path).fileName();
    setWindowTitle(FContent.Caption + QStringLiteral(" — ") + Name);
    FLblFile->setText(QFontMetrics(FLblFile->font()).elidedText(QStringLiteral("文件：") + Name, Qt::ElideMiddle,
                                                                 FLblFile->width()));
    FLblFile->setToolTip(FSourceFile);
}

void TReportForm::DomainDblClick(int Index)
{
    if (Index >= 0 && Index < FContent.Doms.size())
        FilterBy(FContent.Doms[Index].Name);
}

void TReportForm::PageDblClick(int Index)
{
    if (Index >= 0 && Index < FContent.PageUrls.size())
        FilterBy(FContent.PageUrls[Index]);
}

void TReportForm::SetHoverTab(int Index)
{
    if (Index == FHoverTab)
        return;
    QTabBar* Bar = FTabs->tabBar();
    if (FHoverTab >= 0 && FHoverTab < Bar->count())
        Bar->setTabTextColor(FHoverTab, QColor());
    FHoverTab = Index;
    if (Index >= 0)
        Bar->setTabTextColor(Index, ToQColor(clAccent));
}

bool TReportForm::eventFilter(QObject* Watched, QEvent* Event)
{
    const QEvent::Type Type = Event->type();
    if (FTabs && Watched == FTabs->tabBar()) {
        if (Type == QEvent::MouseMove)
            SetHoverTab(FTabs->tabBar()->tabAt(static_cast<QMouseEvent*>(Event)->position().toPoint()));
        else if (Type == QEvent::Leave || Type == QEvent::Hide)
            SetHoverTab(-1);
        return false;
    }
    if (Watched == FRecList && (Type == QEvent::KeyPress || Type == QEvent::ShortcutOverride)) {
        // Ctrl with any other modifiers and C copies whole records; the view's
        // own copy would take only the current cell.
        const auto* Key = static_cast<QKeyEvent*>(Event);
        if (Key->key() == Qt::Key_C && (Key->modifiers() & Qt::ControlModifier)) {
            Event->accept();
            if (Type == QEvent::KeyPress)
                CopySelected();
            return true;
        }
        return false;
    }
    if (Watched == FEdFilter && (Type == QEvent::KeyPress || Type == QEvent::ShortcutOverride)) {
        const auto* Key = static_cast<QKeyEvent*>(Event);
        // Escape clears the filter; with none it does nothing.
        if (Key->key() == Qt::Key_Escape && Key->modifiers() == Qt::NoModifier) {
            Event->accept();
            if (Type == QEvent::KeyPress && !FEdFilter->text().isEmpty())
                FEdFilter->clear();
            return true;
        }
        // Where Ctrl+E means "end of line" (X11 key bindings) the filter box
        // would take it; the export is what the window promises.
        if (Key->key() == Qt::Key_E && Key->modifiers() == Qt::ControlModifier) {
            Event->accept();
            if (Type == QEvent::KeyPress)
                ExportCsv();
            return true;
        }
        return false;
    }
    if (Type == QEvent::Resize)
        PageResized(Watched);
    return false;
}

TReportForm* ShowReportWindow(QWidget* Owner, std::unique_ptr<TJsonValue> Data, const QByteArray& RawJson,
                              const QString& OutDir, bool NoData)
{
    auto* Form = new TReportForm(Owner, std::move(Data), RawJson, OutDir, NoData);
    // A closed window cannot be shown again, so it gives back its document
    // (hundreds of megabytes for a large report) instead of waiting for the
    // owner to end.
    Form->setAttribute(Qt::WA_DeleteOnClose);
    Form->show();
    return Form;
}

TReportForm* ShowReportFile(QWidget* Owner, TReportFile&& File)
{
    const QString Folder = File.Folder();
    // Built hidden: the caption names the file before the window appears.
    auto* Form = new TReportForm(Owner, std::move(File.Data), File.Bytes, Folder, false);
    Form->SetSourceFile(File.Path);
    Form->setAttribute(Qt::WA_DeleteOnClose);
    Form->show();
    return Form;
}
