// qvxhost: hosts the video view control the way a test container does.
//   qvxhost FILE [--frame N] [--zoom Z] [--offset H,V] [--size WxH] [--screenshot OUT.png]
// With --screenshot the view is rendered at the size into a PNG and the program exits;
// message boxes go to standard error. Otherwise a window shows the control with frame
// steps, zoom and offset fields and a button that adds graphic items, and every event of
// the control is printed to standard output, one line per event. A FILE that exists and is
// no regular file (a FIFO, a device, a folder) is refused at once: reading one could wait for
// a writer forever.
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
#include <QVBoxLayout>

#include <cstdio>
#include <filesystem>
#include <iostream>

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

} // namespace

int main(int argc, char **argv) {
    // Batch runs need no display.
    bool batch = false;
    for (int i = 1; i < argc; ++i)
        batch = batch || std::string(argv[i]) == "--screenshot";
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
    parser.addOptions({frameOpt, zoomOpt, offsetOpt, sizeOpt, shotOpt});
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        std::cerr << "usage: qvxhost FILE [--frame N] [--zoom Z] [--offset H,V] [--size WxH] "
                     "[--screenshot OUT.png]\n";
        return 2;
    }

    PrintingDialogs printing;
    if (batch)
        platform::ui::setDialogs(&printing);

    const QStringList offsets = parser.value(offsetOpt).split(',');
    const QStringList size = parser.value(sizeOpt).split('x');
    if (offsets.size() != 2 || size.size() != 2 || size[0].toInt() <= 0 || size[1].toInt() <= 0) {
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
    ctrl.resize(size[0].toInt(), size[1].toInt());
    const LONG result = ctrl.AVIOpen(file, 0);
    std::printf("AVIOpen %d\n", result);
    std::fflush(stdout);
    ctrl.SetZoom(parser.value(zoomOpt).toInt());
    ctrl.SetHorizontalOffset(offsets[0].toInt());
    ctrl.SetVerticalOffset(offsets[1].toInt());
    ctrl.SetAVIFrame(parser.value(frameOpt).toInt());

    if (batch) {
        const QImage view = ctrl.composeView(ctrl.size());
        if (!view.save(parser.value(shotOpt))) {
            std::cerr << "qvxhost: cannot write " << parser.value(shotOpt).toStdString() << '\n';
            return 1;
        }
        return result == 0 ? 0 : 1;
    }

    datalib::registerClasses();
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
