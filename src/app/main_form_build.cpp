#include "main_form.h"

// Building the main window: banner, option cards, status bar and menus.

#include "anchors.h"
#include "app_icon.h"
#include "app_info.h"
#include "card.h"
#include "collector_contract.h"
#include "control_factory.h"
#include "dialogs.h"
#include "flat_button.h"
#include "link_label.h"
#include "palette.h"
#include "panel.h"
#include "ui_font.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>

namespace {

QSpinBox* MakeSpin(QWidget* Parent, int L, int T, int W, int H, int Min, int Max, int Value)
{
    auto* Spin = new QSpinBox(Parent);
    Spin->setGeometry(L, T, W, H);
    Spin->setRange(Min, Max);
    Spin->setValue(Value);
    ApplyUiFont(Spin, 9, fsRegular, clText);
    return Spin;
}

QDateEdit* MakeDatePicker(QWidget* Parent, int L, int T, int W, int H)
{
    auto* Dt = new QDateEdit(Parent);
    Dt->setGeometry(L, T, W, H);
    Dt->setCalendarPopup(true);
    Dt->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    ApplyUiFont(Dt, 9, fsRegular, clText);
    return Dt;
}

QLabel* MakeFieldLabel(QWidget* Parent, const QString& Caption, int L, int T, int W)
{
    return MakeLabel(Parent, Caption, L, T, W, 18, 9, fsRegular, clText);
}


} // namespace

void TMainForm::BuildBanner()
{
    FBanner = MakePanel(FClient, 0, 0, kClientW, 64, clWhite);
    SetAnchors(FBanner, akLeft | akTop | akRight);

    SetAnchors(MakePanel(FBanner, 0, 0, 5, 64, clAccent), akLeft | akTop | akBottom);

    auto* Logo = new QLabel(FBanner);
    Logo->setGeometry(16, 12, 40, 40);
    Logo->setScaledContents(false);
    Logo->setPixmap(MakeAppIconBitmap(40, clWhite));

    MakeLabel(FBanner, QStringLiteral("Marrowkin"), 66, 9, 150, 26, 15, fsBold, clText);
    MakeLabel(FBanner, QStringLiteral("浏览器访问记录收集与报告"), 192, 15, 320, 20, 10, fsRegular, clSecondary);
    MakeLabel(FBanner,
              QStringLiteral("图形界面外壳 · 参数由此拼装，采集与统计由 ") + CollectorFileName() +
                  QStringLiteral(" 在本机完成"),
              66, 38, 560, 18, 9, fsRegular, clSecondary);

    FLblVer = MakeLabel(FBanner,
                        QStringLiteral("v%1（%2）").arg(QString::fromUtf8(kAppVersion), QString::fromUtf8(kAppBuildDate)),
                        640, 12, 340, 18, 9, fsRegular, clSecondary);
    FLblVer->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLblVer, akTop | akRight);

    FLinkCompany = MakeLink(FBanner, QString::fromUtf8(kCompanyName), QString::fromUtf8(kCompanyUrl), 640, 34, 340, 18);
    FLinkCompany->setAlignment(Qt::AlignRight | Qt::AlignTop);
    SetAnchors(FLinkCompany, akTop | akRight);

    SetAnchors(MakePanel(FBanner, 0, 63, kClientW, 1, clBorder), akLeft | akTop | akRight);
}

void TMainForm::BuildCards()
{
    const int RightX = kClientW - 494;
    FCards[0] = MakeCard(FClient, QStringLiteral("数据源"), 12, 76, 482, 172);
    FCards[1] = MakeCard(FClient, QStringLiteral("时间范围"), 12, 256, 482, 136);
    FCards[2] = MakeCard(FClient, QStringLiteral("扫描范围"), 12, 400, 482, 76);
    FCards[3] = MakeCard(FClient, QStringLiteral("输出"), RightX, 76, 482, 122);
    FCards[4] = MakeCard(FClient, QStringLiteral("高级选项"), RightX, 206, 482, 270);

    // Data sources
    TCard* C = FCards[0];
    FRbAuto = MakeRadio(C, QStringLiteral("自动探测全部"), 14, 36, 124);
    FRbAuto->setChecked(true);
    FRbPick = MakeRadio(C, QStringLiteral("仅采集指定的浏览器"), 152, 36, 160);
    for (int I = 0; I < kSourceCount; ++I)
        FSrcChecks[I] = MakeCheck(C, SourceDefs()[I].Cap, 16 + (I % 4) * 116, 64 + (I / 4) * 24, 112);

    // Time range
    C = FCards[1];
    FRbAll = MakeRadio(C, QStringLiteral("全部历史"), 14, 36, 110);
    FRbAll->setChecked(true);
    FRbDays = MakeRadio(C, QStringLiteral("最近"), 130, 36, 52);
    // One spin box stands for the edit and its up-down control.
    FSpinDays = MakeSpin(C, 186, 34, 58 + 16, 22, kMinDays, kMaxDays, 30);
    MakeFieldLabel(C, QStringLiteral("天"), 268, 38, 24);
    FRbCust = MakeRadio(C, QStringLiteral("自定义区间"), 14, 64, 90);
    FDtFrom = MakeDatePicker(C, 104, 62, 120, 22);
    MakeFieldLabel(C, QStringLiteral("至"), 232, 66, 16);
    FDtTo = MakeDatePicker(C, 252, 62, 120, 22);
    MakeNote(C, QStringLiteral("全部历史＝不限制时间；自定义区间按本地日期，含起止当天"), 14, 94, 456, 18);

    // Scan scope
    C = FCards[2];
    FRbCur = MakeRadio(C, QStringLiteral("当前用户"), 14, 30, 110);
    FRbCur->setChecked(true);
    FRbAllUsers = MakeRadio(C, QStringLiteral("全部用户（需管理员）"), 130, 30, 180);
    FLblScope = MakeNote(C, QString(), 14, 52, 316, 18);
    FBtnElevate = MakeButton(C, QStringLiteral("以管理员身份重启"), 334, 46, 134, 24, bkSecondary);

    // Output
    C = FCards[3];
    MakeFieldLabel(C, QStringLiteral("保存位置"), 14, 30, 58);
    FEdOut = MakeEdit(C, 76, 28, 336, 22, QString());
    SetAnchors(FEdOut, akLeft | akTop | akRight);
    FBtnBrowse = MakeButton(C, QStringLiteral("浏览…"), 416, 27, 54, 24, bkSecondary);
    SetAnchors(FBtnBrowse, akTop | akRight);
    MakeFieldLabel(C, QStringLiteral("报告形式"), 14, 60, 58);
    FRbEmbed = MakeRadio(C, QStringLiteral("内置窗口"), 76, 58, 90);
    FRbEmbed->setChecked(true);
    FRbHtml = MakeRadio(C, QStringLiteral("HTML 文件（浏览器打开）"), 180, 58, 200);
    MakeFieldLabel(C, QStringLiteral("报告标题"), 14, 90, 58);
    FEdTitle = MakeEdit(C, 76, 88, 394, 22, DefaultTitle());
    SetAnchors(FEdTitle, akLeft | akTop | akRight);

    // Advanced
    C = FCards[4];
    const unsigned Stretch = akLeft | akTop | akRight;
    MakeFieldLabel(C, QStringLiteral("关键词"), 14, 30, 76);
    FEdInclude = MakeEdit(C, 94, 28, 376, 22, QString());
    SetAnchors(FEdInclude, Stretch);
    SetAnchors(MakeNote(C, QStringLiteral("分号分隔多个；URL 或标题命中任一即保留（留空表示不过滤）"), 14, 54, 456, 14),
               Stretch);
    MakeFieldLabel(C, QStringLiteral("排除域名"), 14, 78, 76);
    FEdExclude = MakeEdit(C, 94, 76, 376, 22, QString());
    SetAnchors(FEdExclude, Stretch);
    SetAnchors(MakeNote(C, QStringLiteral("支持通配 *.example.com；分号分隔多个"), 14, 102, 456, 14), Stretch);
    MakeFieldLabel(C, QStringLiteral("明细上限"), 14, 126, 76);
    FSpinLimit = MakeSpin(C, 94, 124, 70 + 16, 22, kMinLimit, kMaxLimit, 0);
    SetAnchors(MakeNote(C, QStringLiteral("0 表示输出全部（统计仍按全量）"), 188, 128, 282, 14), Stretch);
    FCkPrivacy = MakeCheck(C, QStringLiteral("网址脱敏（去掉查询参数）"), 14, 158, 220);
    SetAnchors(MakePanel(C, 14, 190, 454, 1, clBorder), Stretch);
    FBtnStart = MakeButton(C, QStringLiteral("开始生成报告"), 14, 210, 200, 38, bkPrimary);
    FBtnStart->setFont(UiFont(10, fsBold));
    FBtnStart->setToolTip(QStringLiteral("按当前参数调用 ") + CollectorFileName() +
                          QStringLiteral(" 采集，结果按“报告形式”展示"));
    FBtnList = MakeButton(C, QStringLiteral("检测数据源"), 226, 210, 140, 38, bkSecondary);
    FBtnList->setToolTip(QStringLiteral("只探测本机有哪些浏览器数据（相当于 /list），结果在独立窗口展示"));

    // Named after their fields, the names tests find them by.
    const std::pair<QWidget*, const char*> Named[] = {
        {FRbAuto, "RbAuto"},       {FRbPick, "RbPick"},         {FRbAll, "RbAll"},       {FRbDays, "RbDays"},
        {FRbCust, "RbCust"},       {FSpinDays, "SpinDays"},     {FDtFrom, "DtFrom"},     {FDtTo, "DtTo"},
        {FRbCur, "RbCur"},         {FRbAllUsers, "RbAllUsers"}, {FLblScope, "LblScope"}, {FBtnElevate, "BtnElevate"},
        {FEdOut, "EdOut"},         {FBtnBrowse, "BtnBrowse"},   {FRbEmbed, "RbEmbed"},   {FRbHtml, "RbHtml"},
        {FEdTitle, "EdTitle"},     {FEdInclude, "EdInclude"},   {FEdExclude, "EdExclude"},
        {FSpinLimit, "SpinLimit"}, {FCkPrivacy, "CkPrivacy"},   {FBtnStart, "BtnStart"}, {FBtnList, "BtnList"}};
    for (const auto& [W, Name] : Named)
        W->setObjectName(QString::fromLatin1(Name));
    for (int I = 0; I < kSourceCount; ++I)
        FSrcChecks[I]->setObjectName(QStringLiteral("SrcCheck%1").arg(I));
    for (int I = 0; I < 5; ++I)
        FCards[I]->setObjectName(QStringLiteral("Card%1").arg(I));

    connect(FBtnStart, &TFlatButton::clicked, this, &TMainForm::StartClick);
    connect(FBtnList, &TFlatButton::clicked, this, &TMainForm::ListClick);
    connect(FBtnBrowse, &TFlatButton::clicked, this, &TMainForm::BrowseClick);
    connect(FBtnElevate, &TFlatButton::clicked, this, &TMainForm::ElevateClick);

    // toggled rather than clicked: keyboard moves between radios count too,
    // and a radio that is already on does not ask again.
    auto OnOptionRadio = [this](bool On) {
        if (On && !FLoading)
            UpdateOptionStates();
    };
    for (QRadioButton* Rb : {FRbAuto, FRbPick, FRbAll, FRbDays, FRbCust})
        connect(Rb, &QRadioButton::toggled, this, OnOptionRadio);
    for (QRadioButton* Rb : {FRbCur, FRbAllUsers})
        connect(Rb, &QRadioButton::toggled, this, [this](bool On) {
            if (On)
                ScopeClick();
        });
}

void TMainForm::BuildStatusBar()
{
    FStatus = new QStatusBar(this);
    FStatus->setSizeGripEnabled(false);
    FStatus->setFixedHeight(kStatusH);
    setStatusBar(FStatus);
    // The panels are placed by hand so that their widths are exactly the
    // stated ones; the status bar's own layout would add spacing.
    for (int I = 0; I < 3; ++I) {
        auto* Panel = new QLabel(FStatus);
        Panel->setObjectName(QStringLiteral("StatusPanel%1").arg(I));
        Panel->setFont(UiFont(9));
        Panel->setIndent(6);
        Panel->setAlignment((I == 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        FPanels[I] = Panel;
    }
    // A line along the top and one between neighbouring panels.
    for (QWidget*& Line : FStatusLines)
        Line = MakePanel(FStatus, 0, 0, 1, 1, clBorder);
}

void TMainForm::BuildMenu()
{
    QMenuBar* Bar = menuBar();
    QMenu* File = Bar->addMenu(QStringLiteral("文件(&F)"));
    AddMenuItem(File, QStringLiteral("打开保存目录(&D)"), &TMainForm::OpenOutDirClick, QStringLiteral("Ctrl+D"));
    File->addSeparator();
    QAction* Exit = AddMenuItem(File, QStringLiteral("退出(&X)"), nullptr);
    BuildReportMenu(File);

    QMenu* Tools = Bar->addMenu(QStringLiteral("工具(&T)"));
    AddMenuItem(Tools, QStringLiteral("检测数据源(&L)"), &TMainForm::ListClick, QStringLiteral("F5"));
    Tools->addSeparator();
    BuildArchiveMenu(Tools);
    FActElevate = AddMenuItem(Tools, QStringLiteral("以管理员身份重启(&A)"), &TMainForm::ElevateClick);
    FActElevate->setEnabled(FBtnElevate->isEnabled());
    FBtnElevate->installEventFilter(this);

    QMenu* Help = Bar->addMenu(QStringLiteral("帮助(&H)"));
    QAction* Usage = AddMenuItem(Help, QStringLiteral("使用说明(&U)"), nullptr, QStringLiteral("F1"));
    Help->addSeparator();
    QAction* About = AddMenuItem(Help, QStringLiteral("关于 Marrowkin(&A)"), nullptr);

    // Handlers that are not members of their own.
    connect(Exit, &QAction::triggered, this, &QWidget::close);
    connect(Usage, &QAction::triggered, this, [this] { ShowUsageDialog(this); });
    connect(About, &QAction::triggered, this, [this] { ShowAboutDialog(this); });
}

QAction* TMainForm::AddMenuItem(QMenu* Menu, const QString& Caption, void (TMainForm::*Handler)(),
                                const QString& Shortcut)
{
    QAction* Item = Menu->addAction(Caption);
    if (!Shortcut.isEmpty())
        Item->setShortcut(QKeySequence(Shortcut));
    if (Handler)
        connect(Item, &QAction::triggered, this, Handler);
    return Item;
}

void TMainForm::BuildArchiveMenu(QMenu* Tools)
{
    AddMenuItem(Tools, QStringLiteral("定时生成报告…"), &TMainForm::ScheduleClick);
    // An option like those on the cards: read with them, carried with them.
    FActArchive = AddMenuItem(Tools, QStringLiteral("保留长期历史（存档）"), nullptr);
    FActArchive->setCheckable(true);
    FActArchive->setObjectName(QStringLiteral("ActArchive"));
    AddMenuItem(Tools, QStringLiteral("清除历史存档…"), &TMainForm::ClearArchiveClick);
    Tools->addSeparator();
}

void TMainForm::BuildReportMenu(QMenu* File)
{
    // Above the existing items, with a separator of their own.
    QAction* First = File->actions().value(0);
    QAction* Open = AddMenuItem(File, QStringLiteral("打开报告(&O)…"), &TMainForm::OpenReportClick,
                                QStringLiteral("Ctrl+O"));
    FRecentMenu = new QMenu(QStringLiteral("最近打开(&R)"), File);
    FRecentMenu->setObjectName(QStringLiteral("RecentMenu"));
    File->insertAction(First, Open);
    File->insertMenu(First, FRecentMenu);
    File->insertSeparator(First);
    // Filled when it opens, so files deleted meanwhile are never offered.
    connect(FRecentMenu, &QMenu::aboutToShow, this, &TMainForm::RefreshRecentMenu);
}
