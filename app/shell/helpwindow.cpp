#include "app/shell/helpwindow.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>

#include <chm_lib.h>

#include <cstring>

namespace shell {

namespace {

// Codes of the entries of the "#SYSTEM" object that name the contents file, the default
// topic and the title. Each entry is a 16-bit code, a 16-bit length and that many bytes,
// after a 32-bit version word.
constexpr quint16 kSystemContentsFile = 0;
constexpr quint16 kSystemDefaultTopic = 2;
constexpr quint16 kSystemTitle = 3;

QString withoutSlash(QString path) {
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return path;
}

// Stored texts are zero-terminated and may be UTF-8 or a Windows code page; UTF-8 that
// does not decode cleanly is read as Latin-1.
QString storedText(const QByteArray &bytes) {
    QByteArray text = bytes;
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    const QString utf8 = QString::fromUtf8(text);
    if (utf8.contains(QChar::ReplacementCharacter))
        return QString::fromLatin1(text);
    return utf8;
}

// Shows topics of the open archive; links inside it resolve to archive paths.
class ChmBrowser : public QTextBrowser {
public:
    explicit ChmBrowser(QWidget *parent) : QTextBrowser(parent) {
        setOpenLinks(true);
        setOpenExternalLinks(false);
    }
    void setArchive(std::shared_ptr<ChmArchive> archive) { m_archive = std::move(archive); }

    QVariant loadResource(int type, const QUrl &name) override {
        if (!m_archive || !m_archive->isOpen() || !name.scheme().isEmpty())
            return {};
        const auto bytes = m_archive->read(QLatin1Char('/') + withoutSlash(name.path()));
        if (!bytes)
            return {};
        if (type == QTextDocument::ImageResource) {
            QImage image;
            image.loadFromData(*bytes);
            return image;
        }
        return storedText(*bytes);
    }

    void doSetSource(const QUrl &url, QTextDocument::ResourceType type) override {
        // Web and mail links leave the help window; everything else is a topic.
        if (!url.scheme().isEmpty()) {
            QDesktopServices::openUrl(url);
            return;
        }
        QTextBrowser::doSetSource(url, type);
    }

private:
    std::shared_ptr<ChmArchive> m_archive;
};

class WindowHelpViewer : public HelpViewer {
public:
    bool showHelp(QWidget *parent, const QString &file, QString *error) override {
        if (!m_window) {
            // A top-level window of its own that stays open beside the main window, also
            // while modal dialogs of the main window run.
            m_window = new HelpWindow();
            m_window->setAttribute(Qt::WA_DeleteOnClose);
            // On the main window's screen; once shown, where the user puts it.
            const QWidget *owner = parent ? parent->window() : nullptr;
            if (QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
                m_window->setGeometry(helpWindowGeometry(screen->availableGeometry(),
                                                         owner ? owner->frameGeometry() : QRect(),
                                                         m_window->size()));
        }
        if (m_window->fileName() != file && !m_window->openFile(file, error)) {
            delete m_window;
            return false;
        }
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
        return true;
    }

private:
    QPointer<HelpWindow> m_window;
};

HelpViewer *g_viewer = nullptr;

} // namespace

ChmArchive::~ChmArchive() {
    if (m_file)
        chm_close(m_file);
}

bool ChmArchive::open(const QString &path) {
    if (m_file) {
        chm_close(m_file);
        m_file = nullptr;
    }
    m_title.clear();
    m_defaultTopic.clear();
    m_contentsFile.clear();
    m_contents.clear();
    m_error.clear();

    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || !info.isReadable()) {
        m_error = QStringLiteral("The help file \"%1\" cannot be found.").arg(path);
        return false;
    }
    m_file = chm_open(QFile::encodeName(path).constData());
    if (!m_file) {
        m_error = QStringLiteral("The file \"%1\" is no readable help file.").arg(path);
        return false;
    }
    readSystemInfo();
    readContents();
    return true;
}

std::optional<QByteArray> ChmArchive::read(const QString &path) const {
    if (!m_file)
        return std::nullopt;
    const QByteArray name = path.toUtf8();
    if (name.size() >= CHM_MAX_PATHLEN)
        return std::nullopt;
    chmUnitInfo unit{};
    if (chm_resolve_object(m_file, name.constData(), &unit) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (unit.length > static_cast<LONGUINT64>(kMaxObjectSize))
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(unit.length), Qt::Uninitialized);
    if (unit.length == 0)
        return bytes;
    const LONGINT64 got =
        chm_retrieve_object(m_file, &unit, reinterpret_cast<unsigned char *>(bytes.data()), 0,
                            static_cast<LONGINT64>(unit.length));
    if (got != static_cast<LONGINT64>(unit.length))
        return std::nullopt;
    return bytes;
}

QString ChmArchive::defaultTopic() const {
    if (!m_defaultTopic.isEmpty())
        return m_defaultTopic;
    for (const ContentsEntry &entry : m_contents)
        if (!entry.local.isEmpty())
            return entry.local;
    return QStringLiteral("index.html");
}

void ChmArchive::readSystemInfo() {
    const auto system = read(QStringLiteral("/#SYSTEM"));
    if (!system)
        return;
    const auto *data = reinterpret_cast<const unsigned char *>(system->constData());
    const qsizetype size = system->size();
    const auto word = [data](qsizetype at) {
        return quint16(data[at] | (data[at + 1] << 8));
    };
    qsizetype at = 4; // after the version word
    while (at + 4 <= size) {
        const quint16 code = word(at);
        const quint16 length = word(at + 2);
        at += 4;
        if (length > size - at)
            break; // a damaged entry: keep what was read so far
        const QString text = storedText(system->mid(at, length));
        if (code == kSystemContentsFile)
            m_contentsFile = withoutSlash(text);
        else if (code == kSystemDefaultTopic)
            m_defaultTopic = withoutSlash(text);
        else if (code == kSystemTitle)
            m_title = text;
        at += length;
    }
}

void ChmArchive::readContents() {
    QString file = m_contentsFile;
    if (file.isEmpty())
        file = QStringLiteral("toc.hhc");
    if (const auto html = read(QLatin1Char('/') + file))
        m_contents = parseSitemap(storedText(*html));
}

std::vector<ChmArchive::ContentsEntry> parseSitemap(const QString &html) {
    // Lists nest with <UL>; each entry is an <OBJECT type="text/sitemap"> with <param>
    // "Name" and "Local". Anything else is ignored, so a damaged file gives fewer entries.
    static const QRegularExpression token(
        QStringLiteral(R"(<\s*(/?)\s*(ul|object)\b[^>]*>|<\s*param\s+([^>]*)>)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression attribute(QStringLiteral(R"re((name|value)\s*=\s*"([^"]*)")re"),
                                              QRegularExpression::CaseInsensitiveOption);
    std::vector<ChmArchive::ContentsEntry> entries;
    int depth = -1;
    bool inObject = false;
    ChmArchive::ContentsEntry current;
    auto it = token.globalMatch(html);
    while (it.hasNext()) {
        const auto match = it.next();
        const bool closing = !match.captured(1).isEmpty();
        const QString tag = match.captured(2).toLower();
        if (tag == QLatin1String("ul")) {
            depth += closing ? -1 : 1;
            depth = std::max(depth, -1);
        } else if (tag == QLatin1String("object")) {
            if (!closing) {
                inObject = true;
                current = {};
                current.depth = std::max(depth, 0);
            } else if (inObject) {
                inObject = false;
                if (!current.name.isEmpty())
                    entries.push_back(current);
            }
        } else if (inObject) {
            QString name;
            QString value;
            auto attributes = attribute.globalMatch(match.captured(3));
            while (attributes.hasNext()) {
                const auto a = attributes.next();
                if (a.captured(1).compare(QLatin1String("name"), Qt::CaseInsensitive) == 0)
                    name = a.captured(2);
                else
                    value = a.captured(2);
            }
            if (name.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0)
                current.name = value;
            else if (name.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0)
                current.local = withoutSlash(value);
        }
    }
    return entries;
}

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/orvane.png")));
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    m_tree = new QTreeWidget(splitter);
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_browser = new ChmBrowser(splitter);
    // Links followed inside a topic keep the contents entry in step.
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this](const QUrl &url) { selectContentsEntry(withoutSlash(url.path())); });
    splitter->addWidget(m_tree);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 620});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    resize(880, 620);
    connect(m_tree, &QTreeWidget::itemActivated, this, &HelpWindow::onContentsItem);
    connect(m_tree, &QTreeWidget::itemClicked, this, &HelpWindow::onContentsItem);
}

HelpWindow::~HelpWindow() = default;

QRect helpWindowGeometry(const QRect &available, const QRect &owner, const QSize &wanted) {
    // Room for the window manager's frame around the window.
    constexpr int kFrame = 32;
    const int width = std::max(1, std::min(wanted.width(), available.width() - kFrame));
    const int height = std::max(1, std::min(wanted.height(), available.height() - kFrame));
    if (available.width() <= kFrame || available.height() <= kFrame)
        return QRect(available.topLeft(), QSize(width, height));
    QRect r(0, 0, width, height);
    if (owner.isValid()) {
        const int right = available.right() - owner.right();
        const int left = owner.left() - available.left();
        r.moveLeft(right >= left ? owner.right() + 1 : owner.left() - width);
        r.moveTop(owner.top());
    } else {
        r.moveCenter(available.center());
    }
    // Wholly on the area: the window overlaps its owner rather than leave the screen.
    r.moveLeft(std::clamp(r.left(), available.left(), available.right() + 1 - kFrame / 2 - width));
    // The title bar above the window stays on the area too.
    r.moveTop(std::clamp(r.top(), available.top() + kFrame, available.bottom() + 1 - height));
    return r;
}

bool HelpWindow::openFile(const QString &file, QString *error) {
    auto archive = std::make_shared<ChmArchive>();
    if (!archive->open(file)) {
        if (error)
            *error = archive->errorString();
        return false;
    }
    m_archive = archive;
    m_fileName = file;
    static_cast<ChmBrowser *>(m_browser)->setArchive(m_archive);

    m_tree->clear();
    std::vector<QTreeWidgetItem *> parents;
    for (const ChmArchive::ContentsEntry &entry : m_archive->contents()) {
        const auto depth = static_cast<std::size_t>(std::max(entry.depth, 0));
        parents.resize(std::min(parents.size(), depth));
        QTreeWidgetItem *item =
            parents.empty() ? new QTreeWidgetItem(m_tree) : new QTreeWidgetItem(parents.back());
        item->setText(0, entry.name);
        item->setData(0, Qt::UserRole, entry.local);
        parents.push_back(item);
    }
    m_tree->expandAll();

    const QString title = m_archive->title();
    setWindowTitle(title.isEmpty() ? QFileInfo(file).completeBaseName() : title);
    if (!showTopic(m_archive->defaultTopic())) {
        // An archive without its start page still opens; the contents may lead elsewhere.
        m_browser->setHtml(QString());
    }
    return true;
}

bool HelpWindow::showTopic(const QString &topic) {
    if (!m_archive || !m_archive->read(QLatin1Char('/') + withoutSlash(topic)))
        return false;
    const QString path = withoutSlash(topic);
    // Rooted, so that a topic shown from a sub-folder page still names the archive's path.
    m_browser->setSource(QUrl(QLatin1Char('/') + path));
    selectContentsEntry(path);
    return true;
}

void HelpWindow::selectContentsEntry(const QString &topic) {
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == topic) {
            const QSignalBlocker quiet(m_tree);
            m_tree->setCurrentItem(*it);
            return;
        }
    }
}

QString HelpWindow::currentTopic() const {
    return withoutSlash(m_browser->source().path());
}

void HelpWindow::onContentsItem(QTreeWidgetItem *item) {
    if (item)
        showTopic(item->data(0, Qt::UserRole).toString());
}

HelpViewer::~HelpViewer() = default;

HelpViewer &helpViewer() {
    static WindowHelpViewer real;
    return g_viewer ? *g_viewer : real;
}

void setHelpViewer(HelpViewer *viewer) {
    g_viewer = viewer;
}

} // namespace shell
