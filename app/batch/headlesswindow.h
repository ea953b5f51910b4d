// The main window without a window: both hosts of the video and the marker part over a real,
// never shown view control, with the table as plain rows and the scroll bar as a number.
// Frame changes run the application's own frame-change handling, so a frame stepped here is
// shown, tracked and recorded exactly as playing it in the main window does.
#pragma once

#include "app/common/appstate.h"
#include "app/markers/markercontroller.h"
#include "app/markers/markershost.h"
#include "app/shell/projectcommands.h"
#include "app/shell/viewctrladapter.h"
#include "app/video/videocontroller.h"
#include "app/video/videohost.h"
#include "control/cvviewctrl.h"
#include "platform/ui/dialogs.h"

#include <QTemporaryDir>

#include <array>
#include <memory>
#include <vector>

namespace batch {

// The dialog seam while a headless window lives: nothing waits for an answer. Message boxes
// are recorded (a caller turns them into its own report) and answered with their default
// (Ok, or No to a question); file and colour dialogs are cancelled.
class RecordingDialogs : public platform::ui::Dialogs {
public:
    RecordingDialogs();
    ~RecordingDialogs() override;
    RecordingDialogs(const RecordingDialogs &) = delete;
    RecordingDialogs &operator=(const RecordingDialogs &) = delete;

    int messageBox(QWidget *parent, const QString &text, const QString &title, int style) override;
    void beep() override {}
    std::optional<QString> openFile(QWidget *, const platform::ui::FileDialogRequest &) override;
    std::optional<QString> saveFile(QWidget *, const platform::ui::FileDialogRequest &) override;
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override;
    int exec(QDialog &dialog) override;

    // Every message shown since the last take, oldest first; its lines joined by ": ".
    std::vector<QString> take();

private:
    platform::ui::Dialogs *m_previous;
    std::vector<QString> m_messages;
};

class HeadlessWindow final : public video::VideoHost, public markers::MarkersHost {
public:
    struct Row {
        QString text;
        markers::MarkerIcon icon = markers::MarkerIcon::PatternMatching;
        QString tag;
        std::array<QString, 4> cells;
    };

    // Runs the parts of the main window's load sequence the work needs, on `state`: both
    // engines, the settings file named by `state.IniFile` (none: the defaults), the overlay
    // item collection handed to the view, the five data sets. Needs a QApplication.
    explicit HeadlessWindow(common::AppState &state);
    ~HeadlessWindow() override;
    HeadlessWindow(const HeadlessWindow &) = delete;
    HeadlessWindow &operator=(const HeadlessWindow &) = delete;

    common::AppState &state;
    RecordingDialogs dialogs;
    markers::MarkerObjects objects;
    video::VideoController &video() { return *m_video; }
    markers::MarkerController &markerWork() { return *m_markers; }
    shell::ProjectCommands &projects() { return *m_projects; }
    const std::vector<Row> &rows() const { return m_rows; }

    // VideoHost and MarkersHost
    quivex::CVViewCtrl &videoView() override { return m_view; }
    video::VideoView &workingView() override { return m_workingView; }
    video::VideoView &helperView() override { return m_helperView; }
    QWidget *dialogParent() override { return nullptr; }
    int scrollValue() override { return m_value; }
    int scrollMinimum() override { return m_minimum; }
    int scrollMaximum() override { return m_maximum; }
    void setScrollRange(int minimum, int maximum) override;
    void setScrollValue(int value) override;
    void setScrollEnabled(bool) override {}
    void setPlaybackButtonsEnabled(bool) override {}
    void setPlayButtonImage(video::PlayPicture) override {}
    void setToolbarButtonEnabled(video::ToolButton, bool) override {}
    void setMenuChecked(video::MenuEntry entry, bool checked) override;
    bool menuChecked(video::MenuEntry entry) override;
    void setMenuEnabled(video::MenuEntry, bool) override {}
    void setStatusPanelText(video::StatusPanel, const QString &) override {}
    void setVideoCaption(const QString &) override {}
    void clearMagnifier() override {}
    void setPointer(Qt::CursorShape) override {}
    void processEvents() override {}
    void UpdateFrameMarkers() override;
    void discardMarkers() override;

    // MarkersHost
    int rowCount() override { return static_cast<int>(m_rows.size()); }
    int addRow(const QString &text, markers::MarkerIcon icon) override;
    void removeRow(int row) override;
    void clearRows() override;
    QString rowText(int row) override { return m_rows.at(std::size_t(row)).text; }
    void setRowText(int row, const QString &text) override;
    void setRowIcon(int row, markers::MarkerIcon icon) override;
    QString rowTag(int row) override { return m_rows.at(std::size_t(row)).tag; }
    void setRowTag(int row, const QString &tag) override;
    QString cellText(int row, markers::Column column) override;
    void setCellText(int row, markers::Column column, const QString &text) override;
    int selectedRow() override { return m_selected; }
    void selectRow(int row) override { m_selected = row; }
    void clearSelection() override { m_selected = -1; }
    bool tableInReportView() override { return true; }
    void setRowBands(const std::vector<QColor> &) override {}
    void autoSizeColumns() override {}
    void showMagnifier(const platform::ComPtr<platform::IPicture> &) override {}
    void showPopup(markers::Popup) override {}
    void setTableEntryChecked(markers::TableEntry, bool) override {}
    void setTableEntryEnabled(markers::TableEntry, bool) override {}
    void LoadVideo(bool showDialog, int mode, float frameRate, int fileCount) override;
    void UpdateStatusBar() override;

private:
    quivex::CVViewCtrl m_view;
    quivex::CVViewCtrl m_helper;
    shell::ViewCtrlAdapter m_workingView{m_view};
    shell::ViewCtrlAdapter m_helperView{m_helper};
    std::unique_ptr<video::VideoController> m_video;
    std::unique_ptr<markers::MarkerController> m_markers;
    std::unique_ptr<shell::ProjectCommands> m_projects;
    // The project commands keep their crash-recovery file here, never in the user's data
    // folder, where a running Orvane keeps its own.
    QTemporaryDir m_recoveryFolder;
    std::vector<Row> m_rows;
    int m_selected = -1;
    int m_value = 0, m_minimum = 0, m_maximum = 0;
    std::array<bool, video::kMenuEntryCount> m_menuChecks{};
};

} // namespace batch
