#include "app/video/cihimport.h"

#include "app/common/resources.h"
#include "components/aviplayer/imagesequence.h"
#include "platform/ui/dialogs.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <map>
#include <set>
#include <vector>

namespace video {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\r' || c == '\n';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Lower case without any blanks, and without a unit in parentheses at the end.
QByteArray normalizedKey(QByteArrayView key) {
    QByteArray out;
    out.reserve(key.size());
    for (const char c : key)
        if (!isBlank(c))
            out.append(asciiLower(c));
    if (out.endsWith(')')) {
        const qsizetype open = out.lastIndexOf('(');
        if (open > 0)
            out.truncate(open);
    }
    return out;
}

CihHeader::Key keyOf(const QByteArray &normalized) {
    static const std::map<QByteArray, CihHeader::Key> keys = {
        {"recordrate", CihHeader::RecordRate},
        {"shutterspeed", CihHeader::ShutterSpeed},
        {"totalframe", CihHeader::TotalFrame},
        {"startframe", CihHeader::StartFrame},
        {"originaltotalframe", CihHeader::OriginalTotalFrame},
        {"imagewidth", CihHeader::ImageWidth},
        {"imageheight", CihHeader::ImageHeight},
        {"fileformat", CihHeader::FileFormat},
    };
    const auto it = keys.find(normalized);
    return it == keys.end() ? CihHeader::Key(0) : it->second;
}

// A decimal number with an optional sign and an optional decimal point, nothing else (no
// exponent, no "inf"); nothing when it is not one or does not fit a double.
std::optional<double> parseNumber(QByteArrayView text) {
    qsizetype i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i]))
            ++digits;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double value = text.toByteArray().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A whole number ("1200" or "1200.0") in the range a double counts exactly.
std::optional<long long> parseWhole(QByteArrayView text) {
    const std::optional<double> value = parseNumber(text);
    constexpr double kExact = 9007199254740992.0; // 2^53
    if (!value || std::floor(*value) != *value || std::fabs(*value) > kExact)
        return std::nullopt;
    return static_cast<long long>(*value);
}

CihFormat parseFormat(QByteArrayView text) {
    QByteArray upper;
    for (const char c : text)
        upper.append(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    if (upper == "AVI")
        return CihFormat::Avi;
    if (upper == "BMP")
        return CihFormat::Bmp;
    if (upper == "JPG" || upper == "JPEG")
        return CihFormat::Jpg;
    if (upper == "TIF" || upper == "TIFF")
        return CihFormat::Tiff;
    if (upper == "PNG")
        return CihFormat::Png;
    return CihFormat::Unknown;
}

void readLine(QByteArrayView line, CihHeader &header) {
    line = trimmed(line);
    if (line.isEmpty() || line.front() == '#')
        return;
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return;
    const CihHeader::Key key = keyOf(normalizedKey(line.first(colon)));
    if (key == 0 || header.has(key))
        return;
    header.found |= key;
    const QByteArrayView value = trimmed(line.sliced(colon + 1));
    switch (key) {
    case CihHeader::RecordRate:
        header.recordRate = parseNumber(value);
        break;
    case CihHeader::ShutterSpeed:
        header.shutterText = QString::fromUtf8(value);
        break;
    case CihHeader::TotalFrame:
        header.totalFrames = parseWhole(value);
        break;
    case CihHeader::StartFrame:
        header.startFrame = parseWhole(value);
        break;
    case CihHeader::OriginalTotalFrame:
        header.originalTotalFrames = parseWhole(value);
        break;
    case CihHeader::ImageWidth:
        header.width = parseWhole(value);
        break;
    case CihHeader::ImageHeight:
        header.height = parseWhole(value);
        break;
    case CihHeader::FileFormat:
        header.formatText = QString::fromUtf8(value);
        header.format = parseFormat(value);
        break;
    }
}

// File extensions of a kind, lower case, the usual one first.
std::vector<QString> extensionsOf(CihFormat format) {
    switch (format) {
    case CihFormat::Avi:
        return {QStringLiteral("avi")};
    case CihFormat::Bmp:
        return {QStringLiteral("bmp")};
    case CihFormat::Jpg:
        return {QStringLiteral("jpg"), QStringLiteral("jpeg")};
    case CihFormat::Tiff:
        return {QStringLiteral("tif"), QStringLiteral("tiff")};
    case CihFormat::Png:
        return {QStringLiteral("png")};
    case CihFormat::Unknown:
        break;
    }
    return {};
}

// The video "<base>.<ext>": lower-case extension, then upper case, then any other case.
std::optional<CihRecording> findVideo(const QDir &dir, const QStringList &files,
                                      const QString &base, const std::vector<QString> &exts) {
    for (const QString &ext : exts) {
        for (const QString &name : {base + '.' + ext, base + '.' + ext.toUpper()})
            if (files.contains(name))
                return CihRecording{dir.filePath(name), false, 0};
        const QString any = base + '.' + ext;
        for (const QString &name : files)
            if (name.compare(any, Qt::CaseInsensitive) == 0 && name.startsWith(base))
                return CihRecording{dir.filePath(name), false, 0};
    }
    return std::nullopt;
}

// The numbered pictures "<base>[_]<digits>.<ext>" with the longest consecutive run.
std::optional<CihRecording> findSequence(const QDir &dir, const QStringList &files,
                                         const QString &base, const std::vector<QString> &exts,
                                         const CihHeader &header) {
    // A '%' of the folder or the base name reaches the player as a literal.
    QString prefix = dir.filePath(base);
    prefix.replace(QLatin1Char('%'), QStringLiteral("%%"));
    // Every numbering a picture could belong to; the set orders the trials, so ties are
    // settled the same way every time.
    std::set<QString> patterns;
    for (const QString &name : files) {
        if (!name.startsWith(base))
            continue;
        qsizetype i = base.size();
        QString separator;
        if (i < name.size() && name.at(i) == QLatin1Char('_')) {
            separator = QStringLiteral("_");
            ++i;
        }
        const qsizetype digitsBegin = i;
        while (i < name.size() && name.at(i) >= QLatin1Char('0') && name.at(i) <= QLatin1Char('9'))
            ++i;
        const qsizetype digits = i - digitsBegin;
        if (digits == 0 || i >= name.size() || name.at(i) != QLatin1Char('.'))
            continue;
        const QString ext = name.mid(i + 1);
        bool known = false;
        for (const QString &e : exts)
            known = known || ext.compare(e, Qt::CaseInsensitive) == 0;
        if (!known)
            continue;
        // Leading zeros fix the width; other names are plain numbers (which a padded
        // numbering past its width also produces, so that one is found from its other
        // names).
        const bool padded = digits > 1 && name.at(digitsBegin) == QLatin1Char('0');
        const QString field =
            padded ? QStringLiteral("%0") + QString::number(digits) + 'd' : QStringLiteral("%d");
        patterns.insert(prefix + separator + field + '.' + ext);
    }

    std::optional<CihRecording> best;
    for (const QString &pattern : patterns) {
        // The player lists the sequence this way too, so the count is what it will show.
        const int count = aviplayer::ImageSequence::list(pattern.toStdString()).count();
        if (count > 0 && (!best || count > best->frameCount))
            best = CihRecording{pattern, true, count};
    }
    if (best && header.totalFrames && *header.totalFrames > 0 &&
        *header.totalFrames < best->frameCount)
        best->frameCount = static_cast<int>(*header.totalFrames);
    return best;
}

void showMessage(VideoHost &host, const common::AppState &state, int text, int icon) {
    platform::ui::dialogs().messageBox(host.dialogParent(), common::res(state, text),
                                       common::productTitle(state), icon);
}

} // namespace

std::optional<float> CihHeader::usableRate() const {
    if (!recordRate || !(*recordRate > 0.0) || *recordRate > CihImport::kMaxRecordRate)
        return std::nullopt;
    const float rate = static_cast<float>(*recordRate);
    // A forced rate of 0 means "the video's own rate", so a rate that rounds to 0 is none.
    if (!(rate > 0.0f))
        return std::nullopt;
    return rate;
}

CihHeader CihImport::parse(const QByteArray &text) {
    CihHeader header;
    QByteArrayView rest(text.constData(), std::min(text.size(), kMaxHeaderBytes));
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    while (!rest.isEmpty()) {
        qsizetype end = 0;
        while (end < rest.size() && rest[end] != '\n' && rest[end] != '\r')
            ++end;
        readLine(rest.first(end), header);
        rest = rest.sliced(std::min(end + 1, rest.size()));
    }
    return header;
}

std::optional<QByteArray> CihImport::readHeaderFile(const QString &path) {
    // Only a regular file: a device or a pipe could block or never end.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = file.read(kMaxHeaderBytes);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return data;
}

std::optional<CihRecording> CihImport::findRecording(const QString &cihPath,
                                                     const CihHeader &header) {
    const QFileInfo info(cihPath);
    const QDir dir = info.absoluteDir();
    const QString base = info.completeBaseName();
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);

    std::vector<CihFormat> kinds;
    if (header.format != CihFormat::Unknown)
        kinds = {header.format};
    else
        kinds = {CihFormat::Avi, CihFormat::Bmp, CihFormat::Jpg, CihFormat::Tiff, CihFormat::Png};
    for (const CihFormat kind : kinds) {
        const std::vector<QString> exts = extensionsOf(kind);
        const std::optional<CihRecording> found =
            kind == CihFormat::Avi ? findVideo(dir, files, base, exts)
                                   : findSequence(dir, files, base, exts, header);
        if (found)
            return found;
    }
    return std::nullopt;
}

CihImportResult CihImport::importWithDialog(VideoHost &host, common::AppState &state,
                                            VideoLoader &loader) {
    platform::ui::FileDialogRequest request;
    request.title = common::res(state, 1001);
    request.filter = common::res(state, 1047);
    request.mustExist = true;
    const std::optional<QString> chosen =
        platform::ui::dialogs().openFile(host.dialogParent(), request);
    if (!chosen)
        return CihImportResult::Cancelled;
    return importFile(*chosen, host, state, loader);
}

CihImportResult CihImport::importFile(const QString &cihPath, VideoHost &host,
                                      common::AppState &state, VideoLoader &loader) {
    const std::optional<QByteArray> data = readHeaderFile(cihPath);
    if (!data) {
        showMessage(host, state, 1048, platform::ui::Critical);
        return CihImportResult::Unreadable;
    }
    const CihHeader header = parse(*data);
    if (!header.isCih()) {
        showMessage(host, state, 1049, platform::ui::Exclamation);
        return CihImportResult::NotCih;
    }
    const std::optional<float> rate = header.usableRate();
    if (!rate) {
        showMessage(host, state, 1050, platform::ui::Exclamation);
        return CihImportResult::NoFrameRate;
    }
    const std::optional<CihRecording> recording = findRecording(cihPath, header);
    if (!recording) {
        showMessage(host, state, 1051, platform::ui::Exclamation);
        return CihImportResult::RecordingMissing;
    }
    // A pattern passes videoOpenName unchanged (its name ends in "d.<ext>", no digits), so
    // every picture format opens as the sequence found here.
    state.VideoFile = recording->openName;
    loader.LoadVideo(false, state.settings.DefVideoMode, *rate, recording->frameCount);
    return CihImportResult::Loaded;
}

} // namespace video
