#include "sources_form.h"

#include "window_setup.h"

#include "anchors.h"
#include "control_factory.h"
#include "json.h"
#include "palette.h"
#include "ui_font.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>

TSourcesForm::TSourcesForm(QWidget* Owner, std::unique_ptr<TJsonValue> Data)
    : QWidget(Owner, Qt::Window)
    , FData(std::move(Data))
{
    FClient = SetupResultWindow(this, Owner, QStringLiteral("数据源检测结果"), QSize(kClientW, kClientH),
                                QSize(640, 380));

    BuildUi();
    FillList();
    FitColumns();
}

TSourcesForm::~TSourcesForm() = default;

void TSourcesForm::BuildUi()
{
    const int W = kClientW;
    const int H = kClientH;
    SetAnchors(MakePanel(FClient, 0, 0, W, 4, clAccent), akStretch);
    QWidget* Header = MakePanel(FClient, 0, 4, W, 66, clWhite);
    SetAnchors(Header, akStretch);
    MakeLabel(Header, QStringLiteral("数据源检测结果"), 20, 10, 420, 28, 15, fsBold, clText);
    FLblMeta = MakeLabel(Header, QString(), 22, 40, W - 44, 18, 9, fsRegular, clSecondary);
    FLblMeta->setObjectName(QStringLiteral("LblMeta"));
    SetAnchors(FLblMeta, akStretch);

    QWidget* Bar = MakePanel(FClient, 0, 70, W, 44, clWindowBg);
    SetAnchors(Bar, akStretch);
    connect(MakeButton(Bar, QStringLiteral("复制清单"), 12, 8, 100, 28, bkSecondary), &TFlatButton::clicked, this,
            &TSourcesForm::CopyList);
    connect(MakeButton(Bar, QStringLiteral("关闭"), 120, 8, 88, 28, bkSecondary), &TFlatButton::clicked, this,
            &QWidget::close);
    // Stretches rather than follows the right edge, so a narrowed window never
    // pushes it over the buttons.
    FNote = MakeNote(Bar, QStringLiteral("只探测，不采集记录；路径为实际读取的库文件"), 224, 14, W - 240, 18);
    FNote->setObjectName(QStringLiteral("Note"));
    SetAnchors(FNote, akStretch);

    FList = new QTableWidget(0, int(SourceListTitles().size()), FClient);
    FList->setObjectName(QStringLiteral("List"));
    FList->setHorizontalHeaderLabels(SourceListTitles());
    FList->setSelectionBehavior(QAbstractItemView::SelectRows);
    FList->setSelectionMode(QAbstractItemView::SingleSelection);
    FList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FList->setShowGrid(false);
    FList->setWordWrap(false);
    FList->setItemDelegate(MakeListDelegate(4, FList));
    FList->setFrameShape(QFrame::StyledPanel);
    FList->verticalHeader()->hide();
    FList->verticalHeader()->setDefaultSectionSize(22);
    FList->horizontalHeader()->setSectionsClickable(false);
    FList->horizontalHeader()->setHighlightSections(false);
    FList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ApplyUiFont(FList, 9, fsRegular, kDefaultColor);
    const int Widths[5] = {150, 220, 110, 70, 420};
    for (int C = 0; C < 5; ++C)
        FList->setColumnWidth(C, Widths[C]);
    FList->setGeometry(12, 116, W - 24, H - 124);
    SetAnchors(FList, akFill);
    FList->installEventFilter(this);
}

void TSourcesForm::FillList()
{
    FSources = ReadSourceList(FData.get());
    FList->setRowCount(0);
    FList->setRowCount(int(FSources.Rows.size()));
    for (int R = 0; R < FSources.Rows.size(); ++R) {
        const QStringList Cells = SourceListCells(FSources.Rows[R]);
        for (int C = 0; C < Cells.size(); ++C) {
            auto* Item = new QTableWidgetItem(Cells[C]);
            // The file path, the cell most often cut off.
            if (C == Cells.size() - 1)
                Item->setToolTip(Cells[C]);
            FList->setItem(R, C, Item);
        }
    }
    FitNumberColumn(FList, 3, 70);
    FLblMeta->setText(FSources.Summary);
}

QString TSourcesForm::ListText() const
{
    return SourceListText(FSources.Rows);
}

void TSourcesForm::CopyList()
{
    QGuiApplication::clipboard()->setText(ListText());
}

void TSourcesForm::FitColumns()
{
    if (!FList || FList->columnCount() == 0)
        return;
    int Others = 0;
    for (int C = 0; C < FList->columnCount() - 1; ++C)
        Others += FList->columnWidth(C);
    // A scroll bar that is showing takes its width from the client area.
    int Client = FList->contentsRect().width();
    if (FList->verticalScrollBar()->isVisible())
        Client -= FList->verticalScrollBar()->width();
    FList->setColumnWidth(FList->columnCount() - 1, Client - Others - 4);
}

bool TSourcesForm::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FList && Event->type() == QEvent::Resize)
        FitColumns();
    return false;
}

TSourcesForm* ShowSourcesWindow(QWidget* Owner, std::unique_ptr<TJsonValue> Data)
{
    auto* Form = new TSourcesForm(Owner, std::move(Data));
    Form->show();
    return Form;
}
