// Damaged project files: a sound project is changed byte by byte as the input says and read
// back. Reading never crashes or reads out of bounds, and whatever it accepts is consistent
// (every channel within the frames the data library can number).
//
// Input: with a first byte of 0xFF the rest is the whole file; otherwise every three bytes
// (offset high, offset low, value) overwrite one byte of the sound project, so mutations
// reach the pages, the records and the compressed channels rather than being refused as not
// a database at all.
#include "app/project/projectfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

namespace {

struct Fixture {
    QTemporaryDir dir;
    QByteArray sound;
    QString path() const { return dir.filePath(QStringLiteral("fuzz.oxp")); }
};

Fixture *fixture() {
    static Fixture *f = [] {
        auto *made = new Fixture;
        project::ProjectData d;
        d.video.absolutePath = QStringLiteral("/videos/jump.avi");
        d.video.relativePath = QStringLiteral("jump.avi");
        d.video.frameCount = 300;
        d.video.frameRate = 100.0f;
        d.video.width = 640;
        d.video.height = 480;
        for (int m = 1; m <= 3; ++m)
            d.rows.push_back({m, QStringLiteral("Marker ") + QString::number(m), m == 3,
                              m == 3 ? 19 : 16, QStringLiteral("1"), QStringLiteral("2"),
                              QStringLiteral("0")});
        d.markerCounter = 3;
        d.colorCounter = 4;
        for (int m = 1; m <= 3; ++m)
            for (int c = 0; c < 2; ++c) {
                project::Channel ch{0, m, c, 10 * m, {}};
                for (int f = 0; f < 120; ++f)
                    ch.values.push_back(float(f * m + c));
                d.channels.push_back(std::move(ch));
            }
        QString error;
        if (!project::ProjectFile::write(made->path(), d, &error))
            __builtin_trap();
        QFile file(made->path());
        if (!file.open(QIODevice::ReadOnly))
            __builtin_trap();
        made->sound = file.readAll();
        return made;
    }();
    return f;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    // The SQL driver is a plugin; its lookup wants the application object.
    static QCoreApplication app(*argc, *argv);
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Fixture &f = *fixture();
    QByteArray bytes;
    if (size > 0 && data[0] == 0xFF) {
        bytes = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    } else {
        bytes = f.sound;
        for (std::size_t i = 0; i + 2 < size; i += 3) {
            const std::size_t offset = (std::size_t(data[i]) << 8 | data[i + 1]) % bytes.size();
            bytes[qsizetype(offset)] = char(data[i + 2]);
        }
    }
    {
        QFile file(f.path());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            __builtin_trap();
    }
    project::ReadError error = project::ReadError::None;
    const std::optional<project::ProjectData> d = project::ProjectFile::read(f.path(), &error);
    if (d.has_value() != (error == project::ReadError::None))
        __builtin_trap();
    if (d)
        for (const project::Channel &ch : d->channels)
            if (ch.firstFrame < 0 || ch.firstFrame + std::int64_t(ch.values.size()) > 32768)
                __builtin_trap();
    return 0;
}
