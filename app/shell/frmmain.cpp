#include "app/shell/frmmain.h"

#include "app/shell/framescrollbar.h"

#include "app/common/appstate.h"
#include "app/common/resources.h"
#include "app/common/settings.h"
#include "app/markers/markercontroller.h"
#include "app/shell/frmabout.h"
#include "app/shell/frmcalibdist.h"
#include "app/shell/frmkinematics.h"
#include "app/shell/frmoptions.h"
#include "app/shell/frmrecord.h"
#include "app/shell/helpwindow.h"
#include "app/shell/translateform.h"
#include "app/video/cihimport.h"
#include "app/video/videocontroller.h"
#include "components/engines/ui/settingsdialogs.h"
#include "control/cvviewctrl.h"
#include "platform/ui/dialogs.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include <algorithm>
#include <optional>
#include <utility>

// The icon resources live in this static library; the linker keeps them only when asked.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace shell {

using namespace common;

namespace {

using platform::LONG;
namespace ui = platform::ui;

// Room beside a status panel's text, in pixels, so that it never touches the next panel.
constexpr int kPanelSlack = 8;
// Room beside a table cell's text for the cell's margins, in pixels.
constexpr int kCellSlack = 12;

// Design-time sizes of the controls that the layout rule leaves in place, in pixels.
constexpr int kToolbarHeight = 32;
constexpr int kStatusBarHeight = 22;
constexpr int kScrollBarWidth = 380;

QIcon icon(const char *name) {
    return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
}

// A menu entry whose design-time caption is the German resource number of its text.
QAction *entry(QMenu *menu, const char *name, int number, bool checkable = false) {
    QAction *action = menu->addAction(QString::number(number));
    action->setObjectName(QLatin1String(name));
    action->setCheckable(checkable);
    return action;
}

QMenu *submenu(QWidget *owner, const char *name, int number) {
    auto *menu = new QMenu(QString::number(number), owner);
    menu->setObjectName(QLatin1String(name));
    return menu;
}

void separator(QMenu *menu, const char *name) {
    menu->addSeparator()->setObjectName(QLatin1String(name));
}

// The widgets the video part names, in one place. Every name has its row (the window's tests
// resolve all of them), so the host calls below never meet a missing widget.
constexpr std::pair<video::MenuEntry, QAction * frmMain::*> kVideoMenuEntries[] = {
    {video::MenuEntry::Loop, &frmMain::mnuPopupSLoop},
    {video::MenuEntry::PlayAtRecordingSpeed, &frmMain::mnuPopupSRealtime},
    {video::MenuEntry::FullFrames, &frmMain::mnuPopupSFullFrames},
    {video::MenuEntry::Fields, &frmMain::mnuPopupSFields},
    {video::MenuEntry::Jvc100, &frmMain::mnuPopupSJVC100},
    {video::MenuEntry::Jvc100Vertical, &frmMain::mnuPopupSJVC100vert},
    {video::MenuEntry::Jvc200, &frmMain::mnuPopupSJVC200},
    {video::MenuEntry::Mirror, &frmMain::mnuPopupSMirror},
    {video::MenuEntry::Rotate90, &frmMain::mnuPopupSRotate90},
    {video::MenuEntry::Rotate180, &frmMain::mnuPopupSRotate180},
    {video::MenuEntry::Rotate270, &frmMain::mnuPopupSRotate270},
};
// Toolbar buttons and status bar panels by their keys.
constexpr std::pair<video::ToolButton, const char *> kVideoToolButtons[] = {
    {video::ToolButton::Scale, "Scale"},     {video::ToolButton::Plus10, "Plus10"},
    {video::ToolButton::Minus10, "Minus10"}, {video::ToolButton::To100, "To100"},
    {video::ToolButton::FitView, "FitView"},
};
constexpr std::pair<video::StatusPanel, const char *> kVideoPanels[] = {
    {video::StatusPanel::Zoom, "Zoom"},
    {video::StatusPanel::Info, "Info"},
};

std::optional<video::ToolButton> videoToolButton(const QString &key) {
    for (const auto &[button, buttonKey] : kVideoToolButtons)
        if (key == QLatin1String(buttonKey))
            return button;
    return std::nullopt;
}

} // namespace

// Sees every key press of the application before its receiver, so that the video keys work
// wherever the focus is in the main window (the marker table would take Left, Right and
// Space for itself, a focused button Space).
class VideoKeyFilter : public QObject {
public:
    explicit VideoKeyFilter(frmMain *window) : QObject(window), m_window(window) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const auto *widget = static_cast<QWidget *>(watched);
        if (widget->window() != m_window)
            return false;
        return m_window->videoKey(static_cast<QKeyEvent *>(event), widget);
    }

private:
    frmMain *m_window;
};

frmMain::frmMain(std::function<LONG()> versionQuery, QWidget *parent) : QMainWindow(parent) {
    initIconResources();
    setObjectName(QStringLiteral("frmMain"));
    setProperty(kTagProperty, QStringLiteral("1000"));
    setWindowIcon(icon("orvane"));

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(m_client);
    m_client->installEventFilter(this);

    buildMenus();
    buildToolbar();
    buildSurface();
    // The views speak the interface's language in their own messages; by themselves they
    // start in German.
    for (quivex::CVViewCtrl *view : {qvxVideo, qvxHelper})
        view->SetLCID(static_cast<platform::LONG>(appState().UiLcid));
    buildStatusBar();

    applyMinimumSize();
    resize(minimumSize());
    // The load sequence reads the table's width, so the surface must be placed first.
    if (layout())
        layout()->activate();
    LayoutMainWindow();

    // The engines show their settings dialogs through the dialog seam.
    engines::installSettingsDialogs();
    // The load sequence may open a sequence from the command line, so the video part
    // must exist before it runs.
    m_video = std::make_unique<video::VideoController>(*this, appState());
    m_markers = std::make_unique<markers::MarkerController>(*this, appState(), m_objects);
    m_project = std::make_unique<ProjectCommands>(*this, appState(), *m_video, *m_markers);
    // Unsaved work goes to the recovery file at most once a minute (after playback too),
    // once a session was started (the program does, tests may).
    m_recoveryTimer = new QTimer(this);
    m_recoveryTimer->setInterval(60 * 1000);
    connect(m_recoveryTimer, &QTimer::timeout, this, [this] { m_project->saveRecovery(); });
    m_recoveryTimer->start();
    wireMarkers();
    m_keyFilter = new VideoKeyFilter(this);
    qApp->installEventFilter(m_keyFilter);
    MainWindowLoader loader(*this);
    if (versionQuery)
        loader.setVersionQuery(std::move(versionQuery));
    loader.load(m_objects);
    mnuPopupSRealtime->setChecked(appState().settings.PlayAtRecordingSpeed);
    mnuFileExportKinematics->setChecked(readExportKinematicsSetting(appState().IniFile));
    mnuAnalysisClick();
}

frmMain::~frmMain() {
    qApp->removeEventFilter(m_keyFilter);
    // The window reads the marker part, which goes before the children do.
    delete m_kinematics;
}

QIcon frmMain::imlIcons(int index) {
    initIconResources();
    switch (index) {
    case static_cast<int>(video::PlayPicture::Start):
        return icon("play");
    case static_cast<int>(video::PlayPicture::Stop):
        return icon("stop");
    case static_cast<int>(markers::MarkerIcon::PatternMatching):
        return icon("marker_pattern");
    case static_cast<int>(markers::MarkerIcon::Manual):
        return icon("marker_manual");
    case static_cast<int>(markers::MarkerIcon::MarkerTracking):
        return icon("marker_tracker");
    default:
        return {};
    }
}

void frmMain::buildMenus() {
    mnuFile = submenu(this, "mnuFile", 1500);
    mnuFileNew = entry(mnuFile, "mnuFileNew", 1517);
    mnuFileOpen = entry(mnuFile, "mnuFileOpen", 1526);
    mnuFileSaveAs = entry(mnuFile, "mnuFileSaveAs", 1527);
    mnuFileOpenvideo = entry(mnuFile, "mnuFileOpenvideo", 1501);
    mnuFileRecord = entry(mnuFile, "mnuFileRecord", 1538);
    separator(mnuFile, "mnuFileSep1");
    mnuFileExport = submenu(mnuFile, "mnuFileExport", 1512);
    mnuFile->addMenu(mnuFileExport);
    mnuFileExportXLS = entry(mnuFileExport, "mnuFileExportXLS", 1514);
    mnuFileExportTXT = entry(mnuFileExport, "mnuFileExportTXT", 1515);
    separator(mnuFileExport, "mnuFileExportSep1");
    mnuFileExportKinematics = entry(mnuFileExport, "mnuFileExportKinematics", 1550, true);
    mnuFileImport = submenu(mnuFile, "mnuFileImport", 1511);
    mnuFile->addMenu(mnuFileImport);
    mnuFileImportCIH = entry(mnuFileImport, "mnuFileImportCIH", 1536);
    separator(mnuFile, "mnuFileSep2");
    mnuFileQuit = entry(mnuFile, "mnuFileQuit", 1502);

    mnuEdit = submenu(this, "mnuEdit", 1503);
    mnuEditCopy = entry(mnuEdit, "mnuEditCopy", 1523);
    mnuEditTrackingSettings = entry(mnuEdit, "mnuEditTrackingSettings", 1516);
    separator(mnuEdit, "mnuEditSep1");
    mnuEditOptions = entry(mnuEdit, "mnuEditOptions", 1504);

    mnuAnalysis = submenu(this, "mnuAnalysis", 1548);
    mnuAnalysisKinematics = entry(mnuAnalysis, "mnuAnalysisKinematics", 1549);

    mnuHelp = submenu(this, "mnuHelp", 1506);
    mnuHelpContents = entry(mnuHelp, "mnuHelpContents", 1528);
    mnuHelpAbout = entry(mnuHelp, "mnuHelpAbout", 1507);

    menuBar()->addMenu(mnuFile);
    menuBar()->addMenu(mnuEdit);
    menuBar()->addMenu(mnuAnalysis);
    menuBar()->addMenu(mnuHelp);

    // The two popup menus are never part of the menu bar.
    mnuPopupQvxview = submenu(this, "mnuPopupQvxview", 0);
    mnuPopUpSNewMarker = entry(mnuPopupQvxview, "mnuPopUpSNewMarker", 1537);
    separator(mnuPopupQvxview, "mnuPopUpSSep3");
    mnuPopupSInfo = entry(mnuPopupQvxview, "mnuPopupSInfo", 1505);
    separator(mnuPopupQvxview, "mnuPopupSSep1");
    mnuPopupSScale = entry(mnuPopupQvxview, "mnuPopupSScale", 1509);
    mnuPopupSLoop = entry(mnuPopupQvxview, "mnuPopupSLoop", 1508, true);
    mnuPopupSRealtime = entry(mnuPopupQvxview, "mnuPopupSRealtime", 1063, true);
    separator(mnuPopupQvxview, "mnuPopupSep2");
    mnuPopupSFullFrames = entry(mnuPopupQvxview, "mnuPopupSFullFrames", 1606, true);
    mnuPopupSFields = entry(mnuPopupQvxview, "mnuPopupSFields", 1607, true);
    mnuPopupSJVC100 = entry(mnuPopupQvxview, "mnuPopupSJVC100", 1608, true);
    mnuPopupSJVC100vert = entry(mnuPopupQvxview, "mnuPopupSJVC100vert", 1609, true);
    mnuPopupSJVC200 = entry(mnuPopupQvxview, "mnuPopupSJVC200", 1610, true);
    separator(mnuPopupQvxview, "mnuPopupSSep2");
    mnuPopupSMirror = entry(mnuPopupQvxview, "mnuPopupSMirror", 1614, true);
    mnuPopupSRotate90 = entry(mnuPopupQvxview, "mnuPopupSRotate90", 1615, true);
    mnuPopupSRotate180 = entry(mnuPopupQvxview, "mnuPopupSRotate180", 1616, true);
    mnuPopupSRotate270 = entry(mnuPopupQvxview, "mnuPopupSRotate270", 1617, true);

    mnuPopUpListView = submenu(this, "mnuPopUpListView", 0);
    mnuPopUpListNewMarker = entry(mnuPopUpListView, "mnuPopUpListNewMarker", 1537);
    separator(mnuPopUpListView, "mnuPopupListSep2");
    mnuPopUpListLocalTrackSettings =
        entry(mnuPopUpListView, "mnuPopUpListLocalTrackSettings", 1518);
    mnuPopUpListChkPathAll = entry(mnuPopUpListView, "mnuPopUpListChkPathAll", 1519, true);
    mnuPopUpListChkPathMarker = entry(mnuPopUpListView, "mnuPopUpListChkPathMarker", 1520, true);
    mnuPopUpListChkManual = entry(mnuPopUpListView, "mnuPopUpListChkManual", 1522, true);
    mnuPopUpListColor = entry(mnuPopUpListView, "mnuPopUpListColor", 1521);
    separator(mnuPopUpListView, "mnuPopupListSep1");
    mnuPopupListDiscardAutotracked =
        entry(mnuPopUpListView, "mnuPopupListDiscardAutotracked", 1529);
    mnuPopUpListDelMarker = entry(mnuPopUpListView, "mnuPopUpListDelMarker", 1524);
    mnuPopUpListDelAllMarker = entry(mnuPopUpListView, "mnuPopUpListDelAllMarker", 1525);

    connect(mnuFile, &QMenu::aboutToShow, this, &frmMain::mnuFileClick);
    connect(mnuFileNew, &QAction::triggered, this, [this] { ResetProject(true); });
    connect(mnuFileOpen, &QAction::triggered, this, &frmMain::mnuFileOpenClick);
    connect(mnuFileSaveAs, &QAction::triggered, this, [this] { saveProjectAs(); });
    connect(mnuFileOpenvideo, &QAction::triggered, this,
            [this] { LoadVideo(true, appState().settings.DefVideoMode, 0.0f, 0); });
    connect(mnuFileRecord, &QAction::triggered, this, &frmMain::mnuFileRecordClick);
    connect(mnuFileExportXLS, &QAction::triggered, this, &frmMain::mnuFileExportXLSClick);
    connect(mnuFileExportTXT, &QAction::triggered, this, &frmMain::mnuFileExportTXTClick);
    connect(mnuFileImportCIH, &QAction::triggered, this, &frmMain::mnuFileImportCIHClick);
    connect(mnuFileExportKinematics, &QAction::triggered, this,
            &frmMain::mnuFileExportKinematicsClick);
    connect(mnuAnalysis, &QMenu::aboutToShow, this, &frmMain::mnuAnalysisClick);
    connect(mnuAnalysisKinematics, &QAction::triggered, this, &frmMain::mnuAnalysisKinematicsClick);
    connect(mnuFileQuit, &QAction::triggered, this, &QWidget::close);
    connect(mnuEditCopy, &QAction::triggered, this, &frmMain::mnuEditCopyClick);
    connect(mnuEditTrackingSettings, &QAction::triggered, this,
            &frmMain::mnuEditTrackingSettingsClick);
    connect(mnuEditOptions, &QAction::triggered, this, &frmMain::mnuEditOptionsClick);
    connect(mnuHelpContents, &QAction::triggered, this, &frmMain::mnuHelpContentsClick);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAboutClick);

    connect(mnuPopUpSNewMarker, &QAction::triggered, this, &frmMain::mnuPopUpSNewMarkerClick);
    connect(mnuPopupSInfo, &QAction::triggered, this, &frmMain::mnuPopupSInfoClick);
    connect(mnuPopupSScale, &QAction::triggered, this, &frmMain::mnuPopupSScaleClick);
    connect(mnuPopupSLoop, &QAction::triggered, this, &frmMain::mnuPopupSLoopClick);
    connect(mnuPopupSRealtime, &QAction::triggered, this,
            [this] { m_video->playback.setPacing(mnuPopupSRealtime->isChecked()); });
    const std::pair<QAction *, int> modes[] = {{mnuPopupSFullFrames, video::kModeFullFrames},
                                               {mnuPopupSFields, video::kModeFields},
                                               {mnuPopupSJVC100, video::kModeJvc100},
                                               {mnuPopupSJVC100vert, video::kModeJvc100Vertical},
                                               {mnuPopupSJVC200, video::kModeJvc200}};
    for (const auto &[action, mode] : modes)
        connect(action, &QAction::triggered, this, [this, m = mode] { applyVideoMode(m); });
    connect(mnuPopupSMirror, &QAction::triggered, this, &frmMain::mnuPopupSMirrorClick);
    const std::pair<QAction *, int> rotations[] = {{mnuPopupSRotate90, video::kRotate90},
                                                   {mnuPopupSRotate180, video::kRotate180},
                                                   {mnuPopupSRotate270, video::kRotate270}};
    for (const auto &[action, rotation] : rotations)
        connect(action, &QAction::triggered, this, [this, r = rotation] { rotateVideo(r); });

    connect(mnuPopUpListNewMarker, &QAction::triggered, this, &frmMain::mnuPopUpListNewMarkerClick);
    connect(mnuPopUpListLocalTrackSettings, &QAction::triggered, this,
            &frmMain::mnuPopUpListLocalTrackSettingsClick);
    // Qt has toggled these marks when `triggered` arrives; the commands take the new state.
    connect(mnuPopUpListChkPathAll, &QAction::triggered, this,
            &frmMain::mnuPopUpListChkPathAllClick);
    connect(mnuPopUpListChkPathMarker, &QAction::triggered, this,
            &frmMain::mnuPopUpListChkPathMarkerClick);
    connect(mnuPopUpListChkManual, &QAction::triggered, this, &frmMain::mnuPopUpListChkManualClick);
    connect(mnuPopUpListColor, &QAction::triggered, this, &frmMain::mnuPopUpListColorClick);
    connect(mnuPopupListDiscardAutotracked, &QAction::triggered, this,
            &frmMain::mnuPopupListDiscardAutotrackedClick);
    connect(mnuPopUpListDelMarker, &QAction::triggered, this, &frmMain::mnuPopUpListDelMarkerClick);
    connect(mnuPopUpListDelAllMarker, &QAction::triggered, this,
            &frmMain::mnuPopUpListDelAllMarkerClick);
}

void frmMain::buildToolbar() {
    tbToolbar = new QToolBar(m_client);
    tbToolbar->setObjectName(QStringLiteral("tbToolbar"));
    tbToolbar->setMovable(false);
    tbToolbar->setFloatable(false);
    tbToolbar->setIconSize(QSize(24, 24));
    tbToolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    struct Button {
        const char *key;
        const char *picture;
        int toolTip; // German resource number; 0 for none
    };
    // Groups, left to right, separated on the bar.
    const std::vector<std::vector<Button>> groups = {
        {{"New", "new", 1020}, {"Open", "open", 1037}, {"SaveAs", "saveas", 1038}},
        {{"LoadVideo", "loadvideo", 1021}, {"Scale", "scale", 1022}},
        {{"Plus10", "plus10", 1023},
         {"Minus10", "minus10", 1024},
         {"To100", "to100", 1025},
         {"FitView", "fitview", 1026}},
    };
    for (const auto &group : groups) {
        if (!m_buttons.empty())
            tbToolbar->addSeparator();
        for (const Button &b : group) {
            const QString key = QLatin1String(b.key);
            auto *action = new QAction(icon(b.picture), key, tbToolbar);
            action->setObjectName(QStringLiteral("tbToolbar_") + key);
            action->setToolTip(QString::number(b.toolTip));
            tbToolbar->addAction(action);
            connect(action, &QAction::triggered, this, [this, key] { tbToolbarButtonClick(key); });
            m_buttons[key] = action;
        }
    }
    tbToolbar->addSeparator();

    // The "Helper" placeholder reserves the bar's room for the frame scroll bar and the
    // playback buttons; a click on the placeholder itself does nothing.
    auto *helper = new QWidget(tbToolbar);
    helper->setObjectName(QStringLiteral("tbToolbar_Helper"));
    auto *row = new QHBoxLayout(helper);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(2);
    const auto playbackButton = [helper](const char *name, const QIcon &picture, int toolTip) {
        auto *button = new QToolButton(helper);
        button->setObjectName(QLatin1String(name));
        button->setIcon(picture);
        button->setIconSize(QSize(20, 20));
        button->setAutoRaise(true);
        button->setProperty(kToolTipProperty, QString::number(toolTip));
        return button;
    };
    btnBack = playbackButton("btnBack", icon("rewind"), 1027);
    btnPlay =
        playbackButton("btnPlay", imlIcons(static_cast<int>(video::PlayPicture::Start)), 1029);
    btnSkip = playbackButton("btnSkip", icon("forward"), 1028);
    hscScroll = new FrameScrollBar(Qt::Horizontal, helper);
    hscScroll->setObjectName(QStringLiteral("hscScroll"));
    hscScroll->setFixedWidth(kScrollBarWidth);
    hscScroll->setRange(0, 0);
    row->addWidget(btnBack);
    row->addWidget(btnPlay);
    row->addWidget(btnSkip);
    row->addSpacing(6);
    row->addWidget(hscScroll);
    QAction *placeholder = tbToolbar->addWidget(helper);
    placeholder->setObjectName(QStringLiteral("tbToolbar_HelperAction"));
    m_buttons[QStringLiteral("Helper")] = placeholder;

    connect(btnBack, &QToolButton::clicked, this, &frmMain::btnBackClick);
    connect(btnPlay, &QToolButton::clicked, this, &frmMain::btnPlayClick);
    connect(btnSkip, &QToolButton::clicked, this, &frmMain::btnSkipClick);
    connect(hscScroll, &QScrollBar::valueChanged, this, [this] { OnFrameChanged(); });

    // Nothing to zoom, calibrate or play before a video is open.
    for (const auto &[button, key] : kVideoToolButtons)
        toolbarButton(button)->setEnabled(false);
    for (QWidget *w : std::initializer_list<QWidget *>{btnBack, btnPlay, btnSkip, hscScroll})
        w->setEnabled(false);
}

void frmMain::buildSurface() {
    fraVideo = new QGroupBox(m_client);
    fraVideo->setObjectName(QStringLiteral("fraVideo"));

    // The working view and the hidden probe are siblings of the frame, placed over it.
    qvxVideo = new quivex::CVViewCtrl(m_client);
    qvxVideo->setObjectName(QStringLiteral("qvxVideo"));
    qvxVideo->raise();
    qvxVideo->installEventFilter(this); // the mouse wheel zooms
    qvxHelper = new quivex::CVViewCtrl(m_client);
    qvxHelper->setObjectName(QStringLiteral("qvxHelper"));
    qvxHelper->hide();
    m_workingView = std::make_unique<ViewCtrlAdapter>(*qvxVideo);
    m_helperView = std::make_unique<ViewCtrlAdapter>(*qvxHelper);

    fraRight = new QGroupBox(QStringLiteral("1015"), m_client);
    fraRight->setObjectName(QStringLiteral("fraRight"));
    fraRight->setProperty(kTagProperty, QStringLiteral("1015"));

    imgLupe = new QLabel(fraRight);
    imgLupe->setObjectName(QStringLiteral("imgLupe"));
    imgLupe->setScaledContents(true);
    imgLupe->setFrameShape(QFrame::StyledPanel);
    imgLupe->setFrameShadow(QFrame::Sunken);
    imgLupe->setAutoFillBackground(true);
    QPalette lupe = imgLupe->palette();
    lupe.setColor(QPalette::Window, lupe.color(QPalette::Base));
    imgLupe->setPalette(lupe);

    lvwPoints = new MarkerTableWidget(fraRight);
    lvwPoints->setObjectName(QStringLiteral("lvwPoints"));
    lvwPoints->setRootIsDecorated(false);
    lvwPoints->setUniformRowHeights(true);
    lvwPoints->setIconSize(QSize(16, 16));
    lvwPoints->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwPoints->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwPoints->setColumnCount(0);
    lvwPoints->header()->setStretchLastSection(false);
    // The table's popup follows its mouse release (see eventFilter), not Qt's context menu.
    lvwPoints->setContextMenuPolicy(Qt::NoContextMenu);
    lvwPoints->viewport()->installEventFilter(this);
}

void frmMain::wireMarkers() {
    markers::MarkerMouse &mouse = m_markers->mouse;
    connect(qvxVideo, &quivex::CVViewCtrl::SpecialMouseDown, this,
            std::bind_front(&markers::MarkerMouse::SpecialMouseDown, &mouse));
    connect(qvxVideo, &quivex::CVViewCtrl::SpecialMouseMove, this,
            std::bind_front(&markers::MarkerMouse::SpecialMouseMove, &mouse));
    connect(qvxVideo, &quivex::CVViewCtrl::SpecialMouseUp, this,
            std::bind_front(&markers::MarkerMouse::SpecialMouseUp, &mouse));
    connect(lvwPoints, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        const int row = lvwPoints->indexOfTopLevelItem(item);
        if (row >= 0)
            m_markers->mouse.tableItemClick(row);
    });
}

void frmMain::buildStatusBar() {
    sbStatusbar = new QStatusBar(m_client);
    sbStatusbar->setObjectName(QStringLiteral("sbStatusbar"));
    sbStatusbar->setSizeGripEnabled(true);
    for (const char *key : {"Zoom", "Info"}) {
        auto *panel = new QLabel(sbStatusbar);
        panel->setObjectName(QLatin1String(key));
        // Panels have a fixed size: during playback the texts change with every frame,
        // and a label that may resize makes the status bar lay itself out again each time.
        panel->setText(QStringLiteral("0"));
        panel->setFixedSize(qstrcmp(key, "Zoom") == 0 ? 110 : 260, panel->sizeHint().height());
        panel->clear();
        sbStatusbar->addWidget(panel);
        m_panels[QLatin1String(key)] = panel;
    }
    m_productPanel = new QLabel(productTitle(), sbStatusbar);
    m_productPanel->setObjectName(QStringLiteral("Product"));
    sbStatusbar->addPermanentWidget(m_productPanel);
}

QAction *frmMain::toolbarButton(const QString &key) const {
    const auto it = m_buttons.find(key);
    return it == m_buttons.end() ? nullptr : it->second;
}

QLabel *frmMain::statusPanel(const QString &key) const {
    const auto it = m_panels.find(key);
    return it == m_panels.end() ? nullptr : it->second;
}

QAction *frmMain::toolbarButton(video::ToolButton button) const {
    for (const auto &[b, key] : kVideoToolButtons)
        if (b == button)
            return toolbarButton(QLatin1String(key));
    return nullptr;
}

QLabel *frmMain::statusPanel(video::StatusPanel panel) const {
    for (const auto &[p, key] : kVideoPanels)
        if (p == panel)
            return statusPanel(QLatin1String(key));
    return nullptr;
}

QAction *frmMain::popupEntry(video::MenuEntry entry) const {
    for (const auto &[e, member] : kVideoMenuEntries)
        if (e == entry)
            return this->*member;
    return nullptr;
}

void frmMain::applyMinimumSize() {
    // The rule fixes the outer size; the window manager's frame is not ours to size, so
    // the smallest inner size leaves room for it.
    const QSize frame = frameGeometry().size() - geometry().size();
    setMinimumSize(minimumOuterSize() - frame.expandedTo(QSize(0, 0)));
}

void frmMain::LayoutMainWindow() {
    if (isMinimized() || !m_client)
        return;
    const QSize inner = m_client->size();
    tbToolbar->setGeometry(0, 0, inner.width(), kToolbarHeight);
    sbStatusbar->setGeometry(0, inner.height() - kStatusBarHeight, inner.width(), kStatusBarHeight);

    const MainLayout l = layoutMainWindow(inner, kMagnifierSize);
    fraVideo->setGeometry(l.fraVideo);
    qvxVideo->setGeometry(l.qvxVideo);
    fraRight->setGeometry(l.fraRight);
    imgLupe->setGeometry(l.imgLupe);
    lvwPoints->setGeometry(l.lvwPoints);
    setMarkerColumnWidths();
    if (m_markers)
        m_markers->table.paintRowBands();
}

void frmMain::setMarkerColumnWidths() {
    if (lvwPoints->columnCount() != 4)
        return;
    const auto widths = markerColumnWidths(markerTableWidth());
    for (int c = 0; c < 4; ++c)
        lvwPoints->header()->resizeSection(c, roundHalfEven(double(widths[c]) / kTwipsPerPixel));
}

void frmMain::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    if (isMinimized())
        return;
    applyMinimumSize();
    const QSize outer = frameGeometry().size();
    const QSize wanted = clampOuterSize(outer);
    if (wanted != outer)
        resize(size() + (wanted - outer));
}

bool frmMain::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_client && event->type() == QEvent::Resize)
        LayoutMainWindow();
    if (watched == qvxVideo && event->type() == QEvent::Wheel) {
        // Fine-grained wheels and touchpads send parts of a notch: they add up to whole ones.
        const auto *wheel = static_cast<QWheelEvent *>(event);
        m_wheelRemainder += wheel->angleDelta().y();
        const int steps = m_wheelRemainder / 120;
        m_wheelRemainder -= steps * 120;
        if (steps != 0)
            m_video->modes.zoomAt(steps, wheel->position().toPoint());
        return true;
    }
    if (m_markers && lvwPoints && watched == lvwPoints->viewport() &&
        event->type() == QEvent::MouseButtonRelease) {
        const auto *release = static_cast<QMouseEvent *>(event);
        const LONG button = release->button() == Qt::RightButton  ? markers::kRight
                            : release->button() == Qt::LeftButton ? markers::kLeft
                                                                  : 0;
        const bool overRow = lvwPoints->itemAt(release->position().toPoint()) != nullptr;
        m_markers->mouse.tableMouseUp(button, overRow);
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent *event) {
    if (appState().IsPlaying)
        StopPlayback();
    if (appState().settings.ShowExitMsg) {
        const int answer = ui::dialogs().messageBox(this, res(1054), productTitle(),
                                                    ui::YesNoCancel + ui::Question);
        // Anything but Yes or No (Cancel, a closed box) keeps the window open.
        if (answer != ui::Yes && answer != ui::No) {
            event->ignore();
            return;
        }
        // A save the user cancelled, or one that failed, must not end in a close that loses
        // the work.
        if (answer == ui::Yes && saveProjectAs() != SaveOutcome::Saved) {
            event->ignore();
            return;
        }
    }
    // A clean end: nothing is left to recover.
    m_project->endSession();
    if (m_kinematics)
        m_kinematics->close();
    event->accept();
}

// --- MainWindowHost ----------------------------------------------------------------------

void frmMain::setGraphicItems(const platform::ComPtr<platform::IUnknown> &items) {
    qvxVideo->SetGraphicItems(items);
}

void frmMain::setOverlayDefaults() {
    qvxVideo->SetPointsVisible(platform::TRUE_);
    qvxVideo->SetConnectionsVisible(platform::TRUE_);
    qvxVideo->SetOverlayFlags(0);
}

// The column rule works in twips, as the table's width did.
int frmMain::markerTableWidth() {
    return lvwPoints->width() * kTwipsPerPixel;
}

void frmMain::addMarkerColumn(const QString &key, const QString &text, int width) {
    const int column = lvwPoints->columnCount();
    lvwPoints->setColumnCount(column + 1);
    lvwPoints->headerItem()->setText(column, text);
    lvwPoints->headerItem()->setData(column, Qt::UserRole + 1, key);
    lvwPoints->header()->resizeSection(column, roundHalfEven(double(width) / kTwipsPerPixel));
}

// --- Commands ----------------------------------------------------------------------------

void frmMain::tbToolbarButtonClick(const QString &key) {
    if (key == QLatin1String("New"))
        ResetProject(true);
    else if (key == QLatin1String("Open"))
        mnuFileOpenClick();
    else if (key == QLatin1String("SaveAs"))
        saveProjectAs();
    else if (key == QLatin1String("LoadVideo"))
        LoadVideo(true, appState().settings.DefVideoMode, 0.0f, 0);
    else if (key == QLatin1String("Scale"))
        mnuPopupSScaleClick();
    else if (const std::optional<video::ToolButton> button = videoToolButton(key))
        m_video->modes.toolbarZoom(*button); // the zoom buttons
    // "Helper" and unknown keys: nothing.
}

void frmMain::mnuFileClick() {
    mnuFileExport->setEnabled(lvwPoints->topLevelItemCount() > 0);
    // The settings file may have been edited since: the mark shows what the exports will do.
    mnuFileExportKinematics->setChecked(readExportKinematicsSetting(appState().IniFile));
}

void frmMain::mnuFileExportKinematicsClick() {
    // Qt has turned the mark over; a setting that cannot be written turns it back, so the
    // mark never claims columns the exports will not write.
    const bool on = mnuFileExportKinematics->isChecked();
    if (!writeExportKinematicsSetting(appState().IniFile, on)) {
        mnuFileExportKinematics->setChecked(!on);
        ui::dialogs().messageBox(this, res(1056) + u'\n' + appState().IniFile, productTitle(),
                                 ui::Critical);
    }
}

void frmMain::mnuAnalysisClick() {
    mnuAnalysisKinematics->setEnabled(lvwPoints->topLevelItemCount() > 0);
}

void frmMain::mnuAnalysisKinematicsClick() {
    if (!m_kinematics)
        m_kinematics = new frmKinematics(*m_markers, hscScroll, this);
    if (m_kinematics->isVisible())
        m_kinematics->refresh();
    m_kinematics->show();
    m_kinematics->raise();
    m_kinematics->activateWindow();
}

void frmMain::mnuFileExportTXTClick() {
    m_markers->textExport.exportWithDialog();
}

void frmMain::mnuEditCopyClick() {
    qvxVideo->Copy();
}

void frmMain::mnuEditTrackingSettingsClick() {
    if (engines::IPatternMatcher *matcher = m_markers->patternMatcher())
        matcher->Settings();
}

void frmMain::mnuEditOptionsClick() {
    frmOptions options(this);
    ui::dialogs().exec(options);
}

void frmMain::mnuHelpContentsClick() {
    const QString file = appState().HelpFile;
    if (file.isEmpty()) {
        ui::dialogs().messageBox(this, res(1039), productTitle(), ui::Information);
        return;
    }
    QString error;
    if (!helpViewer().showHelp(this, file, &error))
        ui::dialogs().messageBox(this, error, productTitle(), ui::OkOnly);
}

void frmMain::mnuHelpAboutClick() {
    frmAbout about(this);
    ui::dialogs().exec(about);
}

void frmMain::mnuPopupSLoopClick() {
    // Qt has turned the mark over before `triggered` arrives; the loop toggle turns it itself.
    mnuPopupSLoop->setChecked(!mnuPopupSLoop->isChecked());
    m_video->playback.ToggleLoop();
}

void frmMain::StopPlayback() {
    m_video->playback.StopPlayback();
}

// Video loading, navigation, modes, markers, calibration and projects are built by their
// own work; until then their entries and buttons reach these and nothing happens.
void frmMain::ResetProject(bool ask) {
    m_video->loader.ResetProject(ask);
}
void frmMain::LoadVideo(bool showDialog, int mode, float frameRate, int fileCount) {
    m_video->loader.LoadVideo(showDialog, mode, frameRate, fileCount);
}
void frmMain::ZoomChange(int zoom) {
    m_video->modes.ZoomChange(zoom);
}
void frmMain::FitZoomToView() {
    m_video->modes.FitZoomToView();
}
void frmMain::OnFrameChanged() {
    m_video->playback.OnFrameChanged();
}
void frmMain::UpdateStatusBar() {
    m_video->playback.UpdateStatusBar();
}
void frmMain::UpdateFrameMarkers() {
    m_markers->pass.UpdateFrameMarkers();
}
SaveOutcome frmMain::saveProjectAs() {
    return m_project->saveAs();
}
void frmMain::mnuFileRecordClick() {
    platform::ui::FileDialogRequest request;
    request.title = res(1539);
    request.filter = res(1545);
    request.fileName = QStringLiteral("capture.avi");
    request.mustExist = false;
    const std::optional<QString> file = platform::ui::dialogs().saveFile(this, request);
    if (!file)
        return;
    frmRecord recorder(*file, this);
    if (!recorder.startLive())
        return;
    if (platform::ui::dialogs().exec(recorder) != QDialog::Accepted ||
        recorder.recordedFrames() <= 0)
        return;
    appState().VideoFile = *file;
    LoadVideo(false, appState().settings.DefVideoMode, 0.0f, 0);
}

void frmMain::mnuFileOpenClick() {
    m_project->openWithDialog();
}
void frmMain::mnuFileExportXLSClick() {
    m_markers->spreadsheetExport.exportWithDialog();
}
void frmMain::mnuFileImportCIHClick() {
    // Every failure has shown its message already; a loaded recording reports like any open.
    video::CihImport::importWithDialog(*this, appState(), m_video->loader);
}
void frmMain::mnuPopUpSNewMarkerClick() {
    m_markers->commands.SetNewMarker();
}
void frmMain::mnuPopupSInfoClick() {
    m_video->loader.showVideoInfo();
}
void frmMain::mnuPopupSScaleClick() {
    frmCalibDist dialog(m_markers->calibrator, this);
    ui::dialogs().exec(dialog);
}
void frmMain::applyVideoMode(int mode) {
    m_video->modes.ApplyVideoMode(mode);
}
void frmMain::mnuPopupSMirrorClick() {
    m_video->modes.ToggleMirror();
}
void frmMain::rotateVideo(int rotation) {
    m_video->modes.Rotate(rotation);
}
void frmMain::mnuPopUpListNewMarkerClick() {
    m_markers->commands.SetNewMarker();
}
void frmMain::mnuPopUpListLocalTrackSettingsClick() {
    m_markers->commands.LocalTrackingSettings();
}
void frmMain::mnuPopUpListChkPathAllClick() {
    m_markers->commands.ShowAllPaths(mnuPopUpListChkPathAll->isChecked());
}
void frmMain::mnuPopUpListChkPathMarkerClick() {
    m_markers->commands.ShowPathForMarker(mnuPopUpListChkPathMarker->isChecked());
}
void frmMain::mnuPopUpListChkManualClick() {
    m_markers->commands.TrackManually();
}
void frmMain::mnuPopUpListColorClick() {
    m_markers->commands.ChooseColor();
}
void frmMain::mnuPopupListDiscardAutotrackedClick() {
    if (const auto marker = m_markers->table.selectedMarker())
        m_markers->commands.DiscardFollowingValues(*marker);
}
void frmMain::mnuPopUpListDelMarkerClick() {
    m_markers->commands.DeleteMarker();
}
void frmMain::mnuPopUpListDelAllMarkerClick() {
    m_markers->commands.DeleteAllMarkers();
}
void frmMain::btnPlayClick() {
    m_video->playback.Play();
}
void frmMain::btnSkipClick() {
    m_video->playback.FastForward();
}
void frmMain::btnBackClick() {
    m_video->playback.Rewind();
}

// --- VideoHost ---------------------------------------------------------------------------

int frmMain::scrollValue() {
    return hscScroll->value();
}
int frmMain::scrollMinimum() {
    return hscScroll->minimum();
}
int frmMain::scrollMaximum() {
    return hscScroll->maximum();
}
void frmMain::setScrollRange(int minimum, int maximum) {
    hscScroll->setRange(minimum, maximum);
}
void frmMain::setScrollValue(int value) {
    hscScroll->setValue(value);
}
void frmMain::setScrollEnabled(bool enabled) {
    hscScroll->setEnabled(enabled);
}
void frmMain::setPlaybackButtonsEnabled(bool enabled) {
    for (QToolButton *button : {btnPlay, btnSkip, btnBack})
        button->setEnabled(enabled);
}
void frmMain::setPlayButtonImage(video::PlayPicture picture) {
    btnPlay->setIcon(imlIcons(static_cast<int>(picture)));
}
void frmMain::setToolbarButtonEnabled(video::ToolButton button, bool enabled) {
    toolbarButton(button)->setEnabled(enabled);
}
void frmMain::setMenuChecked(video::MenuEntry entry, bool checked) {
    popupEntry(entry)->setChecked(checked);
}
bool frmMain::menuChecked(video::MenuEntry entry) {
    return popupEntry(entry)->isChecked();
}
void frmMain::setMenuEnabled(video::MenuEntry entry, bool enabled) {
    popupEntry(entry)->setEnabled(enabled);
}
void frmMain::setStatusPanelText(video::StatusPanel which, const QString &text) {
    QLabel *panel = statusPanel(which);
    // A text wider than its panel (a long translation) widens the panel once; the panel
    // never shrinks, so the status bar does not jitter while the numbers change.
    // Measuring shapes the text, so it is done only for texts longer than any seen before
    // in this panel; the slack absorbs the small width differences of equally long texts.
    qsizetype &longest = m_panelLongestText[panel];
    if (text.size() > longest) {
        longest = text.size();
        const int needed = panel->fontMetrics().horizontalAdvance(text) + 2 * panel->margin() +
                           2 * panel->frameWidth() + kPanelSlack;
        if (needed > panel->width())
            panel->setFixedWidth(needed);
    }
    panel->setText(text);
}
void frmMain::setVideoCaption(const QString &caption) {
    fraVideo->setTitle(caption);
}
void frmMain::clearMagnifier() {
    imgLupe->clear();
}
void frmMain::setPointer(Qt::CursorShape shape) {
    setCursor(shape);
}
void frmMain::processEvents() {
    QApplication::processEvents();
}
void frmMain::discardMarkers() {
    m_markers->discardMarkers();
    m_project->projectReset();
}
void frmMain::playbackEnded() {
    m_project->saveRecovery();
}
// While a long file is indexed the window stays responsive behind a modal progress box;
// its Cancel abandons the open.
void frmMain::beginLongOperation(const QString &text) {
    delete m_progress;
    m_progress = new QProgressDialog(this); // with Qt's own Cancel button
    m_progress->setLabelText(text);
    m_progress->setRange(0, 1000);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(300);
    m_progress->setValue(0);
}
bool frmMain::longOperationProgress(double fraction) {
    if (!m_progress)
        return true;
    m_progress->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 999));
    return !m_progress->wasCanceled();
}
void frmMain::endLongOperation() {
    delete m_progress;
    m_progress = nullptr;
}

// --- MarkersHost -------------------------------------------------------------------------

namespace {
// The row's tag lives in the first column's data, as text.
constexpr int kTagRole = Qt::UserRole;
} // namespace

QTreeWidgetItem *frmMain::rowItem(int row) const {
    return lvwPoints->topLevelItem(row);
}
int frmMain::rowCount() {
    return lvwPoints->topLevelItemCount();
}
int frmMain::addRow(const QString &text, markers::MarkerIcon icon) {
    auto *item = new QTreeWidgetItem(lvwPoints, QStringList{text});
    item->setIcon(0, imlIcons(static_cast<int>(icon)));
    return lvwPoints->indexOfTopLevelItem(item);
}
void frmMain::removeRow(int row) {
    delete lvwPoints->takeTopLevelItem(row);
}
void frmMain::clearRows() {
    lvwPoints->clear();
    m_cellLongestText.clear();
}
QString frmMain::rowText(int row) {
    const QTreeWidgetItem *item = rowItem(row);
    return item ? item->text(0) : QString();
}
void frmMain::setRowText(int row, const QString &text) {
    if (QTreeWidgetItem *item = rowItem(row)) {
        item->setText(0, text);
        fitColumn(0, text);
    }
}
void frmMain::setRowIcon(int row, markers::MarkerIcon icon) {
    if (QTreeWidgetItem *item = rowItem(row))
        item->setIcon(0, imlIcons(static_cast<int>(icon)));
}
QString frmMain::rowTag(int row) {
    const QTreeWidgetItem *item = rowItem(row);
    return item ? item->data(0, kTagRole).toString() : QString();
}
void frmMain::setRowTag(int row, const QString &tag) {
    if (QTreeWidgetItem *item = rowItem(row); item && item->data(0, kTagRole).toString() != tag)
        item->setData(0, kTagRole, tag);
}
QString frmMain::cellText(int row, markers::Column column) {
    const QTreeWidgetItem *item = rowItem(row);
    return item ? item->text(static_cast<int>(column)) : QString();
}
void frmMain::setCellText(int row, markers::Column column, const QString &text) {
    // Unchanged texts are left alone: every set repaints the row, and a pass rewrites all.
    QTreeWidgetItem *item = rowItem(row);
    const int c = static_cast<int>(column);
    if (!item || item->text(c) == text)
        return;
    item->setText(c, text);
    fitColumn(c, text);
}
// A text wider than its column (a calibrated "-123.45" where whole pixels were, an "M-"
// name) widens the column, so that nothing is cut; measured only for texts longer than any
// before in that column.
void frmMain::fitColumn(int column, const QString &text) {
    qsizetype &longest = m_cellLongestText[column];
    if (text.size() <= longest)
        return;
    longest = text.size();
    // The first column also holds the row's icon.
    const int icon = column == 0 ? lvwPoints->iconSize().width() + kCellSlack : 0;
    const int needed = lvwPoints->fontMetrics().horizontalAdvance(text) + kCellSlack + icon;
    if (needed > lvwPoints->header()->sectionSize(column))
        lvwPoints->header()->resizeSection(column, needed);
}
int frmMain::selectedRow() {
    const QList<QTreeWidgetItem *> selected = lvwPoints->selectedItems();
    return selected.isEmpty() ? -1 : lvwPoints->indexOfTopLevelItem(selected.front());
}
void frmMain::selectRow(int row) {
    if (QTreeWidgetItem *item = rowItem(row)) {
        lvwPoints->clearSelection();
        lvwPoints->setCurrentItem(item);
        item->setSelected(true);
    }
}
void frmMain::clearSelection() {
    lvwPoints->clearSelection();
}
void frmMain::setRowBands(const std::vector<QColor> &bands) {
    lvwPoints->setRowBands(bands);
}
void frmMain::autoSizeColumns() {
    for (int c = 0; c < lvwPoints->columnCount(); ++c)
        lvwPoints->resizeColumnToContents(c);
    m_cellLongestText.clear();
}
void frmMain::showMagnifier(const platform::ComPtr<platform::IPicture> &picture) {
    const platform::ImageView v = picture ? picture->image() : platform::ImageView{};
    if (v.empty() || v.format != platform::PixelFormat::Bgra32) {
        imgLupe->clear();
        return;
    }
    imgLupe->setPixmap(QPixmap::fromImage(
        QImage(v.data, v.width, v.height, v.stride, QImage::Format_RGB32).copy()));
}
void frmMain::showPopup(markers::Popup popup) {
    QMenu *menu = popup == markers::Popup::Video ? mnuPopupQvxview : mnuPopUpListView;
    menu->popup(QCursor::pos());
}
QAction *frmMain::tableEntry(markers::TableEntry entry) const {
    switch (entry) {
    case markers::TableEntry::ShowAllPaths:
        return mnuPopUpListChkPathAll;
    case markers::TableEntry::ShowPathForMarker:
        return mnuPopUpListChkPathMarker;
    case markers::TableEntry::TrackManually:
        return mnuPopUpListChkManual;
    }
    return nullptr;
}
void frmMain::setTableEntryChecked(markers::TableEntry entry, bool checked) {
    if (QAction *action = tableEntry(entry))
        action->setChecked(checked);
}
void frmMain::setTableEntryEnabled(markers::TableEntry entry, bool enabled) {
    if (QAction *action = tableEntry(entry))
        action->setEnabled(enabled);
}

void frmMain::keyPressEvent(QKeyEvent *event) {
    m_video->playback.keyDown(event->modifiers().testFlag(Qt::ShiftModifier));
    if (!videoKey(event, this))
        QMainWindow::keyPressEvent(event);
}

namespace {
bool editsText(const QWidget *w) {
    if (qobject_cast<const QLineEdit *>(w) || qobject_cast<const QTextEdit *>(w) ||
        qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QAbstractSpinBox *>(w))
        return true;
    const auto *combo = qobject_cast<const QComboBox *>(w);
    return combo && combo->isEditable();
}
} // namespace

bool frmMain::videoKey(QKeyEvent *event, const QWidget *receiver) {
    if (!video::Playback::isNavigationKey(event->key()))
        return false;
    // Keys with Ctrl or Alt are someone else's; so are keys for a text being edited.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    if (editsText(receiver) || editsText(QApplication::focusWidget()))
        return false;
    return m_video->playback.navigationKey(event->key());
}
void frmMain::keyReleaseEvent(QKeyEvent *event) {
    m_video->playback.keyUp();
    QMainWindow::keyReleaseEvent(event);
}

} // namespace shell
