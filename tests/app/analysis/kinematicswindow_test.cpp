// The Kinematics window offscreen inside the main window: opened from the Analysis menu, its
// plots hold one coloured series per marker and run, the marker list chooses them, the cursor
// follows the frame scroll bar and a click on a plot seeks the video, each plot exports as
// PNG and SVG, the filter settings change the cutoffs shown; and File > Export's switch of the
// velocity and acceleration columns.
#include "windowfixture.h"

#include "app/common/settings.h"
#include "app/markers/markercontroller.h"
#include "app/shell/frmkinematics.h"

#include <QAbstractSeries>
#include <QChart>
#include <QChartView>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGraphicsLineItem>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QValueAxis>
#include <QXmlStreamReader>

#include <map>

using analysis::Quantity;
using markers::Channel;
using shell::frmKinematics;

namespace {

constexpr double kRate = 100.0; // the fixture's sequence

class KinematicsWindowTest : public WindowMarkersTest {
protected:
    // The window with two markers: marker 1 on a parabola in every frame, marker 2 on a line
    // with frames 20 to 24 missing.
    void SetUp() override {
        WindowMarkersTest::SetUp();
        w = openWindow({[](int f) { return std::optional(discA(f)); },
                        [](int f) {
                            return std::optional(discB(f));
                        }});
        w->mnuAnalysisClick();
        EXPECT_FALSE(w->mnuAnalysisKinematics->isEnabled()) << "no markers yet";
        createAt(*w, discA(0), 12);
        createAt(*w, discB(0), 12);
        ASSERT_EQ(w->lvwPoints->topLevelItemCount(), 2);
        track(
            1, [](int f) { return 40.0 + 1.5 * f; }, [](int f) { return 30.0 + 0.1 * f * f; },
            [](int) { return true; });
        track(
            2, [](int f) { return 280.0 - 1.2 * f; }, [](int f) { return 200.0 - 1.0 * f; },
            [](int f) { return f < 20 || f > 24; });
    }
    void TearDown() override {
        w.reset();
        WindowMarkersTest::TearDown();
    }
    void track(platform::LONG marker, const std::function<double(int)> &x,
               const std::function<double(int)> &y, const std::function<bool(int)> &has) {
        const auto ch = w->markerWork().store.bind(marker);
        for (int f = 0; f < kFrames; ++f) {
            ch.put(Channel::PointStatus, f, has(f) ? 1.0f : 0.0f);
            ch.put(Channel::PosX, f, float(x(f) / kSize.width()));
            ch.put(Channel::PosY, f, float(y(f) / kSize.height()));
        }
        w->markerWork().touch();
    }
    frmKinematics *openKinematics() {
        w->mnuAnalysisClick();
        EXPECT_TRUE(w->mnuAnalysisKinematics->isEnabled());
        w->mnuAnalysisKinematics->trigger();
        frmKinematics *k = w->kinematicsWindow();
        EXPECT_TRUE(k && k->isVisible());
        // Offscreen the charts lay themselves out when events are handled.
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
        return k;
    }
    // The series of one plot by marker number.
    static std::map<int, std::vector<QLineSeries *>> seriesByMarker(frmKinematics &k, Quantity q) {
        std::map<int, std::vector<QLineSeries *>> out;
        for (QAbstractSeries *s : k.chart(q)->series())
            out[s->property("marker").toInt()].push_back(static_cast<QLineSeries *>(s));
        return out;
    }
    static std::size_t points(const std::vector<QLineSeries *> &series) {
        std::size_t n = 0;
        for (const QLineSeries *s : series)
            n += std::size_t(s->count());
        return n;
    }
    // Where a time lands on a plot's viewport, at the middle of its value axis.
    static QPoint pixelOf(frmKinematics &k, Quantity q, double seconds) {
        QChart *chart = k.chart(q);
        const auto *axisY = static_cast<QValueAxis *>(chart->axes(Qt::Vertical).value(0));
        const QPointF inChart =
            chart->mapToPosition(QPointF(seconds, (axisY->min() + axisY->max()) / 2));
        return k.plot(q)->mapFromScene(chart->mapToScene(inChart));
    }

    std::unique_ptr<shell::frmMain> w;
    AnsweringDialogs dialogs;
};

TEST_F(KinematicsWindowTest, TheAnalysisMenuOpensOneWindowWithASeriesPerMarkerAndRun) {
    frmKinematics *k = openKinematics();
    ASSERT_TRUE(k);
    EXPECT_TRUE(k->messageText().isEmpty());
    EXPECT_EQ(k->windowTitle(), "Kinematics");
    ASSERT_EQ(k->lstMarkers->count(), 2);
    const auto entries = k->model().markers();
    ASSERT_EQ(entries.size(), std::size_t(2));
    const auto expected = k->model().series({1, 2});
    ASSERT_EQ(expected.size(), std::size_t(2));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(k->lstMarkers->item(i)->text(), QStringLiteral("Point %1").arg(i + 1));
        EXPECT_EQ(k->lstMarkers->item(i)->checkState(), Qt::Checked);
        // The swatch beside the name shows the marker's colour.
        const QImage swatch = k->lstMarkers->item(i)->icon().pixmap(12, 12).toImage();
        EXPECT_EQ(swatch.pixelColor(6, 6), entries[std::size_t(i)].color);
    }

    for (Quantity q : analysis::kQuantities) {
        auto byMarker = seriesByMarker(*k, q);
        ASSERT_EQ(byMarker.size(), std::size_t(2)) << int(q);
        // Marker 1 runs through; marker 2 is split at its gap of five frames.
        EXPECT_EQ(byMarker[1].size(), std::size_t(1)) << int(q);
        EXPECT_EQ(byMarker[2].size(), std::size_t(2)) << int(q);
        for (int m = 1; m <= 2; ++m) {
            const analysis::MarkerSeries &truth = expected[std::size_t(m - 1)];
            EXPECT_EQ(points(byMarker[m]), truth.pointCount(q)) << int(q) << " " << m;
            for (QLineSeries *s : byMarker[m]) {
                EXPECT_EQ(s->name(), QStringLiteral("Point %1").arg(m));
                EXPECT_EQ(s->color(), truth.entry.color);
            }
        }
        if (q == Quantity::X || q == Quantity::Y) {
            EXPECT_EQ(points(byMarker[1]), std::size_t(kFrames));
            EXPECT_EQ(points(byMarker[2]), std::size_t(kFrames - 5));
        }
        // The legend names each marker once.
        int shown = 0;
        for (QLegendMarker *m : k->chart(q)->legend()->markers())
            shown += m->isVisible();
        EXPECT_EQ(shown, 2) << int(q);
        const auto *axisY = static_cast<QValueAxis *>(k->chart(q)->axes(Qt::Vertical).value(0));
        EXPECT_EQ(axisY->titleText(), k->model().axisTitle(q));
        // Every point lies within the scales; magnitudes get no negative scale.
        const auto *axisX = static_cast<QValueAxis *>(k->chart(q)->axes(Qt::Horizontal).value(0));
        for (const auto &[marker, series] : byMarker)
            for (const QLineSeries *s : series)
                for (const QPointF &p : s->points()) {
                    EXPECT_GE(p.y(), axisY->min());
                    EXPECT_LE(p.y(), axisY->max());
                    EXPECT_GE(p.x(), axisX->min());
                    EXPECT_LE(p.x(), axisX->max());
                }
        if (q == Quantity::Speed || q == Quantity::Acceleration) {
            EXPECT_GE(axisY->min(), 0.0) << int(q);
        }
    }
    EXPECT_EQ(static_cast<QValueAxis *>(k->chart(Quantity::X)->axes(Qt::Horizontal).value(0))
                  ->titleText(),
              "Time (s)");
    EXPECT_EQ(static_cast<QValueAxis *>(k->chart(Quantity::Speed)->axes(Qt::Vertical).value(0))
                  ->titleText(),
              "Speed (px/s)");

    // A second open brings the same window back.
    w->mnuAnalysisKinematics->trigger();
    EXPECT_EQ(w->kinematicsWindow(), k);
}

TEST_F(KinematicsWindowTest, UncheckingAMarkerTakesItsSeriesOut) {
    frmKinematics *k = openKinematics();
    ASSERT_TRUE(k);
    k->lstMarkers->item(0)->setCheckState(Qt::Unchecked);
    for (Quantity q : analysis::kQuantities) {
        const auto byMarker = seriesByMarker(*k, q);
        EXPECT_EQ(byMarker.count(1), 0u) << int(q);
        EXPECT_EQ(byMarker.count(2), 1u) << int(q);
    }
    EXPECT_FALSE(k->cutoffText().contains("Point 1"));
    EXPECT_TRUE(k->cutoffText().contains("Point 2"));
    // A refresh keeps the choice.
    k->refresh();
    EXPECT_EQ(k->lstMarkers->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(seriesByMarker(*k, Quantity::X).count(1), 0u);

    k->lstMarkers->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(k->messageText(), "No marker is chosen.");
    EXPECT_TRUE(k->chart(Quantity::X)->series().isEmpty());
    k->lstMarkers->item(0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(k->messageText().isEmpty());
    EXPECT_EQ(seriesByMarker(*k, Quantity::Y).count(1), 1u);
}

TEST_F(KinematicsWindowTest, TheCursorFollowsTheScrollBarAndAClickSeeks) {
    frmKinematics *k = openKinematics();
    ASSERT_TRUE(k);
    for (int frame : {20, 33}) {
        w->hscScroll->setValue(frame);
        for (Quantity q : analysis::kQuantities) {
            QGraphicsLineItem *cursor = k->cursorLine(q);
            ASSERT_TRUE(cursor->isVisible());
            const double x = k->chart(q)->mapToPosition(QPointF(frame / kRate, 0)).x();
            EXPECT_NEAR(cursor->line().x1(), x, 0.01) << frame << " " << int(q);
            EXPECT_NEAR(cursor->line().x2(), x, 0.01) << frame << " " << int(q);
            // From the top of the plot area to its bottom.
            EXPECT_NEAR(std::fabs(cursor->line().dy()), k->chart(q)->plotArea().height(), 0.5);
        }
    }

    // A click at 0.12 s on the speed plot goes to frame 12, the way the scroll bar goes.
    QTest::mouseClick(k->plot(Quantity::Speed)->viewport(), Qt::LeftButton, {},
                      pixelOf(*k, Quantity::Speed, 0.12));
    EXPECT_EQ(w->hscScroll->value(), 12);
    EXPECT_EQ(w->qvxVideo->AVIFrame(), 12);
    EXPECT_TRUE(w->statusPanel(QStringLiteral("Info"))->text().contains("12"));
    EXPECT_NEAR(k->cursorLine(Quantity::X)->line().x1(),
                k->chart(Quantity::X)->mapToPosition(QPointF(0.12, 0)).x(), 0.01);
    QTest::mouseClick(k->plot(Quantity::Y)->viewport(), Qt::LeftButton, {},
                      pixelOf(*k, Quantity::Y, 0.3));
    EXPECT_EQ(w->hscScroll->value(), 30);
    // A click beside the plot area (on the axis labels) does not seek.
    QTest::mouseClick(k->plot(Quantity::Y)->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(w->hscScroll->value(), 30);
}

TEST_F(KinematicsWindowTest, EachPlotExportsAsPngAndSvg) {
    frmKinematics *k = openKinematics();
    ASSERT_TRUE(k);
    const QString png = m_dir.filePath("speed.png");
    dialogs.saveFiles = {png};
    k->exportAction(Quantity::Speed, frmKinematics::ImageFormat::Png)->trigger();
    ASSERT_EQ(dialogs.saveRequests.size(), std::size_t(1));
    EXPECT_TRUE(dialogs.saveRequests[0].filter.startsWith("PNG image (*.png)|*.png"));
    QImage image;
    ASSERT_TRUE(image.load(png, "PNG"));
    EXPECT_EQ(image.size(), k->plot(Quantity::Speed)->size());

    // A name without a suffix gets ".svg".
    dialogs.saveFiles = {m_dir.filePath("acceleration")};
    k->exportAction(Quantity::Acceleration, frmKinematics::ImageFormat::Svg)->trigger();
    QFile svg(m_dir.filePath("acceleration.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    QString root;
    int paths = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            if (root.isEmpty())
                root = xml.name().toString();
            paths += xml.name() == QLatin1String("path") || xml.name() == QLatin1String("polyline");
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(root, "svg");
    EXPECT_GT(paths, 0);
    EXPECT_TRUE(dialogs.messages.empty());

    // Cancelled: nothing written. A folder that does not exist: the failure is reported.
    const int before = int(QDir(m_dir.path()).entryList(QDir::Files).size());
    EXPECT_FALSE(k->exportPlot(Quantity::X, frmKinematics::ImageFormat::Png));
    EXPECT_EQ(int(QDir(m_dir.path()).entryList(QDir::Files).size()), before);
    dialogs.saveFiles = {m_dir.filePath("missing/x.svg")};
    EXPECT_FALSE(k->exportPlot(Quantity::X, frmKinematics::ImageFormat::Svg));
    ASSERT_EQ(dialogs.messages.size(), std::size_t(1));
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("The file could not be written:"));
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("missing/x.svg")));
}

TEST_F(KinematicsWindowTest, TheFilterSettingsChangeTheCutoffsShown) {
    frmKinematics *k = openKinematics();
    ASSERT_TRUE(k);
    EXPECT_TRUE(k->optAutomatic->isChecked());
    EXPECT_FALSE(k->spnCutoff->isEnabled());
    const QStringList automatic = k->cutoffText().split(u'\n');
    ASSERT_EQ(automatic.size(), 2);
    EXPECT_TRUE(automatic[0].startsWith("Point 1: x ")) << automatic[0].toStdString();
    EXPECT_TRUE(automatic[0].endsWith(" Hz (automatic)")) << automatic[0].toStdString();
    // The spin box stays below half the frame rate.
    EXPECT_LT(k->spnCutoff->maximum(), kRate / 2);
    EXPECT_GT(k->spnCutoff->minimum(), 0.0);

    k->spnCutoff->setValue(8.0);
    k->optFixed->click();
    EXPECT_TRUE(k->spnCutoff->isEnabled());
    EXPECT_EQ(k->cutoffText(), "Point 1: x 8.0 Hz, y 8.0 Hz (fixed)\n"
                               "Point 2: x 8.0 Hz, y 8.0 Hz (fixed)");
    k->spnCutoff->setValue(4.5);
    EXPECT_TRUE(k->cutoffText().startsWith("Point 1: x 4.5 Hz, y 4.5 Hz (fixed)"));
    k->optOff->click();
    EXPECT_EQ(k->cutoffText(), "Point 1: off\nPoint 2: off");
    // Off shows the raw points: marker 1's x at frame 10 is where it was put.
    const auto byMarker = seriesByMarker(*k, Quantity::X);
    EXPECT_NEAR(byMarker.at(1).front()->at(10).y(), 55.0, 1e-3);
    k->optAutomatic->click();
    EXPECT_EQ(k->cutoffText().split(u'\n'), automatic);
}

TEST_F(KinematicsWindowTest, ReplottingKeepsTheSameScales) {
    frmKinematics *k = openKinematics();
    ASSERT_TRUE(k);
    const auto ranges = [&] {
        std::vector<std::pair<double, double>> out;
        for (Quantity q : analysis::kQuantities)
            for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
                const auto *axis = static_cast<QValueAxis *>(k->chart(q)->axes(o).value(0));
                out.emplace_back(axis->min(), axis->max());
            }
        return out;
    };
    const auto first = ranges();
    // The time axis covers the video and no more than one tick beyond it.
    const auto *time = static_cast<QValueAxis *>(k->chart(Quantity::X)->axes(Qt::Horizontal)[0]);
    const double duration = (kFrames - 1) / kRate;
    EXPECT_GE(time->max(), duration);
    EXPECT_LT(time->max(), duration + (time->max() - time->min()) / (time->tickCount() - 1));
    for (int i = 0; i < 3; ++i) {
        k->optOff->click();
        k->optAutomatic->click();
        EXPECT_EQ(ranges(), first) << "replot " << i;
    }
}

TEST_F(KinematicsWindowTest, ChangedMarkersAreRedrawnAndWithoutMarkersTheWindowSaysSo) {
    frmKinematics *k = openKinematics();
    ASSERT_TRUE(k);
    EXPECT_EQ(points(seriesByMarker(*k, Quantity::X)[1]), std::size_t(kFrames));
    // Points taken away: the next look at the markers redraws.
    track(
        1, [](int f) { return 40.0 + 1.5 * f; }, [](int) { return 30.0; },
        [](int f) { return f < 30; });
    k->refreshIfChanged();
    EXPECT_EQ(points(seriesByMarker(*k, Quantity::X)[1]), std::size_t(30));

    w->mnuPopUpListDelAllMarkerClick();
    k->refreshIfChanged();
    EXPECT_EQ(k->messageText(), "No markers have been set.");
    EXPECT_EQ(k->lstMarkers->count(), 0);
    for (Quantity q : analysis::kQuantities) {
        EXPECT_TRUE(k->chart(q)->series().isEmpty());
        EXPECT_FALSE(k->cursorLine(q)->isVisible());
    }
    w->mnuAnalysisClick();
    EXPECT_FALSE(w->mnuAnalysisKinematics->isEnabled());
}

TEST_F(KinematicsWindowTest, AnOpenedProjectIsRedrawnEvenWithTheSameVideoAndNames) {
    const QString project = m_dir.filePath("full.oxp");
    ASSERT_TRUE(w->projects().save(project));
    frmKinematics *k = openKinematics();
    ASSERT_TRUE(k);
    track(
        1, [](int f) { return 40.0 + 1.5 * f; }, [](int) { return 30.0; },
        [](int f) { return f < 30; });
    k->refreshIfChanged();
    ASSERT_EQ(points(seriesByMarker(*k, Quantity::X)[1]), std::size_t(30));

    // The saved project brings back the same video and marker names with the whole track.
    ASSERT_TRUE(w->projects().open(project));
    k->refreshIfChanged();
    EXPECT_EQ(points(seriesByMarker(*k, Quantity::X)[1]), std::size_t(kFrames));
}

TEST_F(KinematicsWindowTest, TheExportSwitchWritesTheSettingTheExportsRead) {
    const QString ini = common::appState().IniFile;
    w->mnuFileClick();
    EXPECT_FALSE(w->mnuFileExportKinematics->isChecked());
    auto header = [&] {
        return exportTable(*w, dialogs).at(0);
    };
    EXPECT_FALSE(header().contains("Point 1 Vx (px/s)"));

    w->mnuFileExportKinematics->trigger();
    EXPECT_TRUE(common::readExportKinematicsSetting(ini));
    EXPECT_TRUE(header().contains("Point 1 Vx (px/s)"));
    EXPECT_TRUE(w->mnuFileExportKinematics->isChecked());

    w->mnuFileExportKinematics->trigger();
    EXPECT_FALSE(common::readExportKinematicsSetting(ini));
    EXPECT_FALSE(header().contains("Point 1 Vx (px/s)"));

    // The mark follows the settings file each time the File menu opens.
    ASSERT_TRUE(common::writeExportKinematicsSetting(ini, true));
    w->mnuFileClick();
    EXPECT_TRUE(w->mnuFileExportKinematics->isChecked());
}

} // namespace
