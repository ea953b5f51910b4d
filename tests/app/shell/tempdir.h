// A fresh temporary folder per test, removed afterwards.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

class TempFolder {
public:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString dir() const { return m_dir.path() + u'/'; }
    QString write(const QString &name, const QByteArray &content) const {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        return path(name);
    }
    QByteArray read(const QString &name) const {
        QFile f(path(name));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private:
    QTemporaryDir m_dir;
};
