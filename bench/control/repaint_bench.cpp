// Per-repaint cost of the view: a 1080p frame with 200 graphic items at zoom 100 and 250,
// against a bare blit of the same frame at the same zoom into a target of the same size,
// measured in the same run. Prints the ratios after Google Benchmark's table.
#include "components/datalib/datalib.h"
#include "components/datalib/interfaces.h"
#include "control/cvviewctrl.h"
#include "platform/classes.h"
#include "tests/support/clips.h"

#include <QApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

namespace {

const QSize kView(1280, 720);

std::filesystem::path clip() {
    const auto path = std::filesystem::temp_directory_path() / "orvane-bench-1080p.mp4";
    if (!std::filesystem::exists(path)) {
        if (!testsupport::makeClip(path.string(), "-c:v libx264 -pix_fmt yuv420p", 5, "1920x1080"))
            std::fprintf(stderr, "ffmpeg failed to make the clip\n");
    }
    return path;
}

struct Fixture {
    quivex::CVViewCtrl ctrl;
    platform::ComPtr<datalib::TalvorGraphicItems> items;
    QImage frame; // the same frame as the player delivers it, for the bare blit

    Fixture() {
        ctrl.resize(kView);
        ctrl.AVIOpen(clip().string(), 0);
        ctrl.SetAVIFrame(2);
        datalib::registerClasses();
        items = platform::createInstance<datalib::TalvorGraphicItems>(datalib::CLSID_GraphicItems);
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> x(0, 1920), y(0, 1080);
        const datalib::ItemKind kinds[] = {datalib::ItemBox, datalib::ItemCross,
                                           datalib::ItemCircle, datalib::ItemLines};
        for (int i = 0; i < 200; ++i) {
            datalib::TalvorGraphicItem *raw = nullptr;
            items->Add(kinds[i % 4], &raw);
            auto item = platform::ComPtr<datalib::TalvorGraphicItem>::attach(raw);
            const float cx = x(rng), cy = y(rng);
            item->SetPoint1(cx - 10, cy - 10);
            item->SetPoint2(cx + 10, cy + 10);
            item->SetSize(6);
            item->SetStyle(2);
            item->SetLineColor(0x00FF00);
        }
        ctrl.SetGraphicItems(platform::ComPtr<platform::IUnknown>::share(items.get()));
        auto picture = ctrl.PicturePart(2, 100, 0, 0, 0, 0, 0, 0).query<platform::IPicture>();
        if (picture) {
            const auto v = picture->image();
            frame = QImage(v.data, v.width, v.height, v.stride, QImage::Format_RGB32).copy();
        }
    }
};

Fixture &fixture() {
    static Fixture f;
    return f;
}

std::map<std::string, double> g_nsPerIteration;

void BM_Repaint(benchmark::State &state) {
    auto &f = fixture();
    f.ctrl.SetZoom(static_cast<quivex::LONG>(state.range(0)));
    for (auto _ : state) {
        QImage view = f.ctrl.composeView(kView);
        benchmark::DoNotOptimize(view.constBits());
    }
}

void BM_BareBlit(benchmark::State &state) {
    auto &f = fixture();
    const double scale = static_cast<double>(state.range(0)) / 100.0;
    QImage target(kView, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&target);
        p.drawImage(QRectF(0, 0, f.frame.width() * scale, f.frame.height() * scale), f.frame);
        p.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}

BENCHMARK(BM_Repaint)->Arg(100)->Arg(250)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareBlit)->Arg(100)->Arg(250)->Unit(benchmark::kMillisecond);

// Collects the mean time of each run for the ratio lines.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const auto &r : runs)
            g_nsPerIteration[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char *zoom : {"100", "250"}) {
        const double repaint = g_nsPerIteration[std::string("BM_Repaint/") + zoom];
        const double blit = g_nsPerIteration[std::string("BM_BareBlit/") + zoom];
        if (blit > 0)
            std::printf("zoom %s: repaint with 200 items %.3f ms, bare blit %.3f ms, ratio %.2f\n",
                        zoom, repaint, blit, repaint / blit);
    }
    return 0;
}
