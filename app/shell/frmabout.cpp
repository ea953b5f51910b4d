#include "app/shell/frmabout.h"

#include "app/common/resources.h"
#include "platform/library.h"
#include "platform/sysinfo.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace shell {

using namespace common;

namespace {

using platform::LONG;

// Selectors of the kernel's version questions.
constexpr LONG kInfoMinor = 1;
constexpr LONG kInfoBuild = 2;
constexpr LONG kInfoRevision = 3;

} // namespace

ProgramVersion queryProgramVersion() {
    ProgramVersion v;
    if (const auto own = platform::programVersion()) {
        v = {own->major, own->minor, own->build, own->revision};
    }
    platform::LoadedLibrary vexcore("vexcore.dll");
    if (!vexcore)
        return v;
    using KernelInfoFn = LONG (*)(LONG, LONG *, char *);
    const auto kernelInfo = vexcore.function<KernelInfoFn>("KernelInfo");
    if (!kernelInfo)
        return v;
    // The kernel leaves the result unchanged when the program has no version resource,
    // so each part starts from what is already known.
    const auto ask = [&](LONG selector, int &part) {
        LONG value = part;
        char text[100] = {};
        if (kernelInfo(selector, &value, text) == 0)
            part = static_cast<int>(value);
    };
    ask(kInfoMinor, v.minor);
    ask(kInfoBuild, v.build);
    ask(kInfoRevision, v.revision);
    return v;
}

QString versionLine(const ProgramVersion &version) {
    return QStringLiteral("Version %1.%2.%3")
        .arg(version.major)
        .arg(version.minor)
        .arg(version.build);
}

QString buildLine(const ProgramVersion &version) {
    return QStringLiteral("Build %1").arg(version.revision);
}

frmAbout::frmAbout(QWidget *parent, const ProgramVersion &version, int timeoutMs)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(res(1800));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *picture = new QLabel(this);
    picture->setPixmap(QIcon(QStringLiteral(":/icons/orvane.png")).pixmap(96, 96));
    picture->setAlignment(Qt::AlignTop);

    m_product = new QLabel(productTitle(), this);
    QFont big = m_product->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    m_product->setFont(big);

    m_version = new QLabel(versionLine(version), this);
    m_build = new QLabel(buildLine(version), this);

    const QString web = QString::fromLatin1(kMakerWeb);
    const QString mail = QString::fromLatin1(kMakerMail);
    m_links = new QLabel(QStringLiteral("<a href=\"%1\">%2</a><br><a href=\"mailto:%3\">%3</a>")
                             .arg(web, QString(web).remove(QStringLiteral("https://")), mail),
                         this);
    m_links->setTextFormat(Qt::RichText);
    m_links->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_links->setOpenExternalLinks(true);

    auto *text = new QVBoxLayout;
    text->addWidget(m_product);
    text->addSpacing(6);
    text->addWidget(m_version);
    text->addWidget(m_build);
    text->addSpacing(12);
    text->addWidget(m_links);
    text->addStretch(1);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(24, 24, 32, 24);
    row->setSpacing(20);
    row->addWidget(picture);
    row->addLayout(text, 1);

    // A thin border: the box has no window frame of its own.
    setStyleSheet(QStringLiteral("QDialog#frmAbout { border: 1px solid palette(mid); }"));

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &QDialog::accept);
    if (timeoutMs > 0)
        m_timer->start(timeoutMs);
}

void frmAbout::mousePressEvent(QMouseEvent *event) {
    // Presses on the links are taken by the link label and never arrive here.
    event->accept();
    accept();
}

void frmAbout::keyPressEvent(QKeyEvent *event) {
    event->accept();
    accept();
}

} // namespace shell
