#include "app/project/projectfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtEndian>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

namespace project {

namespace {

constexpr auto &kComponents = kDataSetComponents;
constexpr int kSetCount = static_cast<int>(kDataSetComponents.size());
// Frames are signed 16-bit numbers on the data library's side: a channel's frames lie in
// 0 .. kMaxChannelValues - 1.
constexpr qsizetype kMaxChannelValues = 32768;
constexpr qsizetype kMaxRows = 100000;
constexpr qsizetype kMaxText = 4096;
// How channel values are stored: plain little-endian floats, or those packed with zlib
// (qCompress: the unpacked length, big-endian, then the zlib stream). Many channels hold one
// value in every frame (a status, a radius, a colour), which packs to almost nothing.
constexpr int kRaw = 0;
constexpr int kZlib = 1;
constexpr int kCompression = 1; // fast: saving must stay well under a second

// One database connection for the life of one read or write; removed with it.
class Connection {
public:
    explicit Connection(const QString &file, bool readOnly) {
        static std::atomic<int> counter{0};
        m_name = QStringLiteral("orvane-project-%1").arg(counter++);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            db.setDatabaseName(file);
            if (readOnly)
                db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            m_ok = db.isValid() && db.open();
            if (!m_ok)
                m_error = db.isValid() ? db.lastError().text()
                                       : QStringLiteral("Qt's SQLite driver is not installed");
        }
    }
    ~Connection() {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    bool m_ok = false;
    QString m_error;
};

QByteArray floatBytes(const std::vector<float> &values) {
    QByteArray bytes(static_cast<qsizetype>(values.size() * 4), Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(bytes.data());
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &values[i], 4);
        qToLittleEndian(bits, out + 4 * i);
    }
    return bytes;
}

std::vector<float> floatsOf(const QByteArray &bytes) {
    std::vector<float> values(static_cast<std::size_t>(bytes.size() / 4));
    const auto *in = reinterpret_cast<const uchar *>(bytes.constData());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint32_t bits = qFromLittleEndian<std::uint32_t>(in + 4 * i);
        std::memcpy(&values[i], &bits, 4);
    }
    return values;
}

// The scalar values of a project, by key.
using Info = std::map<QString, QVariant>;

Info infoOf(const ProjectData &d) {
    const VideoPart &v = d.video;
    const CalibrationPart &c = d.calibration;
    return {
        {QStringLiteral("program"), QCoreApplication::applicationName()},
        {QStringLiteral("saved"), QDateTime::currentDateTime().toString(Qt::ISODate)},
        {QStringLiteral("video.present"), d.hasVideo ? 1 : 0},
        {QStringLiteral("video.absolute"), v.absolutePath},
        {QStringLiteral("video.relative"), v.relativePath},
        {QStringLiteral("video.fileCount"), v.fileCount},
        {QStringLiteral("video.mode"), v.mode},
        {QStringLiteral("video.rotation"), v.rotation},
        {QStringLiteral("video.mirror"), v.mirror},
        {QStringLiteral("video.openMode"), v.openMode},
        {QStringLiteral("video.forcedRate"), double(v.forcedRate)},
        {QStringLiteral("video.frameRate"), double(v.frameRate)},
        {QStringLiteral("video.frameCount"), v.frameCount},
        {QStringLiteral("video.width"), v.width},
        {QStringLiteral("video.height"), v.height},
        {QStringLiteral("video.frame"), v.frame},
        {QStringLiteral("video.zoom"), v.zoom},
        {QStringLiteral("video.hOffset"), v.horizontalOffset},
        {QStringLiteral("video.vOffset"), v.verticalOffset},
        {QStringLiteral("table.selectedRow"), d.selectedRow},
        {QStringLiteral("counters.marker"), d.markerCounter},
        {QStringLiteral("counters.colour"), d.colorCounter},
        {QStringLiteral("paths.showAll"), d.showAllPaths ? 1 : 0},
        {QStringLiteral("calibration.x0"), c.x0},
        {QStringLiteral("calibration.y0"), c.y0},
        {QStringLiteral("calibration.x1"), c.x1},
        {QStringLiteral("calibration.y1"), c.y1},
        {QStringLiteral("calibration.parameter1"), c.parameter1},
        {QStringLiteral("calibration.unit"), c.unit},
        {QStringLiteral("calibration.distance"), c.distance},
        {QStringLiteral("calibration.aspect"), double(c.aspect)},
        {QStringLiteral("calibration.originX"), c.originX},
        {QStringLiteral("calibration.originY"), c.originY},
        {QStringLiteral("calibration.widthRatio"), c.widthRatio},
        {QStringLiteral("calibration.inForce"), c.inForce ? 1 : 0},
        {QStringLiteral("calibration.videoCalibrated"), c.videoCalibrated ? 1 : 0},
        {QStringLiteral("calibration.dialogDistance"), double(c.dialogDistance)},
        {QStringLiteral("calibration.dialogUnit"), c.dialogUnit},
        {QStringLiteral("calibration.dialogAspect"), double(c.dialogAspect)},
    };
}

bool exec(QSqlQuery &query, const QString &sql, QString *error) {
    if (query.exec(sql))
        return true;
    *error = query.lastError().text();
    return false;
}

bool writeDatabase(QSqlDatabase db, const ProjectData &d, QString *error) {
    QSqlQuery q(db);
    // The header fields say what the file is before anything else is read.
    if (!exec(q, QStringLiteral("PRAGMA application_id = %1").arg(ProjectFile::kApplicationId),
              error) ||
        !exec(q, QStringLiteral("PRAGMA user_version = %1").arg(d.formatVersion), error))
        return false;
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    const bool ok = [&] {
        if (!exec(q, QStringLiteral("CREATE TABLE info (key TEXT PRIMARY KEY, value)"), error) ||
            !exec(q,
                  QStringLiteral("CREATE TABLE rows (position INTEGER PRIMARY KEY, number "
                                 "INTEGER NOT NULL, name TEXT NOT NULL, manual INTEGER NOT "
                                 "NULL, icon INTEGER NOT NULL, x TEXT, y TEXT, rotation TEXT)"),
                  error) ||
            !exec(q,
                  QStringLiteral("CREATE TABLE channels (position INTEGER PRIMARY KEY, dataset "
                                 "INTEGER NOT NULL, marker INTEGER NOT NULL, component INTEGER "
                                 "NOT NULL, first_frame INTEGER NOT NULL, frame_count INTEGER "
                                 "NOT NULL, encoding INTEGER NOT NULL, value_data BLOB NOT "
                                 "NULL)"),
                  error))
            return false;
        QSqlQuery info(db);
        info.prepare(QStringLiteral("INSERT INTO info (key, value) VALUES (?, ?)"));
        for (const auto &[key, value] : infoOf(d)) {
            info.addBindValue(key);
            info.addBindValue(value);
            if (!info.exec()) {
                *error = info.lastError().text();
                return false;
            }
        }
        QSqlQuery rows(db);
        rows.prepare(QStringLiteral("INSERT INTO rows (position, number, name, manual, icon, x, "
                                    "y, rotation) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        for (std::size_t i = 0; i < d.rows.size(); ++i) {
            const TableRow &r = d.rows[i];
            for (const QVariant &v : {QVariant(qlonglong(i)), QVariant(r.number), QVariant(r.name),
                                      QVariant(r.manual ? 1 : 0), QVariant(r.icon), QVariant(r.x),
                                      QVariant(r.y), QVariant(r.rotation)})
                rows.addBindValue(v);
            if (!rows.exec()) {
                *error = rows.lastError().text();
                return false;
            }
        }
        QSqlQuery channels(db);
        channels.prepare(QStringLiteral(
            "INSERT INTO channels (position, dataset, marker, component, first_frame, "
            "frame_count, encoding, value_data) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        for (std::size_t i = 0; i < d.channels.size(); ++i) {
            const Channel &c = d.channels[i];
            for (const QVariant &v : {QVariant(qlonglong(i)), QVariant(c.set), QVariant(c.marker),
                                      QVariant(c.component), QVariant(c.firstFrame),
                                      QVariant(qlonglong(c.values.size())), QVariant(kZlib),
                                      QVariant(qCompress(floatBytes(c.values), kCompression))})
                channels.addBindValue(v);
            if (!channels.exec()) {
                *error = channels.lastError().text();
                return false;
            }
        }
        return true;
    }();
    if (!ok) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        *error = db.lastError().text();
        return false;
    }
    return true;
}

// Reading: every value checked against what a project can hold.
class Reader {
public:
    explicit Reader(const Info &info) : m_info(info) {}
    bool failed() const { return m_failed; }

    int integer(const char *key, int low, int high, int def = 0) {
        const auto it = m_info.find(QLatin1String(key));
        if (it == m_info.end())
            return def;
        bool ok = false;
        const qlonglong v = it->second.toLongLong(&ok);
        if (!ok || v < low || v > high) {
            m_failed = true;
            return def;
        }
        return static_cast<int>(v);
    }
    double real(const char *key, double def = 0.0) {
        const auto it = m_info.find(QLatin1String(key));
        if (it == m_info.end())
            return def;
        bool ok = false;
        const double v = it->second.toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            m_failed = true;
            return def;
        }
        return v;
    }
    QString text(const char *key) {
        const auto it = m_info.find(QLatin1String(key));
        if (it == m_info.end())
            return {};
        const QString v = it->second.toString();
        if (v.size() > kMaxText) {
            m_failed = true;
            return {};
        }
        return v;
    }

private:
    const Info &m_info;
    bool m_failed = false;
};

constexpr int kMaxInt = 0x7FFFFFFF;

} // namespace

bool ProjectFile::write(const QString &path, const ProjectData &data, QString *error) {
    QString reason;
    const QFileInfo target(path);
    const QString temporary = target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                              QStringLiteral(".saving-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(temporary);
    bool ok = false;
    {
        const Connection connection(temporary, false);
        ok = connection.ok() && writeDatabase(connection.db(), data, &reason);
        if (!connection.ok())
            reason = connection.error();
    }
    // The finished database replaces the target in one step (a rename over it); until then
    // the old project is untouched, and at no moment is there no project file.
    if (ok) {
        std::error_code ec;
        std::filesystem::rename(QFile::encodeName(temporary).toStdString(),
                                QFile::encodeName(path).toStdString(), ec);
        if (ec) {
            ok = false;
            reason = QString::fromStdString(ec.message());
        }
    }
    if (!ok) {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
        if (error)
            *error = reason;
    }
    return ok;
}

std::optional<ProjectData> ProjectFile::read(const QString &path, ReadError *error,
                                             QString *detail) {
    const auto fail = [&](ReadError e, const QString &why) -> std::optional<ProjectData> {
        if (error)
            *error = e;
        if (detail)
            *detail = why;
        return std::nullopt;
    };
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return fail(ReadError::Unreadable, probe.errorString());
    // An SQLite database starts with this text; anything else is no project at all.
    if (probe.read(16) != QByteArray("SQLite format 3\0", 16))
        return fail(ReadError::NotAProject, QStringLiteral("not a database"));
    probe.close();

    ProjectData d;
    const Connection connection(path, true);
    if (!connection.ok())
        return fail(ReadError::Unreadable, connection.error());
    QSqlDatabase db = connection.db();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA application_id")) || !q.next() ||
        q.value(0).toInt() != kApplicationId)
        return fail(ReadError::NotAProject, QStringLiteral("not an Orvane project"));
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return fail(ReadError::NotAProject, q.lastError().text());
    const int version = q.value(0).toInt();
    if (version > kFormatVersion)
        return fail(ReadError::NewerVersion, QStringLiteral("format %1").arg(version));
    if (version < 1)
        return fail(ReadError::NotAProject, QStringLiteral("format %1").arg(version));
    d.formatVersion = version;

    Info info;
    if (!q.exec(QStringLiteral("SELECT key, value FROM info")))
        return fail(ReadError::NotAProject, q.lastError().text());
    while (q.next())
        info[q.value(0).toString()] = q.value(1);
    if (q.lastError().isValid())
        return fail(ReadError::NotAProject, q.lastError().text());

    Reader r(info);
    d.hasVideo = r.integer("video.present", 0, 1) != 0;
    VideoPart &v = d.video;
    v.absolutePath = r.text("video.absolute");
    v.relativePath = r.text("video.relative");
    v.fileCount = r.integer("video.fileCount", 0, kMaxInt);
    v.mode = r.integer("video.mode", 0, 5);
    v.rotation = r.integer("video.rotation", 0, 1024);
    v.mirror = r.integer("video.mirror", 0, 2048);
    v.openMode = r.integer("video.openMode", 0, kMaxInt);
    v.forcedRate = static_cast<float>(r.real("video.forcedRate"));
    v.frameRate = static_cast<float>(r.real("video.frameRate"));
    v.frameCount = r.integer("video.frameCount", 0, kMaxInt);
    v.width = r.integer("video.width", 0, 1 << 20);
    v.height = r.integer("video.height", 0, 1 << 20);
    v.frame = r.integer("video.frame", 0, 32767);
    v.zoom = r.integer("video.zoom", 1, 10000, 100);
    v.horizontalOffset = r.integer("video.hOffset", 0, kMaxInt);
    v.verticalOffset = r.integer("video.vOffset", 0, kMaxInt);
    d.selectedRow = r.integer("table.selectedRow", -1, kMaxRows, -1);
    d.markerCounter = r.integer("counters.marker", 0, kMaxInt);
    d.colorCounter = r.integer("counters.colour", 0, kMaxInt);
    d.showAllPaths = r.integer("paths.showAll", 0, 1, 1) != 0;
    CalibrationPart &c = d.calibration;
    c.x0 = r.real("calibration.x0");
    c.y0 = r.real("calibration.y0");
    c.x1 = r.real("calibration.x1");
    c.y1 = r.real("calibration.y1");
    c.parameter1 = r.integer("calibration.parameter1", -kMaxInt, kMaxInt);
    c.unit = r.integer("calibration.unit", 0, 3, 2);
    c.distance = r.real("calibration.distance");
    c.aspect = static_cast<float>(r.real("calibration.aspect", 1.0));
    c.originX = r.real("calibration.originX");
    c.originY = r.real("calibration.originY");
    c.widthRatio = r.real("calibration.widthRatio");
    c.inForce = r.integer("calibration.inForce", 0, 1) != 0;
    c.videoCalibrated = r.integer("calibration.videoCalibrated", 0, 1) != 0;
    c.dialogDistance = static_cast<float>(r.real("calibration.dialogDistance", 100.0));
    c.dialogUnit = r.integer("calibration.dialogUnit", 1, 3, 2);
    c.dialogAspect = static_cast<float>(r.real("calibration.dialogAspect", 1.0));
    if (r.failed())
        return fail(ReadError::NotAProject, QStringLiteral("a value is out of its range"));

    if (!q.exec(QStringLiteral(
            "SELECT number, name, manual, icon, x, y, rotation FROM rows ORDER BY position")))
        return fail(ReadError::NotAProject, q.lastError().text());
    while (q.next()) {
        TableRow row;
        bool numberOk = false, iconOk = false;
        row.number = q.value(0).toInt(&numberOk);
        row.name = q.value(1).toString();
        row.manual = q.value(2).toInt() != 0;
        row.icon = q.value(3).toInt(&iconOk);
        row.x = q.value(4).toString();
        row.y = q.value(5).toString();
        row.rotation = q.value(6).toString();
        if (!numberOk || row.number < 1 || !iconOk ||
            (row.icon != 16 && row.icon != 19 && row.icon != 20) || row.name.size() > kMaxText ||
            row.x.size() > kMaxText || row.y.size() > kMaxText || row.rotation.size() > kMaxText ||
            static_cast<qsizetype>(d.rows.size()) >= kMaxRows)
            return fail(ReadError::NotAProject, QStringLiteral("a table row is damaged"));
        d.rows.push_back(row);
    }
    if (q.lastError().isValid())
        return fail(ReadError::NotAProject, q.lastError().text());
    if (d.selectedRow >= static_cast<int>(d.rows.size()))
        d.selectedRow = -1;

    if (!q.exec(QStringLiteral("SELECT dataset, marker, component, first_frame, frame_count, "
                               "encoding, value_data FROM channels ORDER BY position")))
        return fail(ReadError::NotAProject, q.lastError().text());
    while (q.next()) {
        Channel ch;
        bool ok[5] = {};
        ch.set = q.value(0).toInt(&ok[0]);
        ch.marker = q.value(1).toInt(&ok[1]);
        ch.component = q.value(2).toInt(&ok[2]);
        ch.firstFrame = q.value(3).toInt(&ok[3]);
        const qlonglong count = q.value(4).toLongLong(&ok[4]);
        const int encoding = q.value(5).toInt();
        QByteArray bytes = q.value(6).toByteArray();
        if (encoding == kZlib && ok[4] && count >= 0 && count <= kMaxChannelValues) {
            // The stored length comes first (big-endian); only a length the channel can have
            // is unpacked, so a damaged file cannot ask for gigabytes.
            if (bytes.size() < 4 || qFromBigEndian<quint32>(bytes.constData()) != count * 4)
                return fail(ReadError::NotAProject, QStringLiteral("a channel is damaged"));
            bytes = qUncompress(bytes);
        } else if (encoding != kRaw) {
            return fail(ReadError::NotAProject, QStringLiteral("a channel is damaged"));
        }
        const bool valid = ok[0] && ok[1] && ok[2] && ok[3] && ok[4] && ch.set >= 0 &&
                           ch.set < kSetCount && ch.component >= 0 &&
                           ch.component < kComponents[ch.set] && ch.marker > 0 &&
                           ch.firstFrame >= 0 && ch.firstFrame < kMaxChannelValues && count >= 0 &&
                           ch.firstFrame + count <= kMaxChannelValues && bytes.size() == count * 4;
        if (!valid)
            return fail(ReadError::NotAProject, QStringLiteral("a channel is damaged"));
        ch.values = floatsOf(bytes);
        d.channels.push_back(std::move(ch));
    }
    if (q.lastError().isValid())
        return fail(ReadError::NotAProject, q.lastError().text());
    // Every marker's channels come as a whole group per set.
    std::map<std::pair<int, int>, int> groups;
    for (const Channel &ch : d.channels)
        ++groups[{ch.set, ch.marker}];
    for (const auto &[key, count] : groups)
        if (count % kComponents[key.first] != 0)
            return fail(ReadError::NotAProject, QStringLiteral("a channel group is incomplete"));
    if (error)
        *error = ReadError::None;
    return d;
}

} // namespace project
