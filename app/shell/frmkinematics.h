// The Kinematics window (Analysis > Kinematics...): x(t), y(t), speed(t) and acceleration(t)
// of the chosen markers in their colours, the smoothing settings with the cutoffs chosen, a
// cursor at the current frame, a click that seeks the video, and each plot's export as PNG
// or SVG. One non-modal tool window owned by the main window; it only draws what
// analysis::KinematicsModel computes and seeks through the frame scroll bar.
#pragma once

#include "app/analysis/kinematicsmodel.h"

#include <QWidget>

#include <array>
#include <functional>
#include <set>

class QAction;
class QChart;
class QChartView;
class QDoubleSpinBox;
class QGraphicsLineItem;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QStackedWidget;
class QTimer;
class QToolButton;

namespace markers {
class MarkerController;
}

namespace shell {

class frmKinematics : public QWidget {
public:
    // `frameBar` is the main window's `hscScroll`: its value is the current frame, and a seek
    // sets it, so the view, the table and the status bar follow as for any frame change.
    frmKinematics(markers::MarkerController &markers, QScrollBar *frameBar, QWidget *owner);
    ~frmKinematics() override;

    enum class ImageFormat { Png, Svg };

    // Reads the markers and the video again and redraws every plot.
    void refresh();
    // refresh() when the markers' data, the table, the video or the calibration changed since
    // the last one. A timer asks while the window is shown and no playback runs.
    void refreshIfChanged();
    // Asks for a file through the dialog seam and writes the plot there; false when nothing
    // was written (cancelled, or the failure was reported).
    bool exportPlot(analysis::Quantity q, ImageFormat format);
    // The frame a time on the plots stands for, set as the scroll bar's value.
    void seekTime(double seconds);

    const analysis::KinematicsModel &model() const { return m_model; }
    QChartView *plot(analysis::Quantity q) const { return m_views[index(q)]; }
    QChart *chart(analysis::Quantity q) const;
    QGraphicsLineItem *cursorLine(analysis::Quantity q) const { return m_cursors[index(q)]; }
    QToolButton *exportButton(analysis::Quantity q) const { return m_exportButtons[index(q)]; }
    QAction *exportAction(analysis::Quantity q, ImageFormat f) const {
        return (f == ImageFormat::Png ? m_pngActions : m_svgActions)[index(q)];
    }
    // The cutoffs of the plotted markers, one line each.
    QString cutoffText() const;
    // The message shown instead of the plots; empty while plots are shown.
    QString messageText() const;

    // --- Controls, by their names. ---
    QListWidget *lstMarkers = nullptr;
    QRadioButton *optAutomatic = nullptr;
    QRadioButton *optFixed = nullptr;
    QRadioButton *optOff = nullptr;
    QDoubleSpinBox *spnCutoff = nullptr;
    QLabel *lblCutoffs = nullptr;
    QPushButton *btnRefresh = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    static std::size_t index(analysis::Quantity q) { return static_cast<std::size_t>(q); }
    void buildPlots(QWidget *page);
    void fillMarkerList();
    void replot();
    void applySmoothing();
    void updateCursors();
    void placeCursor(analysis::Quantity q);
    void showMessage(const QString &text);
    std::vector<platform::LONG> chosenMarkers() const;

    // What a refresh depends on beyond the change counter.
    struct Snapshot {
        unsigned changes = 0;
        bool noVideo = true;
        int frames = 0;
        float frameRate = 0;
        int width = 0, height = 0;
        bool calibrated = false;
        QString video;
        std::vector<std::pair<platform::LONG, QString>> markers;
        std::vector<QRgb> colors;
        bool operator==(const Snapshot &) const = default;
    };
    Snapshot snapshot() const;

    markers::MarkerController &m_markers;
    analysis::KinematicsModel m_model;
    QScrollBar *m_frameBar;
    QStackedWidget *m_pages = nullptr;
    QLabel *m_message = nullptr;
    std::array<QChartView *, analysis::kQuantityCount> m_views{};
    std::array<QGraphicsLineItem *, analysis::kQuantityCount> m_cursors{};
    std::array<QToolButton *, analysis::kQuantityCount> m_exportButtons{};
    std::array<QAction *, analysis::kQuantityCount> m_pngActions{}, m_svgActions{};
    QTimer *m_changeTimer = nullptr;
    std::set<platform::LONG> m_unchecked; // markers the user took out; new ones are shown
    Snapshot m_seen;
    bool m_filling = false; // the marker list is being rebuilt: its checks are not the user's
};

} // namespace shell
