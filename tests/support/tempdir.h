// The tests' temporary folders: each a fresh folder under the system's temporary folder,
// removed with everything in it when its owner goes. Names inside a folder are given in
// plain C++ (`path`) or in Qt's terms (`filePath`, `write`, `read`).
#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace testsupport {

class TempDir {
public:
    // Makes the folder; root() is empty when it could not be made.
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // The folder, without a trailing '/'.
    const std::string &root() const { return m_root; }
    // `name` inside the folder; it may go through subfolders ("seq/img%04d.bmp").
    std::string path(const std::string &name) const { return m_root + '/' + name; }

    // The folder with a trailing '/', so that a file name can be appended.
    QString dir() const;
    QString filePath(const QString &name) const;
    // Writes `content` to the file `name`, replacing it; returns the file's path.
    QString write(const QString &name, const QByteArray &content) const;
    // The content of the file `name`; empty when it cannot be read.
    QByteArray read(const QString &name) const;

private:
    std::string m_root;
};

// One folder for the whole test program, made on first use and removed when the program
// ends: for files that several tests share, such as a clip made once.
const TempDir &sharedTempDir();

} // namespace testsupport
