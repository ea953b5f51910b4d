// Per-repaint cost of the view against a bare blit of the same 1080p frame at the same zoom
// into a target of the same size, measured in the same run, at zoom 100 and 250:
//  - the frame with 200 graphic items;
//  - the frame with every layer on: 200 graphic items, 30 points of raw 2-D data with their
//    connections, and an overlay picture of the frame's size with a transparent colour.
// Every benchmark runs `--runs N` times (default 3); the ratios are summed up as median and
// spread and the all-layers ratio at zoom 100 is checked against its ceiling of 3.
#include "bench/common/reference.h"
#include "components/datalib/datalib.h"
#include "components/datalib/interfaces.h"
#include "control/cvviewctrl.h"
#include "platform/classes.h"
#include "tests/support/clips.h"

#include <QApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

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

// The same view with every overlay layer on.
struct AllLayers {
    quivex::CVViewCtrl ctrl;
    platform::ComPtr<datalib::TalvorDatas> data;
    platform::ComPtr<datalib::TalvorSpec> layout;
    platform::ComPtr<platform::IPicture> picture;

    AllLayers() {
        auto &base = fixture();
        ctrl.resize(kView);
        ctrl.AVIOpen(clip().string(), 0);
        ctrl.SetAVIFrame(2);
        ctrl.SetGraphicItems(platform::ComPtr<platform::IUnknown>::share(base.items.get()));

        // 30 points on a ring, each joined to the next, every fifth also circled.
        auto factory = datalib::createDataFactory();
        datalib::TalvorDatas *raw = nullptr;
        factory->CreateDatas(-1, &raw);
        data = platform::ComPtr<datalib::TalvorDatas>::attach(raw);
        data->SetComponentCount(2);
        layout = datalib::createPointLayout();
        for (int id = 1; id <= 30; ++id) {
            datalib::addMarkerChannels(*factory, *data, id, 0, 10);
            const double a = id * 2 * 3.14159265 / 30;
            platform::LONG status = 0;
            data->WriteFrame(id, 2, static_cast<float>(0.5 + 0.3 * std::cos(a)),
                             static_cast<float>(0.5 + 0.3 * std::sin(a)), -1.0f, &status);
            layout->AddPoint(id);
            layout->AddConnection(id, id % 30 + 1, 0x00FFFF);
            if (id % 5 == 0)
                layout->AddConnection(id, -12, 0xFF00FF);
        }
        ctrl.SetRawDatas(platform::ComPtr<platform::IUnknown>::share(data.get()));
        ctrl.SetSpecification(platform::ComPtr<platform::IUnknown>::share(layout.get()));
        ctrl.SetFlag(quivex::QVXW_DRAW_STICK, 1);
        ctrl.SetPointsVisible(1);
        ctrl.SetConnectionsVisible(1);
        ctrl.SetPenWidth(2);

        // An annotation picture of the frame's size: transparent (magenta) but for a scale
        // bar, a label box and a grid of tick marks.
        picture = platform::createPicture(1920, 1080, platform::PixelFormat::Bgra32);
        QImage target(picture->mutableData(), 1920, 1080, picture->image().stride,
                      QImage::Format_RGB32);
        target.fill(QColor(255, 0, 255));
        QPainter p(&target);
        p.fillRect(100, 980, 600, 20, Qt::white);
        p.fillRect(1500, 60, 360, 120, QColor(30, 30, 30));
        for (int x = 0; x < 1920; x += 120)
            for (int y = 0; y < 1080; y += 120)
                p.fillRect(x, y, 6, 6, Qt::yellow);
        p.end();
        ctrl.SetOverlayPicture(platform::ComPtr<platform::IUnknown>::share(picture.get()));
        ctrl.SetOverlayTransparentColor(0x00FF00FF);
        ctrl.SetOverlayFlags(quivex::TALVOROVL_SHOW | quivex::TALVOROVL_STRETCH);
    }
};

AllLayers &allLayers() {
    static AllLayers f;
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

void BM_RepaintAllLayers(benchmark::State &state) {
    auto &f = allLayers();
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
BENCHMARK(BM_RepaintAllLayers)->Arg(100)->Arg(250)->Unit(benchmark::kMillisecond);
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
    int runs = 3;
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    std::printf("measured at commit %s\n", benchref::measuredCommit().c_str());
    RatioReporter reporter;
    std::map<std::string, std::vector<double>> ratios;
    for (int run = 0; run < runs; ++run) {
        g_nsPerIteration.clear();
        benchmark::RunSpecifiedBenchmarks(&reporter);
        for (const char *zoom : {"100", "250"}) {
            const double blit = g_nsPerIteration[std::string("BM_BareBlit/") + zoom];
            if (blit <= 0)
                continue;
            for (const char *kind : {"BM_Repaint/", "BM_RepaintAllLayers/"}) {
                const double repaint = g_nsPerIteration[std::string(kind) + zoom];
                if (repaint > 0)
                    ratios[std::string(kind) + zoom].push_back(repaint / blit);
            }
        }
    }
    benchref::Goals goals;
    for (const char *zoom : {"100", "250"}) {
        goals.add(std::string("repaint with 200 items / bare blit, zoom ") + zoom, 0,
                  ratios[std::string("BM_Repaint/") + zoom]);
        const std::string all = std::string("repaint with every layer / bare blit, zoom ") + zoom;
        const auto &measured = ratios[std::string("BM_RepaintAllLayers/") + zoom];
        if (std::string(zoom) == "100")
            goals.addCeiling(all, 3.0, measured);
        else
            goals.add(all, 0, measured);
    }
    return goals.report() ? 0 : 1;
}
