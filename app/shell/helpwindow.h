// The in-program help: a compiled help file (CHM) read through chmlib, the window that shows
// its contents and topics, and the seam through which the main window opens help, so that
// tests can answer it.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;
struct chmFile;

namespace shell {

// One compiled help file, opened read-only. Paths inside it start with '/'.
class ChmArchive {
public:
    struct ContentsEntry {
        QString name;
        QString local; // topic path without the leading '/'
        int depth = 0; // 0 for top-level entries
    };

    ChmArchive() = default;
    ~ChmArchive();
    ChmArchive(const ChmArchive &) = delete;
    ChmArchive &operator=(const ChmArchive &) = delete;

    // False, with errorString() set, when the file is missing or is no help file.
    bool open(const QString &path);
    bool isOpen() const { return m_file != nullptr; }
    QString errorString() const { return m_error; }

    // The stored bytes of one object, or nothing when there is none or it is unreadable.
    std::optional<QByteArray> read(const QString &path) const;

    // From the file's system information; the default topic falls back to the first
    // contents entry, then to "index.html".
    QString title() const { return m_title; }
    QString defaultTopic() const;
    const std::vector<ContentsEntry> &contents() const { return m_contents; }

    // Objects larger than this are refused: a damaged length must not become an allocation.
    static constexpr qint64 kMaxObjectSize = 64 * 1024 * 1024;

private:
    void readSystemInfo();
    void readContents();

    chmFile *m_file = nullptr;
    QString m_error;
    QString m_title;
    QString m_defaultTopic;
    QString m_contentsFile;
    std::vector<ContentsEntry> m_contents;
};

// The contents entries of a sitemap (the contents file's HTML), in order, with their depth.
std::vector<ChmArchive::ContentsEntry> parseSitemap(const QString &html);

// The help window: the contents tree on the left, the topic on the right.
class HelpWindow : public QWidget {
public:
    explicit HelpWindow(QWidget *parent = nullptr);
    ~HelpWindow() override;

    // Opens a help file and shows its default topic; false with `error` set on failure.
    bool openFile(const QString &file, QString *error);
    QString fileName() const { return m_fileName; }
    // Shows a topic by its path inside the file; false when there is no such topic.
    bool showTopic(const QString &topic);
    QString currentTopic() const;
    QTreeWidget *contentsTree() const { return m_tree; }
    QTextBrowser *browser() const { return m_browser; }

private:
    void onContentsItem(QTreeWidgetItem *item);
    void selectContentsEntry(const QString &topic);

    std::shared_ptr<ChmArchive> m_archive;
    QString m_fileName;
    QTreeWidget *m_tree = nullptr;
    QTextBrowser *m_browser = nullptr;
};

// Where a new help window goes: on the screen area `available` of the main window (its
// frame `owner`), beside it on the side with more room, at most `wanted` in size and always
// wholly on that area (smaller where the area is smaller).
QRect helpWindowGeometry(const QRect &available, const QRect &owner, const QSize &wanted);

// Opens help windows. The main window asks it; tests install their own.
class HelpViewer {
public:
    virtual ~HelpViewer();
    // Shows the help file; false, with a description in `error`, when no window results.
    virtual bool showHelp(QWidget *parent, const QString &file, QString *error) = 0;
};

// The viewer in force: real help windows unless a test installed its own.
HelpViewer &helpViewer();
// Installs a viewer (not owned); nullptr restores the real one.
void setHelpViewer(HelpViewer *viewer);

} // namespace shell
