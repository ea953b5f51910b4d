// The main window: toolbar, the video view with its frame, the points frame with the
// magnifier and the marker table, the status bar, the menus and both popup menus. It owns
// the tracking engines, the overlay item collection and the five marker data sets.
#pragma once

#include "app/markers/markershost.h"
#include "app/shell/layout.h"
#include "app/shell/markertablewidget.h"
#include "app/shell/projectcommands.h"
#include "app/shell/startup.h"
#include "app/shell/viewctrladapter.h"
#include "app/video/videohost.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressDialog;
class QScrollBar;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTimer;
class QTreeWidgetItem;

namespace quivex {
class CVViewCtrl;
}

namespace video {
class VideoController;
}

namespace markers {
class MarkerController;
}

namespace shell {

class VideoKeyFilter;
class frmKinematics;

class frmMain : public QMainWindow,
                public MainWindowHost,
                public video::VideoHost,
                public markers::MarkersHost {
public:
    // Builds the window and runs the load sequence. `versionQuery` replaces the graphics
    // version check (tests); empty asks the kernel.
    explicit frmMain(std::function<platform::LONG()> versionQuery = {}, QWidget *parent = nullptr);
    ~frmMain() override;

    // Pictures of the image list `imlIcons` by index: the play button's (video::PlayPicture)
    // and the marker table's (markers::MarkerIcon). Others give a null icon.
    static QIcon imlIcons(int index);

    // --- The layout rule, run on every resize while the window is not minimised. ---
    void LayoutMainWindow();

    // --- Commands of later work (video, navigation, markers, calibration, projects). ---
    void ResetProject(bool ask);
    void LoadVideo(bool showDialog, int mode, float frameRate, int fileCount) override;
    void ZoomChange(int zoom);
    void FitZoomToView();
    void StopPlayback();
    void OnFrameChanged();
    void UpdateStatusBar();
    // The project save of File > Save as and of the exit question.
    virtual SaveOutcome saveProjectAs();
    // Projects and the recovery of unsaved work.
    ProjectCommands &projects() { return *m_project; }

    // --- Menu, toolbar and button handlers. ---
    void tbToolbarButtonClick(const QString &key);
    void mnuFileClick(); // before the File menu opens
    void mnuFileOpenClick();
    void mnuFileExportXLSClick();
    void mnuFileExportTXTClick();
    void mnuFileImportCIHClick();
    // File > Export > With velocities and accelerations: the `ExportKinematics` setting.
    void mnuFileExportKinematicsClick();
    void mnuAnalysisClick(); // before the Analysis menu opens
    // Opens the Kinematics window (one, made on first use) or brings it to the front.
    void mnuAnalysisKinematicsClick();
    // Records from a camera into a file the user names, then opens the recording.
    void mnuFileRecordClick();
    void mnuEditCopyClick();
    void mnuEditTrackingSettingsClick();
    void mnuEditOptionsClick();
    void mnuHelpContentsClick();
    void mnuHelpAboutClick();
    void mnuPopUpSNewMarkerClick();
    void mnuPopupSInfoClick();
    void mnuPopupSScaleClick();
    void mnuPopupSLoopClick();
    void applyVideoMode(int mode);
    void mnuPopupSMirrorClick();
    void rotateVideo(int rotation);
    void mnuPopUpListNewMarkerClick();
    void mnuPopUpListLocalTrackSettingsClick();
    void mnuPopUpListChkPathAllClick();
    void mnuPopUpListChkPathMarkerClick();
    void mnuPopUpListChkManualClick();
    void mnuPopUpListColorClick();
    void mnuPopupListDiscardAutotrackedClick();
    void mnuPopUpListDelMarkerClick();
    void mnuPopUpListDelAllMarkerClick();
    void btnPlayClick();
    void btnSkipClick();
    void btnBackClick();

    // --- Controls, by their names. ---
    quivex::CVViewCtrl *qvxVideo = nullptr;
    quivex::CVViewCtrl *qvxHelper = nullptr; // hidden; probes a video's size
    QGroupBox *fraVideo = nullptr;
    QGroupBox *fraRight = nullptr;
    QLabel *imgLupe = nullptr;
    MarkerTableWidget *lvwPoints = nullptr;
    QToolBar *tbToolbar = nullptr;
    QScrollBar *hscScroll = nullptr;
    QToolButton *btnBack = nullptr;
    QToolButton *btnPlay = nullptr;
    QToolButton *btnSkip = nullptr;
    QStatusBar *sbStatusbar = nullptr;

    QMenu *mnuFile = nullptr;
    QAction *mnuFileNew = nullptr;
    QAction *mnuFileOpen = nullptr;
    QAction *mnuFileSaveAs = nullptr;
    QAction *mnuFileOpenvideo = nullptr;
    QAction *mnuFileRecord = nullptr;
    QMenu *mnuFileExport = nullptr;
    QAction *mnuFileExportXLS = nullptr;
    QAction *mnuFileExportTXT = nullptr;
    QAction *mnuFileExportKinematics = nullptr;
    QMenu *mnuFileImport = nullptr;
    QAction *mnuFileImportCIH = nullptr;
    QAction *mnuFileQuit = nullptr;
    QMenu *mnuEdit = nullptr;
    QAction *mnuEditCopy = nullptr;
    QAction *mnuEditTrackingSettings = nullptr;
    QAction *mnuEditOptions = nullptr;
    QMenu *mnuAnalysis = nullptr;
    QAction *mnuAnalysisKinematics = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuHelpContents = nullptr;
    QAction *mnuHelpAbout = nullptr;

    QMenu *mnuPopupQvxview = nullptr;
    QAction *mnuPopUpSNewMarker = nullptr;
    QAction *mnuPopupSInfo = nullptr;
    QAction *mnuPopupSScale = nullptr;
    QAction *mnuPopupSLoop = nullptr;
    QAction *mnuPopupSRealtime = nullptr;
    QAction *mnuPopupSFullFrames = nullptr;
    QAction *mnuPopupSFields = nullptr;
    QAction *mnuPopupSJVC100 = nullptr;
    QAction *mnuPopupSJVC100vert = nullptr;
    QAction *mnuPopupSJVC200 = nullptr;
    QAction *mnuPopupSMirror = nullptr;
    QAction *mnuPopupSRotate90 = nullptr;
    QAction *mnuPopupSRotate180 = nullptr;
    QAction *mnuPopupSRotate270 = nullptr;

    QMenu *mnuPopUpListView = nullptr;
    QAction *mnuPopUpListNewMarker = nullptr;
    QAction *mnuPopUpListLocalTrackSettings = nullptr;
    QAction *mnuPopUpListChkPathAll = nullptr;
    QAction *mnuPopUpListChkPathMarker = nullptr;
    QAction *mnuPopUpListChkManual = nullptr;
    QAction *mnuPopUpListColor = nullptr;
    QAction *mnuPopupListDiscardAutotracked = nullptr;
    QAction *mnuPopUpListDelMarker = nullptr;
    QAction *mnuPopUpListDelAllMarker = nullptr;

    // A toolbar button by its key ("New", "Open", ..., "Helper"); null for unknown keys.
    QAction *toolbarButton(const QString &key) const;
    // A status bar panel by its key ("Zoom", "Info"); null for unknown keys.
    QLabel *statusPanel(const QString &key) const;
    // The widgets the video part names. Each name has its widget; a null here is a
    // programming error.
    QAction *toolbarButton(video::ToolButton button) const;
    QLabel *statusPanel(video::StatusPanel panel) const;
    QAction *popupEntry(video::MenuEntry entry) const;
    QLabel *productPanel() const { return m_productPanel; }
    // The client area below the menu bar, whose size the layout rule works from.
    QWidget *clientArea() const { return m_client; }

    markers::MarkerObjects &objects() { return m_objects; }
    // The Kinematics window; null until Analysis > Kinematics... first opened it.
    frmKinematics *kinematicsWindow() const { return m_kinematics; }

    // MainWindowHost
    QWidget *form() override { return this; }
    void setGraphicItems(const platform::ComPtr<platform::IUnknown> &items) override;
    void setOverlayDefaults() override;
    int markerTableWidth() override;
    void addMarkerColumn(const QString &key, const QString &text, int width) override;

    // The video part of the window: loading, navigation, playback, modes and zoom.
    video::VideoController &video() { return *m_video; }
    // The marker part: table, tracking, mouse work, paths and the text export.
    markers::MarkerController &markerWork() { return *m_markers; }
    // The tracking pass for the current frame.
    void UpdateFrameMarkers() override;

    // VideoHost and MarkersHost
    quivex::CVViewCtrl &videoView() override { return *qvxVideo; }
    video::VideoView &workingView() override { return *m_workingView; }
    video::VideoView &helperView() override { return *m_helperView; }
    QWidget *dialogParent() override { return this; }
    int scrollValue() override;
    int scrollMinimum() override;
    int scrollMaximum() override;
    void setScrollRange(int minimum, int maximum) override;
    void setScrollValue(int value) override;
    void setScrollEnabled(bool enabled) override;
    void setPlaybackButtonsEnabled(bool enabled) override;
    void setPlayButtonImage(video::PlayPicture picture) override;
    void setToolbarButtonEnabled(video::ToolButton button, bool enabled) override;
    void setMenuChecked(video::MenuEntry entry, bool checked) override;
    bool menuChecked(video::MenuEntry entry) override;
    void setMenuEnabled(video::MenuEntry entry, bool enabled) override;
    void setStatusPanelText(video::StatusPanel panel, const QString &text) override;
    void setVideoCaption(const QString &caption) override;
    void clearMagnifier() override;
    void setPointer(Qt::CursorShape shape) override;
    void processEvents() override;
    void discardMarkers() override;
    void beginLongOperation(const QString &text) override;
    bool longOperationProgress(double fraction) override;
    void endLongOperation() override;
    void playbackEnded() override;

    // MarkersHost
    int rowCount() override;
    int addRow(const QString &text, markers::MarkerIcon icon) override;
    void removeRow(int row) override;
    void clearRows() override;
    QString rowText(int row) override;
    void setRowText(int row, const QString &text) override;
    void setRowIcon(int row, markers::MarkerIcon icon) override;
    QString rowTag(int row) override;
    void setRowTag(int row, const QString &tag) override;
    QString cellText(int row, markers::Column column) override;
    void setCellText(int row, markers::Column column, const QString &text) override;
    int selectedRow() override;
    void selectRow(int row) override;
    void clearSelection() override;
    bool tableInReportView() override { return true; }
    void setRowBands(const std::vector<QColor> &bands) override;
    void autoSizeColumns() override;
    void showMagnifier(const platform::ComPtr<platform::IPicture> &picture) override;
    void showPopup(markers::Popup popup) override;
    void setTableEntryChecked(markers::TableEntry entry, bool checked) override;
    void setTableEntryEnabled(markers::TableEntry entry, bool enabled) override;

    // Left, Right, Home, End and Space act on the video wherever the focus is in the window,
    // except in a text being edited; true when the key was used. `receiver` is the widget
    // the key was sent to.
    bool videoKey(QKeyEvent *event, const QWidget *receiver);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildSurface();
    void buildStatusBar();
    void wireMarkers();
    QTreeWidgetItem *rowItem(int row) const;
    void fitColumn(int column, const QString &text);
    QAction *tableEntry(markers::TableEntry entry) const;
    void applyMinimumSize();
    void setMarkerColumnWidths();

    QWidget *m_client = nullptr;
    QLabel *m_productPanel = nullptr;
    std::map<QString, QAction *> m_buttons;
    std::map<QString, QLabel *> m_panels;
    std::map<const QLabel *, qsizetype> m_panelLongestText; // the longest text measured so far
    std::map<int, qsizetype> m_cellLongestText;             // per table column, likewise
    // The video part's views of `qvxVideo` and `qvxHelper`.
    std::unique_ptr<ViewCtrlAdapter> m_workingView;
    std::unique_ptr<ViewCtrlAdapter> m_helperView;
    markers::MarkerObjects m_objects;
    std::unique_ptr<video::VideoController> m_video;
    std::unique_ptr<markers::MarkerController> m_markers;
    std::unique_ptr<ProjectCommands> m_project;
    QTimer *m_recoveryTimer = nullptr;
    VideoKeyFilter *m_keyFilter = nullptr;
    int m_wheelRemainder = 0; // eighths of a degree of the mouse wheel not yet a whole notch
    QProgressDialog *m_progress = nullptr; // while a long open indexes
    frmKinematics *m_kinematics = nullptr; // a child; deleted before the marker part
    bool m_closing = false;
};

} // namespace shell
