#include "tests/support/tempdir.h"

#include <QFile>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace testsupport {

TempDir::TempDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Resolved like Qt's temporary folder, so that paths built either way compare equal.
    fs::path base = fs::weakly_canonical(fs::temp_directory_path(ec), ec);
    if (base.empty())
        base = "/tmp";
    std::string pattern = (base / "orvane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()))
        m_root = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!m_root.empty())
        std::filesystem::remove_all(m_root, ec);
}

QString TempDir::dir() const {
    return QString::fromStdString(m_root) + u'/';
}

QString TempDir::filePath(const QString &name) const {
    return dir() + name;
}

QString TempDir::write(const QString &name, const QByteArray &content) const {
    QFile file(filePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return file.fileName();
}

QByteArray TempDir::read(const QString &name) const {
    QFile file(filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const TempDir &sharedTempDir() {
    static const TempDir dir;
    return dir;
}

} // namespace testsupport
