#include "app/batch/headlesswindow.h"

#include "app/common/settings.h"

#include <QDialog>

#include <algorithm>
#include <utility>

namespace batch {

// --- RecordingDialogs ----------------------------------------------------------------------

RecordingDialogs::RecordingDialogs() : m_previous(&platform::ui::dialogs()) {
    platform::ui::setDialogs(this);
}

RecordingDialogs::~RecordingDialogs() {
    platform::ui::setDialogs(m_previous);
}

int RecordingDialogs::messageBox(QWidget *, const QString &text, const QString &, int style) {
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = line.trimmed();
    m_messages.push_back(lines.join(QStringLiteral(": ")));
    // The answer a user who is not there gives: the question's safe side.
    const int buttons = style % 16;
    if (buttons == platform::ui::YesNo || buttons == platform::ui::YesNoCancel)
        return platform::ui::No;
    if (buttons == platform::ui::OkCancel || buttons == platform::ui::RetryCancel)
        return platform::ui::Cancel;
    if (buttons == platform::ui::AbortRetryIgnore)
        return platform::ui::Abort;
    return platform::ui::Ok;
}

std::optional<QString> RecordingDialogs::openFile(QWidget *,
                                                  const platform::ui::FileDialogRequest &) {
    return std::nullopt;
}

std::optional<QString> RecordingDialogs::saveFile(QWidget *,
                                                  const platform::ui::FileDialogRequest &) {
    return std::nullopt;
}

std::optional<QColor> RecordingDialogs::chooseColor(QWidget *, const QColor &) {
    return std::nullopt;
}

int RecordingDialogs::exec(QDialog &) {
    return QDialog::Rejected;
}

std::vector<QString> RecordingDialogs::take() {
    return std::exchange(m_messages, {});
}

// --- HeadlessWindow ------------------------------------------------------------------------

HeadlessWindow::HeadlessWindow(common::AppState &state_) : state(state_) {
    // The size the main window's view has at its smallest; the zoom that fits the picture
    // follows from it, as in the window. Nothing is ever painted.
    m_view.resize(640, 480);
    for (quivex::CVViewCtrl *view : {&m_view, &m_helper})
        view->SetLCID(static_cast<platform::LONG>(state.UiLcid));
    m_video = std::make_unique<video::VideoController>(*this, state);
    m_markers = std::make_unique<markers::MarkerController>(*this, state, objects);
    m_projects = std::make_unique<shell::ProjectCommands>(*this, state, *m_video, *m_markers);
    m_projects->setRecoveryFolder(m_recoveryFolder.isValid() ? m_recoveryFolder.path()
                                                             : QStringLiteral("/nonexistent"));

    // The main window's load sequence, in its order, without what only shows.
    state.MarkerLost = false;
    state.AllMarkersLost = false;
    objects.patternMatcher = markers::createPatternMatcher(state.UiLcid);
    objects.markerTracker = markers::createMarkerTracker(state.UiLcid);
    if (!state.IniFile.isEmpty())
        common::readAllSettings(state.IniFile, state.settings, state.trace);
    objects.graphicItems = markers::createGraphicItems();
    m_view.SetGraphicItems(objects.graphicItems ? objects.graphicItems.query<platform::IUnknown>()
                                                : platform::ComPtr<platform::IUnknown>());
    markers::createDataSets(objects);
    m_view.SetPointsVisible(platform::TRUE_);
    m_view.SetConnectionsVisible(platform::TRUE_);
    m_view.SetOverlayFlags(0);
}

HeadlessWindow::~HeadlessWindow() = default;

void HeadlessWindow::setScrollRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    // A value outside the new range moves into it, as a frame change.
    setScrollValue(m_value);
}

void HeadlessWindow::setScrollValue(int value) {
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    m_video->playback.OnFrameChanged();
}

void HeadlessWindow::setMenuChecked(video::MenuEntry entry, bool checked) {
    m_menuChecks[static_cast<std::size_t>(entry)] = checked;
}

bool HeadlessWindow::menuChecked(video::MenuEntry entry) {
    return m_menuChecks[static_cast<std::size_t>(entry)];
}

void HeadlessWindow::UpdateFrameMarkers() {
    m_markers->pass.UpdateFrameMarkers();
}

void HeadlessWindow::discardMarkers() {
    m_markers->discardMarkers();
}

int HeadlessWindow::addRow(const QString &text, markers::MarkerIcon icon) {
    m_rows.push_back({text, icon, {}, {text, {}, {}, {}}});
    return rowCount() - 1;
}

void HeadlessWindow::removeRow(int row) {
    m_rows.erase(m_rows.begin() + row);
    if (m_selected == row)
        m_selected = -1;
    else if (m_selected > row)
        --m_selected;
}

void HeadlessWindow::clearRows() {
    m_rows.clear();
    m_selected = -1;
}

void HeadlessWindow::setRowText(int row, const QString &text) {
    Row &r = m_rows.at(std::size_t(row));
    r.text = text;
    r.cells[0] = text;
}

void HeadlessWindow::setRowIcon(int row, markers::MarkerIcon icon) {
    m_rows.at(std::size_t(row)).icon = icon;
}

void HeadlessWindow::setRowTag(int row, const QString &tag) {
    m_rows.at(std::size_t(row)).tag = tag;
}

QString HeadlessWindow::cellText(int row, markers::Column column) {
    return m_rows.at(std::size_t(row)).cells[std::size_t(column)];
}

void HeadlessWindow::setCellText(int row, markers::Column column, const QString &text) {
    m_rows.at(std::size_t(row)).cells[std::size_t(column)] = text;
}

void HeadlessWindow::LoadVideo(bool showDialog, int mode, float frameRate, int fileCount) {
    m_video->loader.LoadVideo(showDialog, mode, frameRate, fileCount);
}

void HeadlessWindow::UpdateStatusBar() {
    m_video->playback.UpdateStatusBar();
}

} // namespace batch
