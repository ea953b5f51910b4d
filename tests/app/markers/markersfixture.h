// The marker work on a fake window: a real view control offscreen, the table as plain rows,
// and a record of popups, magnifier pictures and video requests. Scenes are picture
// sequences of bright discs on a dark ground whose centres are known exactly.
#pragma once

#include "answeringdialogs.h"
#include "fakeengines.h"

#include "app/common/appstate.h"
#include "app/markers/markercontroller.h"
#include "components/datalib/datalib.h"
#include "control/cvviewctrl.h"
#include "platform/classes.h"
#include "platform/ui/dialogs.h"
#include "tests/support/discs.h"

#include <QDialog>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class FakeMarkersHost : public markers::MarkersHost {
public:
    struct Row {
        QString text;
        markers::MarkerIcon icon = markers::MarkerIcon::PatternMatching;
        QString tag;
        std::array<QString, 4> cells;
    };

    FakeMarkersHost() { view.resize(640, 480); }

    quivex::CVViewCtrl &videoView() override { return view; }
    QWidget *dialogParent() override { return nullptr; }
    int scrollValue() override { return value; }
    int scrollMaximum() override { return maximum; }

    int rowCount() override { return static_cast<int>(rows.size()); }
    int addRow(const QString &text, markers::MarkerIcon icon) override {
        rows.push_back({text, icon, {}, {text, {}, {}, {}}});
        return rowCount() - 1;
    }
    void removeRow(int row) override {
        rows.erase(rows.begin() + row);
        if (selected == row)
            selected = -1;
        else if (selected > row)
            --selected;
    }
    void clearRows() override {
        rows.clear();
        selected = -1;
    }
    QString rowText(int row) override { return rows.at(std::size_t(row)).text; }
    void setRowText(int row, const QString &text) override {
        rows.at(std::size_t(row)).text = text;
        rows.at(std::size_t(row)).cells[0] = text;
    }
    void setRowIcon(int row, markers::MarkerIcon icon) override {
        rows.at(std::size_t(row)).icon = icon;
    }
    QString rowTag(int row) override { return rows.at(std::size_t(row)).tag; }
    void setRowTag(int row, const QString &tag) override { rows.at(std::size_t(row)).tag = tag; }
    QString cellText(int row, markers::Column c) override {
        return rows.at(std::size_t(row)).cells[std::size_t(c)];
    }
    void setCellText(int row, markers::Column c, const QString &text) override {
        rows.at(std::size_t(row)).cells[std::size_t(c)] = text;
    }
    int selectedRow() override { return selected; }
    void selectRow(int row) override { selected = row; }
    void clearSelection() override { selected = -1; }
    bool tableInReportView() override { return reportView; }
    void setRowBands(const std::vector<QColor> &b) override {
        bands = b;
        ++bandPaints;
    }
    void autoSizeColumns() override { ++autoSizes; }
    void showMagnifier(const platform::ComPtr<platform::IPicture> &picture) override {
        magnifier.push_back(picture);
    }
    void showPopup(markers::Popup popup) override { popups.push_back(popup); }
    void setTableEntryChecked(markers::TableEntry e, bool c) override { checked[e] = c; }
    void setTableEntryEnabled(markers::TableEntry e, bool en) override { enabled[e] = en; }
    void LoadVideo(bool showDialog, int mode, float, int) override {
        videoRequests.push_back({showDialog, mode});
    }
    void UpdateStatusBar() override { ++statusUpdates; }

    quivex::CVViewCtrl view;
    std::vector<Row> rows;
    int selected = -1;
    int value = 0;
    int maximum = 0;
    bool reportView = true;
    std::vector<QColor> bands;
    int bandPaints = 0, autoSizes = 0, statusUpdates = 0;
    std::vector<platform::ComPtr<platform::IPicture>> magnifier;
    std::vector<markers::Popup> popups;
    std::map<markers::TableEntry, bool> checked, enabled;
    std::vector<std::pair<bool, int>> videoRequests;
};

// A 2-D calibration object as the start procedure leaves it: no reference point yet.
inline platform::ComPtr<datalib::TalvorCal2D> makeCalibration() {
    datalib::registerClasses();
    auto factory = platform::createInstance<datalib::TalvorCalFactory>(datalib::CLSID_CalFactory);
    datalib::TalvorCal2D *raw = nullptr;
    if (factory)
        factory->CreateCal2D(&raw);
    auto calibration = platform::ComPtr<datalib::TalvorCal2D>::attach(raw);
    if (calibration) {
        calibration->SetParameter(1, 0);
        calibration->SetPointX(0, datalib::kMissing);
    }
    return calibration;
}

// A disc's centre in every frame; frames where it is hidden give nothing.
using DiscPath = std::function<std::optional<QPointF>(int frame)>;

// Writes `frames` BMP pictures pic1.bmp ... into `folder`: a dark ground (grey 40) with
// antialiased bright discs (grey 230) of the given radius; returns the sequence pattern.
inline QString writeDiscSequence(const QString &folder, int frames, QSize size,
                                 const std::vector<DiscPath> &discs, double radius = 7.0) {
    for (int f = 0; f < frames; ++f) {
        std::vector<QPointF> centres;
        for (const DiscPath &disc : discs)
            if (const auto c = disc(f))
                centres.push_back(*c);
        testsupport::discPicture(size, centres, radius)
            .save(QStringLiteral("%1/pic%2.bmp").arg(folder).arg(f + 1));
    }
    return folder + QStringLiteral("/pic%d.bmp");
}

class MarkersFixture : public ::testing::Test {
protected:
    void SetUp() override {
        state.TextBase = 4000;
        state.UiLcid = 1033;
        state.MarkerColors = common::defaultMarkerColors();
        state.settings.CalibrationMandatory = false;
        objects.patternMatcher =
            platform::ComPtr<engines::IPatternMatcher>::attach(new fake::PatternMatcher(pattern));
        objects.markerTracker =
            platform::ComPtr<engines::IMarkerTracker>::attach(new fake::MarkerTracker(tracker));
        objects.graphicItems = markers::createGraphicItems();
        markers::createDataSets(objects);
        controller = std::make_unique<markers::MarkerController>(host, state, objects);
        controller->table.setDecimalSeparator(QStringLiteral("."));
    }

    // A plain sequence of `frames` pictures of `size` opened in the view, as video loading
    // leaves it: frame 0, the interaction state of a fresh video.
    void openBlank(int frames, QSize size = QSize(320, 240)) {
        open(writeDiscSequence(m_dir.path(), frames, size, {}), frames);
    }
    void open(const QString &pattern, int frames, float rate = 100.0f) {
        ASSERT_EQ(host.view.AVIOpen(pattern.toStdString(), 0), 0) << pattern.toStdString();
        state.VideoWidth = host.view.AVIWidth();
        state.VideoHeight = host.view.AVIHeight();
        state.FrameCount = frames;
        state.VideoFrameRate = rate;
        state.NoVideo = false;
        state.InteractionState = 5;
        host.maximum = frames - 1;
        host.value = 0;
        host.view.SetAVIFrame(0);
    }
    // The frame change as the video part runs it: the view's frame, then the pass.
    void step(int frame) {
        host.value = frame;
        host.view.SetAVIFrame(frame);
        controller->pass.UpdateFrameMarkers();
    }
    // Press, drag sideways by `dx` and release at (x, y) + (dx, 0), with the left button.
    void create(double x, double y, double dx = 10) {
        markers::MarkerMouse &mouse = controller->mouse;
        mouse.SpecialMouseDown(markers::kLeft, 0, 0, x, y);
        mouse.SpecialMouseMove(markers::kLeft, 0, 0, x + dx, y);
        mouse.SpecialMouseUp(markers::kLeft, 0, 0, x + dx, y);
    }
    // The calibration a user sets: 50 cm between (100, 150) and (300, 200), aspect 4:3,
    // 25 Hz, from the calibration dialog's form and two presses.
    void calibrateFiftyCentimetres() {
        state.Calibration = makeCalibration();
        ASSERT_TRUE(state.Calibration);
        markers::CalibrationForm form;
        form.distance = "50";
        form.aspect = "4:3";
        form.frequency = "25";
        form.unitIndex = 2;
        ASSERT_EQ(controller->calibrator.accept(form), markers::Calibrator::Outcome::Accepted);
        controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 100, 150);
        controller->mouse.SpecialMouseDown(markers::kLeft, 0, 0, 300, 200);
    }
    markers::MarkerChannels channels(platform::LONG marker) {
        return controller->store.bind(marker);
    }
    // Marker `marker` at (x(f), y(f)) pixels in every frame of the video that `has(f)` allows,
    // and without a point in the others.
    void track(
        platform::LONG marker, const std::function<double(int)> &x,
        const std::function<double(int)> &y,
        const std::function<bool(int)> &has = [](int) { return true; }) {
        const markers::MarkerChannels ch = channels(marker);
        for (int f = 0; f < state.FrameCount; ++f) {
            ch.put(markers::Channel::PointStatus, f, has(f) ? 1.0f : 0.0f);
            ch.put(markers::Channel::PosX, f, float(x(f) / state.VideoWidth));
            ch.put(markers::Channel::PosY, f, float(y(f) / state.VideoHeight));
        }
    }
    // Every item of the collection in order, with its number.
    void forEachItem(
        const std::function<void(platform::LONG,
                                 const platform::ComPtr<datalib::TalvorGraphicItem> &)> &visit) {
        platform::LONG count = 0;
        objects.graphicItems->GetCount(&count);
        for (platform::LONG i = 1; i <= count; ++i) {
            datalib::TalvorGraphicItem *raw = nullptr;
            objects.graphicItems->GetItem(i, &raw);
            auto item = platform::ComPtr<datalib::TalvorGraphicItem>::attach(raw);
            platform::LONG id = 0;
            item->GetID(&id);
            visit(id, item);
        }
    }
    // Numbers of the items in the collection, in order.
    std::vector<platform::LONG> itemNumbers() {
        std::vector<platform::LONG> out;
        forEachItem([&](platform::LONG id, const auto &) { out.push_back(id); });
        return out;
    }
    int countItems(platform::LONG number) {
        const auto all = itemNumbers();
        return static_cast<int>(std::count(all.begin(), all.end(), number));
    }
    platform::ComPtr<datalib::TalvorGraphicItem> firstItem(platform::LONG number) {
        platform::ComPtr<datalib::TalvorGraphicItem> found;
        forEachItem([&](platform::LONG id, const auto &item) {
            if (id == number && !found)
                found = item;
        });
        return found;
    }

    QTemporaryDir m_dir;
    std::shared_ptr<fake::Script> pattern = std::make_shared<fake::Script>();
    std::shared_ptr<fake::Script> tracker = std::make_shared<fake::Script>();
    FakeMarkersHost host;
    common::AppState state;
    markers::MarkerObjects objects;
    std::unique_ptr<markers::MarkerController> controller;
    AnsweringDialogs dialogs;
};
