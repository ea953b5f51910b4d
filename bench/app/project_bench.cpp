// Saving and opening a project: 20 markers with every frame a channel can hold (32 768, the
// frames a 16-bit frame number names), and 61 markers, which hold as many values as 20
// markers over 100 000 frames would. Save = taking the values out of the data sets and
// writing the file; open = reading the file and putting the values back into data sets.
// Reports the median of 5 rounds each, the spread, and the file size against the raw data.
// Reference, measured in the same rounds: the raw values written as one plain file (QSaveFile)
// and read back, the least any save and open must do.
#include "app/markers/markercontroller.h"
#include "app/project/projectfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 32768;

// The marker part of a window without a window: the data sets and a table of rows.
class Host final : public markers::MarkersHost {
public:
    quivex::CVViewCtrl &videoView() override { std::abort(); }
    QWidget *dialogParent() override { return nullptr; }
    int scrollValue() override { return 0; }
    int scrollMaximum() override { return kFrames - 1; }
    int rowCount() override { return int(rows.size()); }
    int addRow(const QString &text, markers::MarkerIcon) override {
        rows.push_back({text, {}, {}});
        return rowCount() - 1;
    }
    void removeRow(int row) override { rows.erase(rows.begin() + row); }
    void clearRows() override { rows.clear(); }
    QString rowText(int row) override { return rows[std::size_t(row)].text; }
    void setRowText(int row, const QString &t) override { rows[std::size_t(row)].text = t; }
    void setRowIcon(int, markers::MarkerIcon) override {}
    QString rowTag(int row) override { return rows[std::size_t(row)].tag; }
    void setRowTag(int row, const QString &t) override { rows[std::size_t(row)].tag = t; }
    QString cellText(int row, markers::Column c) override {
        return rows[std::size_t(row)].cells[std::size_t(c)];
    }
    void setCellText(int row, markers::Column c, const QString &t) override {
        rows[std::size_t(row)].cells[std::size_t(c)] = t;
    }
    int selectedRow() override { return -1; }
    void selectRow(int) override {}
    void clearSelection() override {}
    bool tableInReportView() override { return true; }
    void setRowBands(const std::vector<QColor> &) override {}
    void autoSizeColumns() override {}
    void showMagnifier(const platform::ComPtr<platform::IPicture> &) override {}
    void showPopup(markers::Popup) override {}
    void setTableEntryChecked(markers::TableEntry, bool) override {}
    void setTableEntryEnabled(markers::TableEntry, bool) override {}
    void LoadVideo(bool, int, float, int) override {}
    void UpdateStatusBar() override {}

    struct Row {
        QString text, tag;
        std::array<QString, 4> cells;
    };
    std::vector<Row> rows;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::map<std::string, std::string> g_results;

void result(const std::string &name, const char *format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    g_results[name] = text;
}

void saveAndOpen(benchmark::State &st, int markerCount) {
    common::AppState state;
    markers::MarkerObjects objects;
    markers::createDataSets(objects);
    Host host;
    markers::MarkerController work(host, state, objects);
    // Tracked markers: a point in every frame, the values a tracking pass writes.
    for (int m = 1; m <= markerCount; ++m) {
        work.store.createMarkerData(m, kFrames, 0x80FFFF, 16);
        const auto ch = work.store.bind(m);
        for (int f = 0; f < kFrames; ++f) {
            ch.put(markers::Channel::PosX, f, float(0.5 + 0.3 * std::sin(f * 0.001 * m)));
            ch.put(markers::Channel::PosY, f, float(0.5 + 0.3 * std::cos(f * 0.0013 * m)));
            ch.put(markers::Channel::Angle, f, float(f % 360) * 0.37f);
            ch.put(markers::Channel::PointStatus, f, 1.0f);
            ch.put(markers::Channel::PointRadius, f, 12.0f);
            ch.put(markers::Channel::PointSource, f, 1.0f);
        }
        const int row = host.addRow(work.table.markerName(m), markers::MarkerIcon::PatternMatching);
        host.setRowTag(row, QString::number(m));
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("bench.oxp");
    std::vector<double> saves, opens, plainWrites, plainReads;
    const QByteArray rawBytes(qsizetype(markerCount) * 10 * kFrames * 4, '\x5a');
    const QString plain = dir.filePath("plain.bin");
    bool identical = true;
    for (auto _ : st) {
        for (int round = 0; round < 5; ++round) {
            auto start = Clock::now();
            {
                QSaveFile out(plain);
                if (!out.open(QIODevice::WriteOnly) || out.write(rawBytes) != rawBytes.size() ||
                    !out.commit())
                    st.SkipWithError("the plain file was not written");
            }
            plainWrites.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            start = Clock::now();
            {
                QFile in(plain);
                if (!in.open(QIODevice::ReadOnly) || in.readAll().size() != rawBytes.size())
                    st.SkipWithError("the plain file did not read back");
            }
            plainReads.push_back(std::chrono::duration<double>(Clock::now() - start).count());

            start = Clock::now();
            project::ProjectData d;
            work.project.capture(d);
            QString error;
            if (!project::ProjectFile::write(file, d, &error))
                st.SkipWithError(error.toStdString().c_str());
            saves.push_back(std::chrono::duration<double>(Clock::now() - start).count());

            start = Clock::now();
            const auto read = project::ProjectFile::read(file, nullptr);
            if (!read) {
                st.SkipWithError("the project did not read back");
                return;
            }
            work.project.restore(*read);
            opens.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            identical = identical && read->channels.size() == d.channels.size();
        }
    }
    const double raw = double(markerCount) * 10 * kFrames * 4;
    const double size = double(QFileInfo(file).size());
    const std::string tag = std::to_string(markerCount) + " markers x 32768 frames";
    std::sort(saves.begin(), saves.end());
    std::sort(opens.begin(), opens.end());
    result("save, s (goal < 1), " + tag, "%.3f", median(saves));
    result("save spread, s, " + tag, "%.3f", saves.back() - saves.front());
    result("open, s (goal < 1), " + tag, "%.3f", median(opens));
    result("open spread, s, " + tag, "%.3f", opens.back() - opens.front());
    result("save / plain write, " + tag, "%.2f", median(saves) / median(plainWrites));
    result("open / plain read, " + tag, "%.2f", median(opens) / median(plainReads));
    result("file size / raw values, " + tag, "%.3f", size / raw);
    result("file size, MB, " + tag, "%.1f", size / 1e6);
    st.counters["identical"] = identical ? 1 : 0;
}

} // namespace

BENCHMARK_CAPTURE(saveAndOpen, m20, 20)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(saveAndOpen, m61, 61)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nProjects (median of 5 rounds):\n");
    for (const auto &[name, value] : g_results)
        std::printf("  %-62s %s\n", name.c_str(), value.c_str());
    return 0;
}
