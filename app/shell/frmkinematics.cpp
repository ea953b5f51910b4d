#include "app/shell/frmkinematics.h"

#include "app/common/appstate.h"
#include "app/common/resources.h"
#include "app/markers/markercontroller.h"
#include "app/markers/textexport.h"
#include "app/shell/translateform.h"
#include "platform/ui/dialogs.h"

#include <QAction>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGraphicsLineItem>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QSvgGenerator>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>
#include <limits>
#include <optional>

namespace shell {

using analysis::Quantity;
using common::res;

namespace {

// Each plot's key in its widgets' object names, and the file name offered for its export.
constexpr const char *kPlotKeys[analysis::kQuantityCount] = {"X", "Y", "Speed", "Acceleration"};
constexpr const char *kFileStems[analysis::kQuantityCount] = {"x", "y", "speed", "acceleration"};
// The fixed cutoff a new window offers, in Hz (within the limit of any usual frame rate).
constexpr double kDefaultCutoff = 6.0;
// How often the window looks for changed markers while shown, in milliseconds.
constexpr int kChangePollMs = 500;
// The series property that names its marker.
constexpr const char *kMarkerProperty = "marker";

template <class W> W *tagged(W *widget, int number, const QString &name) {
    widget->setObjectName(name);
    if (number > 0)
        widget->setProperty(kTagProperty, QString::number(number));
    return widget;
}

// The plot area is dark, like the video the markers are set on: the marker colours are
// chosen to stand out there (the default first one is yellow, unreadable on white).
const QColor kPlotAreaColor(38, 38, 38);
// Ticks per axis before rounding to round numbers (Qt Charts' default).
constexpr int kTicks = 5;
const QColor kGridColor(85, 85, 85);
const QColor kCursorColor(230, 230, 230);

QIcon swatch(const QColor &color) {
    QPixmap pixmap(12, 12);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// A plot whose left click inside the plot area reports the time under the pointer.
class PlotView : public QChartView {
public:
    PlotView(QChart *chart, std::function<void(double)> clicked, QWidget *parent)
        : QChartView(chart, parent), m_clicked(std::move(clicked)) {}

protected:
    void mousePressEvent(QMouseEvent *event) override {
        if (event->button() == Qt::LeftButton) {
            const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
            if (chart()->plotArea().contains(at)) {
                m_clicked(chart()->mapToValue(at).x());
                event->accept();
                return;
            }
        }
        QChartView::mousePressEvent(event);
    }

private:
    std::function<void(double)> m_clicked;
};

// The bytes `encode` writes, or nothing when it fails. A plot's picture is small, so it is
// encoded whole and then written all or nothing, as the exports write their files.
std::optional<QByteArray> encoded(const std::function<bool(QIODevice &)> &encode) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !encode(buffer))
        return std::nullopt;
    buffer.close();
    return bytes;
}

} // namespace

frmKinematics::frmKinematics(markers::MarkerController &markers, QScrollBar *frameBar,
                             QWidget *owner)
    : QWidget(owner, Qt::Tool), m_markers(markers), m_model(markers), m_frameBar(frameBar) {
    setObjectName(QStringLiteral("frmKinematics"));
    setProperty(kTagProperty, QStringLiteral("1900"));
    setAttribute(Qt::WA_DeleteOnClose, false); // closing hides; the main window owns it

    auto *side = new QWidget(this);
    side->setFixedWidth(280);
    auto *sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);

    auto *fraMarkers = tagged(new QGroupBox(side), 1901, QStringLiteral("fraMarkers"));
    lstMarkers = tagged(new QListWidget(fraMarkers), 0, QStringLiteral("lstMarkers"));
    auto *markersLayout = new QVBoxLayout(fraMarkers);
    markersLayout->addWidget(lstMarkers);

    auto *fraFilter = tagged(new QGroupBox(side), 1902, QStringLiteral("fraFilter"));
    optAutomatic = tagged(new QRadioButton(fraFilter), 1903, QStringLiteral("optAutomatic"));
    optFixed = tagged(new QRadioButton(fraFilter), 1904, QStringLiteral("optFixed"));
    optOff = tagged(new QRadioButton(fraFilter), 1905, QStringLiteral("optOff"));
    spnCutoff = tagged(new QDoubleSpinBox(fraFilter), 0, QStringLiteral("spnCutoff"));
    spnCutoff->setDecimals(1);
    spnCutoff->setSingleStep(0.5);
    spnCutoff->setSuffix(QStringLiteral(" Hz"));
    spnCutoff->setKeyboardTracking(false);
    spnCutoff->setRange(0.1, 1000.0);
    spnCutoff->setValue(kDefaultCutoff);
    optAutomatic->setChecked(true);
    auto *filterLayout = new QGridLayout(fraFilter);
    filterLayout->addWidget(optAutomatic, 0, 0, 1, 2);
    filterLayout->addWidget(optFixed, 1, 0);
    filterLayout->addWidget(spnCutoff, 1, 1);
    filterLayout->addWidget(optOff, 2, 0, 1, 2);

    auto *fraCutoffs = tagged(new QGroupBox(side), 1906, QStringLiteral("fraCutoffs"));
    lblCutoffs = tagged(new QLabel(fraCutoffs), 0, QStringLiteral("lblCutoffs"));
    lblCutoffs->setWordWrap(true);
    lblCutoffs->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *cutoffsLayout = new QVBoxLayout(fraCutoffs);
    cutoffsLayout->addWidget(lblCutoffs);

    auto *lblHint = tagged(new QLabel(side), 1929, QStringLiteral("lblHint"));
    lblHint->setWordWrap(true);
    btnRefresh = tagged(new QPushButton(side), 1907, QStringLiteral("btnRefresh"));

    sideLayout->addWidget(fraMarkers, 1);
    sideLayout->addWidget(fraFilter);
    sideLayout->addWidget(fraCutoffs);
    sideLayout->addWidget(lblHint);
    sideLayout->addWidget(btnRefresh);

    m_pages = new QStackedWidget(this);
    m_message = tagged(new QLabel(m_pages), 0, QStringLiteral("lblMessage"));
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    auto *plots = new QWidget(m_pages);
    buildPlots(plots);
    m_pages->addWidget(m_message);
    m_pages->addWidget(plots);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(side);
    layout->addWidget(m_pages, 1);

    TranslateForm(this);
    resize(1120, 720);

    connect(lstMarkers, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (m_filling)
            return;
        const platform::LONG marker = item->data(Qt::UserRole).toInt();
        if (item->checkState() == Qt::Checked)
            m_unchecked.erase(marker);
        else
            m_unchecked.insert(marker);
        replot();
    });
    for (QRadioButton *option : {optAutomatic, optFixed, optOff})
        connect(option, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                applySmoothing();
        });
    connect(spnCutoff, &QDoubleSpinBox::valueChanged, this, [this] {
        if (optFixed->isChecked())
            applySmoothing();
    });
    connect(btnRefresh, &QPushButton::clicked, this, [this] { refresh(); });
    if (m_frameBar)
        connect(m_frameBar, &QScrollBar::valueChanged, this, [this] { updateCursors(); });
    // The marker part has no change signal: the change counter (and what else a plot depends
    // on) is compared now and then, but never during playback, which would redraw per frame.
    m_changeTimer = new QTimer(this);
    m_changeTimer->setInterval(kChangePollMs);
    connect(m_changeTimer, &QTimer::timeout, this, [this] {
        if (!m_markers.state.IsPlaying)
            refreshIfChanged();
    });
}

frmKinematics::~frmKinematics() = default;

void frmKinematics::buildPlots(QWidget *page) {
    auto *grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    for (Quantity q : analysis::kQuantities) {
        const std::size_t i = index(q);
        const QString key = QLatin1String(kPlotKeys[i]);
        auto *chart = new QChart;
        chart->legend()->setAlignment(Qt::AlignBottom);
        chart->setMargins(QMargins(4, 4, 4, 4));
        auto *axisX = new QValueAxis(chart);
        auto *axisY = new QValueAxis(chart);
        chart->addAxis(axisX, Qt::AlignBottom);
        chart->addAxis(axisY, Qt::AlignLeft);
        chart->setPlotAreaBackgroundBrush(kPlotAreaColor);
        chart->setPlotAreaBackgroundVisible(true);
        for (QValueAxis *axis : {axisX, axisY})
            axis->setGridLineColor(kGridColor);
        auto *view = new PlotView(
            chart, [this](double t) { seekTime(t); }, page);
        view->setObjectName(QStringLiteral("chv") + key);
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(320, 220);

        // The cursor is drawn over the plot area, a child of the chart so that it is part of
        // the scene an export renders.
        auto *cursor = new QGraphicsLineItem(chart);
        QPen pen(kCursorColor);
        pen.setWidthF(1.5);
        pen.setStyle(Qt::DashLine);
        cursor->setPen(pen);
        cursor->setZValue(1000);
        connect(chart, &QChart::plotAreaChanged, this, [this, q] { placeCursor(q); });

        auto *png = new QAction(QStringLiteral("1913"), view);
        png->setObjectName(QStringLiteral("mnuExportPng") + key);
        auto *svg = new QAction(QStringLiteral("1914"), view);
        svg->setObjectName(QStringLiteral("mnuExportSvg") + key);
        connect(png, &QAction::triggered, this, [this, q] { exportPlot(q, ImageFormat::Png); });
        connect(svg, &QAction::triggered, this, [this, q] { exportPlot(q, ImageFormat::Svg); });
        auto *menu = new QMenu(view);
        menu->addAction(png);
        menu->addAction(svg);
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
        view->addAction(png);
        view->addAction(svg);
        auto *button = tagged(new QToolButton(page), 1926, QStringLiteral("btnExport") + key);
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);

        auto *cell = new QVBoxLayout;
        cell->setSpacing(2);
        cell->addWidget(view, 1);
        auto *row = new QHBoxLayout;
        row->addStretch(1);
        row->addWidget(button);
        cell->addLayout(row);
        grid->addLayout(cell, int(i / 2), int(i % 2));

        m_views[i] = view;
        m_cursors[i] = cursor;
        m_exportButtons[i] = button;
        m_pngActions[i] = png;
        m_svgActions[i] = svg;
    }
}

QChart *frmKinematics::chart(Quantity q) const {
    return m_views[index(q)]->chart();
}

void frmKinematics::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    refresh();
    m_changeTimer->start();
}

void frmKinematics::hideEvent(QHideEvent *event) {
    m_changeTimer->stop();
    QWidget::hideEvent(event);
}

frmKinematics::Snapshot frmKinematics::snapshot() const {
    const common::AppState &s = m_markers.state;
    Snapshot shot;
    shot.changes = m_markers.changes;
    shot.noVideo = s.NoVideo;
    shot.frames = s.FrameCount;
    shot.frameRate = s.VideoFrameRate;
    shot.width = s.VideoWidth;
    shot.height = s.VideoHeight;
    shot.calibrated = m_markers.table.calibrated();
    shot.video = s.VideoFile;
    for (const analysis::MarkerEntry &e : m_model.markers()) {
        shot.markers.emplace_back(e.marker, e.name);
        shot.colors.push_back(e.color.rgb());
    }
    return shot;
}

void frmKinematics::refreshIfChanged() {
    if (!(snapshot() == m_seen))
        refresh();
}

void frmKinematics::refresh() {
    m_seen = snapshot();
    // The cutoff a user may fix lies below half the frame rate.
    const double limit = m_model.cutoffLimit();
    const bool canFix = limit > 0.2;
    optFixed->setEnabled(canFix || optFixed->isChecked());
    if (canFix) {
        const QSignalBlocker block(spnCutoff);
        spnCutoff->setRange(0.1, std::floor((limit - 0.05) * 10.0) / 10.0);
    }
    fillMarkerList();
    applySmoothing(); // replots
}

void frmKinematics::fillMarkerList() {
    m_filling = true;
    lstMarkers->clear();
    for (const analysis::MarkerEntry &e : m_model.markers()) {
        auto *item = new QListWidgetItem(swatch(e.color), e.name, lstMarkers);
        item->setData(Qt::UserRole, int(e.marker));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(m_unchecked.count(e.marker) ? Qt::Unchecked : Qt::Checked);
    }
    m_filling = false;
}

std::vector<platform::LONG> frmKinematics::chosenMarkers() const {
    std::vector<platform::LONG> out;
    for (int i = 0; i < lstMarkers->count(); ++i) {
        const QListWidgetItem *item = lstMarkers->item(i);
        if (item->checkState() == Qt::Checked)
            out.push_back(item->data(Qt::UserRole).toInt());
    }
    return out;
}

void frmKinematics::applySmoothing() {
    kinematics::Smoothing smoothing;
    if (optFixed->isChecked()) {
        smoothing.mode = kinematics::SmoothingMode::Fixed;
        smoothing.cutoffHz = spnCutoff->value();
    } else if (optOff->isChecked()) {
        smoothing.mode = kinematics::SmoothingMode::Off;
    }
    spnCutoff->setEnabled(optFixed->isChecked());
    m_model.setSmoothing(smoothing);
    replot();
}

void frmKinematics::showMessage(const QString &text) {
    m_message->setText(text);
    m_pages->setCurrentWidget(m_message);
    lblCutoffs->clear();
    for (QGraphicsLineItem *cursor : m_cursors)
        cursor->hide();
}

QString frmKinematics::messageText() const {
    return m_pages->currentWidget() == m_message ? m_message->text() : QString();
}

QString frmKinematics::cutoffText() const {
    return lblCutoffs->text();
}

void frmKinematics::replot() {
    for (QChartView *view : m_views)
        view->chart()->removeAllSeries();
    if (m_model.availability() != analysis::Availability::Ready) {
        showMessage(m_model.availabilityText());
        return;
    }
    const std::vector<platform::LONG> chosen = chosenMarkers();
    if (chosen.empty()) {
        showMessage(res(m_markers.state, 1920));
        return;
    }
    const std::vector<analysis::MarkerSeries> all = m_model.series(chosen);
    QStringList cutoffs;
    for (const analysis::MarkerSeries &s : all)
        cutoffs << s.cutoffText;
    lblCutoffs->setText(cutoffs.join(u'\n'));

    const double duration = m_model.duration();
    for (Quantity q : analysis::kQuantities) {
        QChart *c = chart(q);
        auto *axisX = static_cast<QValueAxis *>(c->axes(Qt::Horizontal).value(0));
        auto *axisY = static_cast<QValueAxis *>(c->axes(Qt::Vertical).value(0));
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (const analysis::MarkerSeries &s : all) {
            const std::vector<analysis::Run> &runs = s.of(q);
            // Every marker has at least one series, empty when it has no value here, so that
            // each plot's legend names every chosen marker once.
            const std::size_t count = std::max<std::size_t>(runs.size(), 1);
            for (std::size_t r = 0; r < count; ++r) {
                auto *series = new QLineSeries;
                series->setName(s.entry.name);
                series->setProperty(kMarkerProperty, int(s.entry.marker));
                QPen pen(s.entry.color);
                pen.setWidthF(2.0);
                series->setPen(pen);
                if (r < runs.size()) {
                    const analysis::Run &run = runs[r];
                    series->replace(QList<QPointF>(run.begin(), run.end()));
                    // A lone value has no line to show it.
                    series->setPointsVisible(run.size() == 1);
                    for (const QPointF &p : run) {
                        low = std::min(low, p.y());
                        high = std::max(high, p.y());
                    }
                }
                c->addSeries(series);
                series->attachAxis(axisX);
                series->attachAxis(axisY);
                if (r > 0)
                    for (QLegendMarker *m : c->legend()->markers(series))
                        m->setVisible(false);
            }
        }
        // Magnitudes (speed, acceleration) never show a negative scale.
        const bool nonNegative = low >= 0;
        if (!(low <= high)) {
            low = 0;
            high = 1;
        } else if (high - low < 1e-9 * std::max(1.0, std::fabs(high))) {
            low -= 1;
            high += 1;
        } else {
            const double margin = 0.05 * (high - low);
            low -= margin;
            high += margin;
        }
        if (nonNegative)
            low = std::max(low, 0.0);
        axisX->setRange(0, duration > 0 ? duration : 1);
        axisY->setRange(low, high);
        // Round ticks; the ranges only grow, so every point stays inside. The rounding also
        // changes the tick count, which the next rounding starts from: reset, the same data
        // always get the same scale instead of one that widens from replot to replot.
        axisX->setTickCount(kTicks);
        axisY->setTickCount(kTicks);
        axisX->applyNiceNumbers();
        axisY->applyNiceNumbers();
        axisX->setTitleText(m_model.timeTitle());
        axisY->setTitleText(m_model.axisTitle(q));
    }
    m_pages->setCurrentIndex(1);
    updateCursors();
}

void frmKinematics::updateCursors() {
    for (Quantity q : analysis::kQuantities)
        placeCursor(q);
}

void frmKinematics::placeCursor(Quantity q) {
    QGraphicsLineItem *cursor = m_cursors[index(q)];
    QChart *c = chart(q);
    const auto *axisY = static_cast<QValueAxis *>(c->axes(Qt::Vertical).value(0));
    if (!m_frameBar || !axisY || m_model.availability() != analysis::Availability::Ready) {
        cursor->hide();
        return;
    }
    const double t = m_model.timeOfFrame(m_frameBar->value());
    // Positions need a series attached to the axes; the chart maps through its first one.
    if (c->series().isEmpty()) {
        cursor->hide();
        return;
    }
    const QPointF top = c->mapToPosition(QPointF(t, axisY->max()));
    const QPointF bottom = c->mapToPosition(QPointF(t, axisY->min()));
    cursor->setLine(QLineF(top, bottom));
    cursor->show();
}

void frmKinematics::seekTime(double seconds) {
    if (!m_frameBar || !m_frameBar->isEnabled() ||
        m_model.availability() != analysis::Availability::Ready)
        return;
    m_frameBar->setValue(m_model.frameOfTime(seconds));
}

bool frmKinematics::exportPlot(Quantity q, ImageFormat format) {
    const common::AppState &s = m_markers.state;
    const bool png = format == ImageFormat::Png;
    platform::ui::FileDialogRequest request;
    request.title = res(s, 1030);
    request.filter = res(s, png ? 1915 : 1916);
    request.fileName = QLatin1String(kFileStems[index(q)]) +
                       (png ? QStringLiteral(".png") : QStringLiteral(".svg"));
    request.mustExist = false;
    const std::optional<QString> chosen = platform::ui::dialogs().saveFile(this, request);
    if (!chosen || chosen->isEmpty())
        return false;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += png ? QStringLiteral(".png") : QStringLiteral(".svg");

    QChartView *view = m_views[index(q)];
    std::optional<QByteArray> bytes;
    if (png) {
        const QImage image = view->grab().toImage();
        bytes = encoded([&](QIODevice &device) { return image.save(&device, "PNG"); });
    } else {
        bytes = encoded([&](QIODevice &device) {
            QSvgGenerator generator;
            generator.setOutputDevice(&device);
            generator.setSize(view->size());
            generator.setViewBox(QRect(QPoint(0, 0), view->size()));
            generator.setTitle(m_model.axisTitle(q));
            QPainter painter;
            if (!painter.begin(&generator))
                return false;
            // The scene as the view shows it: the chart, its series and the cursor.
            view->scene()->render(&painter, QRectF(QPointF(0, 0), view->size()),
                                  view->mapToScene(view->viewport()->rect()).boundingRect());
            return painter.end();
        });
    }
    QString error;
    const bool written = bytes && markers::TextExport::writeAtomically(path, *bytes, &error);
    if (!written)
        platform::ui::dialogs().messageBox(
            this, res(s, 1056) + u'\n' + QFileInfo(path).absoluteFilePath() + u'\n' + error,
            common::productTitle(s), platform::ui::Critical);
    return written;
}

} // namespace shell
