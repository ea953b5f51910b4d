// qvxhost: hosts the video view control the way a test container does.
//   qvxhost FILE [--frame N] [--zoom Z] [--offset H,V] [--size WxH] [--screenshot OUT.png]
//                [--overlay-picture PIC --transparent 0xBBGGRR --overlay-at X,Y [--stretch]]
//                [--points CSV [--connections CSV]] [--rect L,T,R,B]
//                [--mix FILE [--threshold T]]
//   qvxhost --live [--device N] [--size WxH] [--record FILE --seconds S] [--screenshot OUT.png]
// --live shows the camera's live picture (device N, or the first that works); with --record it
// records S seconds to FILE and exits, printing the statistics events; with --screenshot it
// saves the view after the first second of live picture (at the end of a recording) and exits.
// --points reads lines "frame,id,x,y" (x and y as fractions of the image size) and draws
// them as raw 2-D data; --connections reads "a,b,colour" (b < 0: a circle of radius -b
// around a; colour 0xBBGGRR or decimal). Lines starting with '#' and empty lines are skipped.
// With --screenshot the view is rendered at the size into a PNG and the program exits (no
// display is needed); message boxes go to standard error. Otherwise a window shows the control with
// frame steps, zoom and offset fields and a button that adds graphic items, and every event of the
// control is printed to standard output, one line per event. A FILE that exists and is no regular
// file (a FIFO, a device, a folder) is refused at once: reading one could wait for a writer
// forever.
#include "components/datalib/datalib.h"
#include "components/datalib/interfaces.h"
#include "control/cvviewctrl.h"
#include "platform/classes.h"
#include "platform/ui/dialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <QFile>
#include <QImage>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <vector>

using quivex::CVViewCtrl;
using quivex::LONG;

namespace {

// Message boxes of a batch run are printed instead of shown.
struct PrintingDialogs final : platform::ui::Dialogs {
    int messageBox(QWidget *, const QString &text, const QString &title, int) override {
        std::cerr << "message: " << title.toStdString() << ": " << text.toStdString() << '\n';
        return platform::ui::Ok;
    }
    void beep() override { std::cerr << "beep\n"; }
    std::optional<QString> openFile(QWidget *, const platform::ui::FileDialogRequest &) override {
        return std::nullopt;
    }
    std::optional<QString> saveFile(QWidget *, const platform::ui::FileDialogRequest &) override {
        return std::nullopt;
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { return std::nullopt; }
    int exec(QDialog &) override { return 0; }
};

void printEvents(CVViewCtrl &ctrl) {
    auto mouse = [](const char *name) {
        return [name](LONG flags, LONG x, LONG y, double fx, double fy) {
            std::printf("%s %d %d %d %.4f %.4f\n", name, flags, x, y, fx, fy);
            std::fflush(stdout);
        };
    };
    QObject::connect(&ctrl, &CVViewCtrl::SpecialMouseDown, mouse("SpecialMouseDown"));
    QObject::connect(&ctrl, &CVViewCtrl::SpecialMouseMove, mouse("SpecialMouseMove"));
    QObject::connect(&ctrl, &CVViewCtrl::SpecialMouseUp, mouse("SpecialMouseUp"));
    QObject::connect(&ctrl, &CVViewCtrl::ZoomChange, [](LONG zoom) {
        std::printf("ZoomChange %d\n", zoom);
        std::fflush(stdout);
    });
    QObject::connect(&ctrl, &CVViewCtrl::NewRectangle, [](float l, float t, float r, float b) {
        std::printf("NewRectangle %.2f %.2f %.2f %.2f\n", l, t, r, b);
        std::fflush(stdout);
    });
    QObject::connect(&ctrl, &CVViewCtrl::VideoStream, [](LONG d, LONG f, LONG dropped, LONG ms) {
        std::printf("VideoStream %d %d %d %d\n", d, f, dropped, ms);
        std::fflush(stdout);
    });
    QObject::connect(&ctrl, &CVViewCtrl::HelpInfo, [](LONG id, LONG control) {
        std::printf("HelpInfo %d %d\n", id, control);
        std::fflush(stdout);
    });
}

// A few items in the image's own coordinates: a box, a cross, a circle and a line.
void addGraphicItems(datalib::TalvorGraphicItems *items, LONG w, LONG h) {
    auto add = [&](LONG kind, float x1, float y1, float x2, float y2, platform::COLORREF color) {
        datalib::TalvorGraphicItem *raw = nullptr;
        if (platform::failed(items->Add(kind, &raw)) || !raw)
            return;
        auto item = platform::ComPtr<datalib::TalvorGraphicItem>::attach(raw);
        item->SetPoint1(x1, y1);
        item->SetPoint2(x2, y2);
        item->SetSize(8.0f);
        item->SetStyle(2);
        item->SetLineColor(color);
    };
    add(datalib::ItemBox, w * 0.25f, h * 0.25f, w * 0.45f, h * 0.45f, 0x0000FF);
    add(datalib::ItemCross, w * 0.5f, h * 0.5f, 0, 0, 0x00FF00);
    add(datalib::ItemCircle, w * 0.6f, h * 0.2f, w * 0.8f, h * 0.4f, 0xFF0000);
    add(datalib::ItemLines, w * 0.1f, h * 0.9f, w * 0.9f, h * 0.7f, 0x00FFFF);
}

// "A,B" or "A,B,C,D" as numbers; nullopt when a part is missing or no number.
std::optional<std::vector<double>> numbers(const QString &text, int count) {
    const QStringList parts = text.split(',');
    if (parts.size() != count)
        return std::nullopt;
    std::vector<double> values;
    for (const QString &part : parts) {
        bool ok = false;
        values.push_back(part.trimmed().toDouble(&ok));
        if (!ok)
            return std::nullopt;
    }
    return values;
}

// 0xBBGGRR or a decimal number.
std::optional<platform::COLORREF> colour(const QString &text) {
    bool ok = false;
    const QString t = text.trimmed();
    const qulonglong v = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                             ? t.mid(2).toULongLong(&ok, 16)
                             : t.toULongLong(&ok, 10);
    if (!ok || v > 0xFFFFFFu)
        return std::nullopt;
    return static_cast<platform::COLORREF>(v);
}

// The rows of a comma-separated file, each with `columns` fields; an error names the line.
std::optional<std::vector<QStringList>> readCsv(const QString &path, int columns) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::cerr << "qvxhost: cannot read " << path.toStdString() << '\n';
        return std::nullopt;
    }
    std::vector<QStringList> rows;
    QTextStream in(&file);
    for (int line = 1; !in.atEnd(); ++line) {
        const QString text = in.readLine().trimmed();
        if (text.isEmpty() || text.startsWith('#'))
            continue;
        const QStringList fields = text.split(',');
        if (fields.size() != columns) {
            std::cerr << "qvxhost: " << path.toStdString() << ':' << line << ": expected "
                      << columns << " fields\n";
            return std::nullopt;
        }
        rows.push_back(fields);
    }
    return rows;
}

// The objects the view draws raw 2-D data from; kept alive as long as the view.
struct PointData {
    platform::ComPtr<datalib::TalvorDatas> data;
    platform::ComPtr<datalib::TalvorSpec> layout;
};

std::optional<PointData> loadPoints(const QString &pointsPath, const QString &connectionsPath) {
    const auto rows = readCsv(pointsPath, 4);
    if (!rows)
        return std::nullopt;
    struct Sample {
        LONG frame;
        LONG id;
        float x;
        float y;
    };
    std::vector<Sample> samples;
    std::vector<LONG> ids; // in the order first seen
    std::map<LONG, LONG> lastFrame;
    for (const QStringList &r : *rows) {
        bool okFrame = false, okId = false, okX = false, okY = false;
        const Sample s{r[0].trimmed().toInt(&okFrame), r[1].trimmed().toInt(&okId),
                       r[2].trimmed().toFloat(&okX), r[3].trimmed().toFloat(&okY)};
        if (!okFrame || !okId || !okX || !okY || s.frame < 0 || s.frame > 32767) {
            std::cerr << "qvxhost: " << pointsPath.toStdString()
                      << ": a row is no frame (0..32767), id, x, y\n";
            return std::nullopt;
        }
        if (!lastFrame.contains(s.id))
            ids.push_back(s.id);
        lastFrame[s.id] = std::max(lastFrame[s.id], s.frame);
        samples.push_back(s);
    }
    PointData out;
    auto factory = datalib::createDataFactory();
    datalib::TalvorDatas *raw = nullptr;
    factory->CreateDatas(-1, &raw);
    out.data = platform::ComPtr<datalib::TalvorDatas>::attach(raw);
    out.data->SetComponentCount(2);
    out.layout = datalib::createPointLayout();
    for (LONG id : ids) {
        datalib::addMarkerChannels(*factory, *out.data, id, 0, lastFrame[id] + 1);
        out.layout->AddPoint(id);
    }
    for (const Sample &s : samples) {
        LONG status = 0;
        out.data->WriteFrame(s.id, static_cast<platform::SHORT>(s.frame), s.x, s.y, -1.0f, &status);
    }
    if (connectionsPath.isEmpty())
        return out;
    const auto connections = readCsv(connectionsPath, 3);
    if (!connections)
        return std::nullopt;
    for (const QStringList &r : *connections) {
        bool okA = false, okB = false;
        const LONG a = r[0].trimmed().toInt(&okA), b = r[1].trimmed().toInt(&okB);
        const auto c = colour(r[2]);
        if (!okA || !okB || !c) {
            std::cerr << "qvxhost: " << connectionsPath.toStdString()
                      << ": a row is no a, b, colour\n";
            return std::nullopt;
        }
        out.layout->AddConnection(a, b, *c);
    }
    return out;
}

// A picture file as a picture object (BGRA).
platform::ComPtr<platform::IPicture> loadPicture(const QString &path) {
    const QImage image = QImage(path).convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return {};
    auto picture =
        platform::createPicture(image.width(), image.height(), platform::PixelFormat::Bgra32);
    if (!picture)
        return {};
    const int stride = picture->image().stride;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(picture->mutableData() + static_cast<std::ptrdiff_t>(y) * stride,
                    image.constScanLine(y), static_cast<std::size_t>(image.width()) * 4);
    return picture;
}

// "WxH" with positive sizes; nothing for anything else.
std::optional<QSize> parseSize(const QString &text) {
    const QStringList parts = text.split('x');
    bool okWidth = false, okHeight = false;
    const QSize size(parts.value(0).toInt(&okWidth), parts.value(1).toInt(&okHeight));
    if (parts.size() != 2 || !okWidth || !okHeight || size.width() <= 0 || size.height() <= 0)
        return std::nullopt;
    return size;
}

// Live video from a camera: shown, recorded for a while, or saved as a screenshot (with a
// recording, the screenshot is taken at its end).
int runLive(CVViewCtrl &ctrl, LONG device, const QString &record, double seconds,
            const QString &screenshot) {
    printEvents(ctrl);
    if (device >= 0)
        ctrl.SetCaptureDevice(device);
    if (!record.isEmpty())
        ctrl.SetCaptureFilename(record.toStdString());
    ctrl.show(); // the preview lives in the view's window
    ctrl.SetLiveVideo(1);
    if (!ctrl.LiveVideo()) {
        std::cerr << "qvxhost: no camera could be started\n";
        return 1;
    }
    std::printf("LiveVideo device %d %dx%d\n", ctrl.CaptureDevice(), ctrl.CaptureWidth(),
                ctrl.CaptureHeight());
    std::fflush(stdout);
    if (record.isEmpty() && screenshot.isEmpty())
        return qApp->exec();

    int status = 0;
    const auto saveScreenshot = [&] {
        if (!screenshot.isEmpty() && !ctrl.grab().save(screenshot)) {
            std::cerr << "qvxhost: cannot write " << screenshot.toStdString() << '\n';
            status = 1;
        }
    };
    if (!record.isEmpty()) {
        ctrl.SetFireStatusEnabled(1);
        ctrl.CaptureStart();
        QTimer::singleShot(static_cast<int>(seconds * 1000), qApp, [&] {
            saveScreenshot();
            ctrl.CaptureStop();
            qApp->quit();
        });
    } else {
        QTimer::singleShot(1000, qApp, [&] {
            saveScreenshot();
            qApp->quit();
        });
    }
    qApp->exec();
    ctrl.SetLiveVideo(0);
    return status;
}

} // namespace

int main(int argc, char **argv) {
    // Batch runs need no display: a screenshot, or a recording of the live picture.
    bool screenshot = false, record = false, live = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        screenshot = screenshot || argument == "--screenshot";
        record = record || argument == "--record";
        live = live || argument == "--live";
    }
    const bool batch = screenshot || (live && record);
    if (batch && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Hosts the Quivex video view control.");
    parser.addHelpOption();
    parser.addPositionalArgument("FILE", "video, picture sequence pattern or raw frame file");
    const QCommandLineOption frameOpt("frame", "frame to show", "N", "0");
    const QCommandLineOption zoomOpt("zoom", "zoom in percent", "Z", "100");
    const QCommandLineOption offsetOpt("offset", "scroll offsets", "H,V", "0,0");
    const QCommandLineOption sizeOpt("size", "view size", "WxH", "640x480");
    const QCommandLineOption shotOpt("screenshot", "render to a PNG and exit", "OUT.png");
    const QCommandLineOption pictureOpt("overlay-picture", "picture laid over the video", "PIC");
    const QCommandLineOption transparentOpt("transparent", "its transparent colour", "0xBBGGRR",
                                            "0xFF00FF");
    const QCommandLineOption overlayAtOpt("overlay-at", "its position in image pixels", "X,Y",
                                          "0,0");
    const QCommandLineOption stretchOpt("stretch", "scale it with the zoom");
    const QCommandLineOption pointsOpt("points", "raw 2-D data: frame,id,x,y", "CSV");
    const QCommandLineOption connectionsOpt("connections", "connections: a,b,colour", "CSV");
    const QCommandLineOption rectOpt("rect", "tracker rectangle in image pixels", "L,T,R,B");
    const QCommandLineOption mixOpt("mix", "second video mixed into the view", "FILE");
    const QCommandLineOption thresholdOpt("threshold", "mixing threshold in grey levels", "T",
                                          "30");
    const QCommandLineOption liveOpt("live", "show a camera's live picture");
    const QCommandLineOption deviceOpt("device", "camera number (default: the first that works)",
                                       "N", "-1");
    const QCommandLineOption recordOpt("record", "record the live picture to an AVI file", "FILE");
    const QCommandLineOption secondsOpt("seconds", "how long to record", "S", "3");
    parser.addOptions({frameOpt, zoomOpt, offsetOpt, sizeOpt, shotOpt, pictureOpt, transparentOpt,
                       overlayAtOpt, stretchOpt, pointsOpt, connectionsOpt, rectOpt, mixOpt,
                       thresholdOpt, liveOpt, deviceOpt, recordOpt, secondsOpt});
    parser.process(app);
    if (parser.isSet(recordOpt) && !parser.isSet(liveOpt)) {
        std::cerr << "qvxhost: --record records the live picture and needs --live\n";
        return 2;
    }
    if (parser.isSet(liveOpt)) {
        PrintingDialogs printingLive;
        if (batch)
            platform::ui::setDialogs(&printingLive);
        const std::optional<QSize> liveSize = parseSize(parser.value(sizeOpt));
        bool okDevice = false, okSeconds = false;
        const LONG device = parser.value(deviceOpt).toInt(&okDevice);
        const double seconds = parser.value(secondsOpt).toDouble(&okSeconds);
        if (!liveSize || !okDevice || !okSeconds || seconds <= 0) {
            std::cerr << "qvxhost: --live takes --device N, --size WxH and --seconds S > 0\n";
            return 2;
        }
        CVViewCtrl live;
        live.resize(*liveSize);
        return runLive(live, device, parser.value(recordOpt), seconds, parser.value(shotOpt));
    }
    if (parser.positionalArguments().size() != 1) {
        std::cerr << "usage: qvxhost FILE [--frame N] [--zoom Z] [--offset H,V] [--size WxH] "
                     "[--screenshot OUT.png]\n";
        return 2;
    }

    PrintingDialogs printing;
    if (batch)
        platform::ui::setDialogs(&printing);

    const QStringList offsets = parser.value(offsetOpt).split(',');
    const std::optional<QSize> size = parseSize(parser.value(sizeOpt));
    if (offsets.size() != 2 || !size) {
        std::cerr << "qvxhost: --offset takes H,V and --size WxH with positive sizes\n";
        return 2;
    }

    const std::string file = parser.positionalArguments().front().toStdString();
    // A name that does not exist may be a picture sequence pattern; the control expands it.
    // The status follows a symbolic link and never opens the file.
    std::error_code ec;
    const auto kind = std::filesystem::status(file, ec);
    if (std::filesystem::exists(kind) && !std::filesystem::is_regular_file(kind)) {
        std::cerr << "qvxhost: cannot open " << file << ": not a regular file\n";
        return 1;
    }

    CVViewCtrl ctrl;
    ctrl.resize(*size);
    const LONG result = ctrl.AVIOpen(file, 0);
    std::printf("AVIOpen %d\n", result);
    std::fflush(stdout);
    ctrl.SetZoom(parser.value(zoomOpt).toInt());
    ctrl.SetHorizontalOffset(offsets[0].toInt());
    ctrl.SetVerticalOffset(offsets[1].toInt());
    ctrl.SetAVIFrame(parser.value(frameOpt).toInt());

    if (parser.isSet(pictureOpt)) {
        const auto picture = loadPicture(parser.value(pictureOpt));
        const auto key = colour(parser.value(transparentOpt));
        const auto at = numbers(parser.value(overlayAtOpt), 2);
        if (!picture || !key || !at) {
            std::cerr << "qvxhost: --overlay-picture needs a readable picture, --transparent "
                         "0xBBGGRR and --overlay-at X,Y\n";
            return 2;
        }
        ctrl.SetOverlayPicture(platform::ComPtr<platform::IUnknown>::share(picture.get()));
        ctrl.SetOverlayTransparentColor(*key);
        ctrl.SetFlag(quivex::QVXW_OVERLAY_X, static_cast<LONG>((*at)[0]));
        ctrl.SetFlag(quivex::QVXW_OVERLAY_Y, static_cast<LONG>((*at)[1]));
        ctrl.SetOverlayFlags(quivex::TALVOROVL_SHOW |
                             (parser.isSet(stretchOpt) ? quivex::TALVOROVL_STRETCH : 0));
    }
    datalib::registerClasses();
    std::optional<PointData> points;
    if (parser.isSet(pointsOpt)) {
        points = loadPoints(parser.value(pointsOpt), parser.value(connectionsOpt));
        if (!points)
            return 2;
        ctrl.SetRawDatas(platform::ComPtr<platform::IUnknown>::share(points->data.get()));
        ctrl.SetSpecification(platform::ComPtr<platform::IUnknown>::share(points->layout.get()));
        ctrl.SetFlag(quivex::QVXW_DRAW_STICK, 1);
        ctrl.SetPointsVisible(1);
        ctrl.SetConnectionsVisible(parser.isSet(connectionsOpt) ? 1 : 0);
    }
    if (parser.isSet(rectOpt)) {
        const auto r = numbers(parser.value(rectOpt), 4);
        if (!r) {
            std::cerr << "qvxhost: --rect takes L,T,R,B\n";
            return 2;
        }
        ctrl.ActivateRectangle(1, 18, static_cast<float>((*r)[0]), static_cast<float>((*r)[1]),
                               static_cast<float>((*r)[2]), static_cast<float>((*r)[3]));
    }
    if (parser.isSet(mixOpt)) {
        bool ok = false;
        const float threshold = parser.value(thresholdOpt).toFloat(&ok);
        if (!ok) {
            std::cerr << "qvxhost: --threshold takes a number\n";
            return 2;
        }
        const LONG mixed =
            ctrl.DoMixPicture({}, parser.value(mixOpt).toStdString(), 0, 0, 0, threshold, 0);
        std::printf("DoMixPicture %d\n", mixed);
        std::fflush(stdout);
    }

    if (batch) {
        const QImage view = ctrl.composeView(ctrl.size());
        if (!view.save(parser.value(shotOpt))) {
            std::cerr << "qvxhost: cannot write " << parser.value(shotOpt).toStdString() << '\n';
            return 1;
        }
        return result == 0 ? 0 : 1;
    }

    auto items = platform::createInstance<datalib::TalvorGraphicItems>(datalib::CLSID_GraphicItems);
    printEvents(ctrl);

    QWidget window;
    window.setWindowTitle(QStringLiteral("qvxhost - %1").arg(QString::fromStdString(file)));
    auto *layout = new QVBoxLayout(&window);
    auto *bar = new QHBoxLayout;
    auto *back = new QPushButton(QStringLiteral("◀ Frame"));
    auto *next = new QPushButton(QStringLiteral("Frame ▶"));
    auto *zoom = new QSpinBox;
    zoom->setRange(6, 1999);
    zoom->setValue(ctrl.Zoom());
    zoom->setSuffix(QStringLiteral(" %"));
    auto *hOffset = new QSpinBox;
    hOffset->setRange(-1000, 4000);
    hOffset->setValue(ctrl.HorizontalOffset());
    auto *vOffset = new QSpinBox;
    vOffset->setRange(-1000, 4000);
    vOffset->setValue(ctrl.VerticalOffset());
    auto *addItems = new QPushButton(QStringLiteral("Add graphic items"));
    auto *status = new QLabel;
    bar->addWidget(back);
    bar->addWidget(next);
    bar->addWidget(new QLabel(QStringLiteral("Zoom")));
    bar->addWidget(zoom);
    bar->addWidget(new QLabel(QStringLiteral("Offsets")));
    bar->addWidget(hOffset);
    bar->addWidget(vOffset);
    bar->addWidget(addItems);
    bar->addStretch();
    bar->addWidget(status);
    layout->addLayout(bar);
    layout->addWidget(&ctrl, 1);

    auto refreshStatus = [&] {
        status->setText(
            QStringLiteral("frame %1 / %2").arg(ctrl.AVIFrame()).arg(ctrl.AVINumberOfFrames()));
    };
    QObject::connect(back, &QPushButton::clicked, [&] {
        ctrl.SetAVIFrame(ctrl.AVIFrame() - 1);
        refreshStatus();
    });
    QObject::connect(next, &QPushButton::clicked, [&] {
        ctrl.SetAVIFrame(ctrl.AVIFrame() + 1);
        refreshStatus();
    });
    QObject::connect(zoom, &QSpinBox::valueChanged, [&](int z) { ctrl.SetZoom(z); });
    QObject::connect(hOffset, &QSpinBox::valueChanged, [&](int h) { ctrl.SetHorizontalOffset(h); });
    QObject::connect(vOffset, &QSpinBox::valueChanged, [&](int v) { ctrl.SetVerticalOffset(v); });
    QObject::connect(addItems, &QPushButton::clicked, [&] {
        if (!items)
            return;
        addGraphicItems(items.get(), ctrl.AVIWidth(), ctrl.AVIHeight());
        ctrl.SetGraphicItems(platform::ComPtr<platform::IUnknown>::share(items.get()));
        ctrl.QuickRefresh();
    });
    refreshStatus();
    window.resize(ctrl.width() + 40, ctrl.height() + 80);
    window.show();
    return app.exec();
}
