// Help files: reading compiled help through chmlib, the contents, damaged files, the help
// window, and the three manuals the build compiles beside the program.
#include "app/shell/helpwindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace shell {
namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A small help file built with chmcmd: two topics in a nested contents list and a picture.
class CompiledHelp : public ::testing::Test {
protected:
    void SetUp() override {
        const QString chmcmd = QStandardPaths::findExecutable(QStringLiteral("chmcmd"));
        if (chmcmd.isEmpty())
            GTEST_SKIP() << "chmcmd (fp-utils) is not installed";
        const QString d = m_dir.path() + QLatin1Char('/');
        writeFile(d + "p.hhp", "[OPTIONS]\nCompiled file=t.chm\nContents file=toc.hhc\n"
                               "Default topic=start.html\nTitle=Test manual\n"
                               "Language=0x409 English (United States)\n\n"
                               "[FILES]\nstart.html\nsub/deep.html\ndot.png\n");
        writeFile(d + "start.html", "<html><head><title>Start</title></head><body>"
                                    "<h1>Start page</h1><a href=\"sub/deep.html\">deep</a>"
                                    "<img src=\"dot.png\"></body></html>");
        QDir(m_dir.path()).mkdir("sub");
        writeFile(d + "sub/deep.html", "<html><body><p>Deep page</p></body></html>");
        QImage dot(3, 2, QImage::Format_RGB32);
        dot.fill(Qt::red);
        ASSERT_TRUE(dot.save(d + "dot.png"));
        writeFile(d + "toc.hhc",
                  "<HTML><BODY><UL>\n"
                  "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Start\">"
                  "<param name=\"Local\" value=\"start.html\"></OBJECT>\n"
                  "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Deep\">"
                  "<param name=\"Local\" value=\"sub/deep.html\"></OBJECT></UL>\n"
                  "</UL></BODY></HTML>\n");
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(chmcmd, {"--no-html-scan", "p.hhp"});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        m_file = d + "t.chm";
        ASSERT_TRUE(QFile::exists(m_file));
    }

    QTemporaryDir m_dir;
    QString m_file;
};

TEST_F(CompiledHelp, ReadsTitleDefaultTopicContentsAndTopics) {
    ChmArchive chm;
    ASSERT_TRUE(chm.open(m_file)) << chm.errorString().toStdString();
    EXPECT_EQ(chm.title(), "Test manual");
    EXPECT_EQ(chm.defaultTopic(), "start.html");
    ASSERT_EQ(chm.contents().size(), 2u);
    EXPECT_EQ(chm.contents()[0].name, "Start");
    EXPECT_EQ(chm.contents()[0].depth, 0);
    EXPECT_EQ(chm.contents()[1].local, "sub/deep.html");
    EXPECT_EQ(chm.contents()[1].depth, 1);

    const auto page = chm.read("/sub/deep.html");
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(*page, QByteArray("<html><body><p>Deep page</p></body></html>"));
    EXPECT_FALSE(chm.read("/missing.html").has_value());
    EXPECT_FALSE(chm.read(QString(1000, QLatin1Char('x'))).has_value());
}

TEST_F(CompiledHelp, DamagedFilesAreRefusedOrReadSafely) {
    QFile source(m_file);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray whole = source.readAll();
    for (const qsizetype keep : {qsizetype(0), qsizetype(20), qsizetype(100), whole.size() / 2}) {
        const QString cut = m_dir.filePath(QStringLiteral("cut%1.chm").arg(keep));
        writeFile(cut, whole.left(keep));
        ChmArchive chm;
        if (chm.open(cut)) {
            // Whatever survived must read without touching memory outside the file.
            (void)chm.read("/start.html");
            (void)chm.read("/sub/deep.html");
        } else {
            EXPECT_FALSE(chm.errorString().isEmpty());
        }
    }
    const QString noise = m_dir.filePath("noise.chm");
    QByteArray bytes(4096, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 73 + 11) & 0xff);
    writeFile(noise, bytes);
    ChmArchive chm;
    EXPECT_FALSE(chm.open(noise));
}

TEST(HelpArchive, MissingFileNamesThePath) {
    ChmArchive chm;
    EXPECT_FALSE(chm.open("/nonexistent/Orvane_enu.chm"));
    EXPECT_TRUE(chm.errorString().contains("/nonexistent/Orvane_enu.chm"));
    EXPECT_FALSE(chm.read("/index.html").has_value());
    EXPECT_FALSE(chm.open(QString()));
}

TEST(HelpSitemap, NestedListsCaseAndEntriesWithoutName) {
    const auto entries = parseSitemap(
        "<ul><li><object type=\"text/sitemap\"><PARAM NAME=\"name\" VALUE=\"A\">"
        "<param name=\"Local\" value=\"/a.html\"></object>"
        "<UL><LI><OBJECT><param name=\"Local\" value=\"nameless.html\"></OBJECT>"
        "<LI><OBJECT><param name=\"Name\" value=\"B\"><param name=\"Local\" value=\"b.html\">"
        "</OBJECT><UL><LI><OBJECT><param name=\"Name\" value=\"C\"></OBJECT></UL></UL>"
        "<LI><OBJECT><param name=\"Name\" value=\"D\"></OBJECT></ul>");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "A");
    EXPECT_EQ(entries[0].local, "a.html");
    EXPECT_EQ(entries[1].name, "B");
    EXPECT_EQ(entries[1].depth, 1);
    EXPECT_EQ(entries[2].name, "C");
    EXPECT_EQ(entries[2].depth, 2);
    EXPECT_EQ(entries[3].depth, 0);
    // Unbalanced closing lists never give negative depths.
    const auto broken =
        parseSitemap("</ul></ul><object><param name=\"Name\" value=\"X\"></object>");
    ASSERT_EQ(broken.size(), 1u);
    EXPECT_EQ(broken[0].depth, 0);
}

TEST_F(CompiledHelp, WindowShowsTheDefaultTopicAndFollowsTheContents) {
    HelpWindow window;
    QString error;
    ASSERT_TRUE(window.openFile(m_file, &error)) << error.toStdString();
    EXPECT_EQ(window.windowTitle(), "Test manual");
    EXPECT_EQ(window.currentTopic(), "start.html");
    EXPECT_TRUE(window.browser()->toPlainText().contains("Start page"));
    // The picture comes out of the archive.
    const QVariant dot =
        window.browser()->loadResource(QTextDocument::ImageResource, QUrl("dot.png"));
    EXPECT_EQ(dot.value<QImage>().size(), QSize(3, 2));

    ASSERT_EQ(window.contentsTree()->topLevelItemCount(), 1);
    QTreeWidgetItem *deep = window.contentsTree()->topLevelItem(0)->child(0);
    ASSERT_NE(deep, nullptr);
    emit window.contentsTree()->itemClicked(deep, 0);
    EXPECT_EQ(window.currentTopic(), "sub/deep.html");
    EXPECT_TRUE(window.browser()->toPlainText().contains("Deep page"));
    window.showTopic("start.html");
    EXPECT_EQ(window.contentsTree()->currentItem(), window.contentsTree()->topLevelItem(0));
    EXPECT_EQ(window.currentTopic(), "start.html");
    EXPECT_FALSE(window.showTopic("nothing.html"));
    EXPECT_EQ(window.currentTopic(), "start.html");
}

TEST(HelpWindowFailures, MissingFileFailsWithAMessage) {
    HelpWindow window;
    QString error;
    EXPECT_FALSE(window.openFile("/nonexistent/Orvane_deu.chm", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(window.fileName().isEmpty());
}

#ifdef ORVANE_HELP_DIR
// The build compiles the manual into the three files the program looks for.
TEST(BuiltManual, AllThreeLanguageFilesOpenWithTheirContents) {
    const QString dir = QStringLiteral(ORVANE_HELP_DIR);
    ChmArchive deu, enu, por;
    ASSERT_TRUE(deu.open(dir + "/Orvane_deu.chm")) << deu.errorString().toStdString();
    ASSERT_TRUE(enu.open(dir + "/Orvane_enu.chm")) << enu.errorString().toStdString();
    ASSERT_TRUE(por.open(dir + "/Orvane_por.chm")) << por.errorString().toStdString();
    EXPECT_EQ(deu.title(), "Orvane Hilfe");
    EXPECT_EQ(enu.title(), "Orvane Help");
    EXPECT_EQ(por.title(), "Orvane Help");
    ASSERT_FALSE(deu.contents().empty());
    EXPECT_EQ(deu.contents().size(), enu.contents().size());
    // The third slot carries the English manual.
    EXPECT_EQ(por.read("/" + por.defaultTopic()), enu.read("/" + enu.defaultTopic()));
    EXPECT_NE(deu.read("/index.html"), enu.read("/index.html"));
    // Every contents entry leads to a topic inside the file.
    for (const ChmArchive *chm : {&deu, &enu})
        for (const auto &entry : chm->contents())
            EXPECT_TRUE(chm->read("/" + entry.local).has_value()) << entry.local.toStdString();
}

// Both manuals list the same topics in the same order, markers, calibration, projects, export,
// kinematics and batch use among them, and no page links to a page the file does not hold.
TEST(BuiltManual, BothLanguagesHoldTheSameTopicsAndEveryLinkResolves) {
    const QString dir = QStringLiteral(ORVANE_HELP_DIR);
    ChmArchive deu, enu;
    ASSERT_TRUE(deu.open(dir + "/Orvane_deu.chm")) << deu.errorString().toStdString();
    ASSERT_TRUE(enu.open(dir + "/Orvane_enu.chm")) << enu.errorString().toStdString();
    const auto topics = [](const ChmArchive &chm) {
        QStringList locals;
        for (const auto &entry : chm.contents())
            locals << entry.local;
        return locals;
    };
    const QStringList german = topics(deu);
    EXPECT_EQ(german.join(u' ').toStdString(), topics(enu).join(u' ').toStdString());
    for (const char *page : {"index.html", "markers.html", "calibration.html", "projects.html",
                             "export.html", "kinematics.html", "batch.html"})
        EXPECT_TRUE(german.contains(QLatin1String(page))) << page;

    // Links to other pages of the manual: relative names ending in .html, without a scheme.
    static const QRegularExpression kLink(QStringLiteral("href=\"([^\":#]+\\.html)"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const ChmArchive *chm : {&deu, &enu}) {
        int links = 0;
        for (const QString &topic : topics(*chm)) {
            const auto page = chm->read("/" + topic);
            ASSERT_TRUE(page.has_value()) << topic.toStdString();
            for (auto it = kLink.globalMatch(QString::fromUtf8(*page)); it.hasNext();) {
                const QString target = it.next().captured(1);
                ++links;
                EXPECT_TRUE(chm->read("/" + target).has_value())
                    << topic.toStdString() << " links to " << target.toStdString();
            }
        }
        EXPECT_GT(links, 0);
    }
    // Each start page leads to the export, kinematics and batch topics.
    for (const ChmArchive *chm : {&deu, &enu}) {
        const QString index = QString::fromUtf8(chm->read("/index.html").value_or(QByteArray()));
        for (const char *page : {"export.html", "kinematics.html", "batch.html"})
            EXPECT_TRUE(index.contains(QStringLiteral("href=\"%1\"").arg(QLatin1String(page))))
                << chm->title().toStdString() << ": " << page;
    }
}
#endif

} // namespace
} // namespace shell

TEST(HelpWindowPlacement, BesideTheMainWindowAndWhollyOnItsScreen) {
    const QRect screen(0, 0, 1600, 1000);
    // Room on the right of the main window: there, top aligned with it.
    QRect r = shell::helpWindowGeometry(screen, QRect(20, 60, 600, 708), QSize(880, 620));
    EXPECT_EQ(r, QRect(620, 60, 880, 620)) << r.x() << "," << r.y();
    // Not quite room enough: it overlaps the main window rather than leave the screen.
    r = shell::helpWindowGeometry(screen, QRect(20, 60, 700, 708), QSize(880, 620));
    EXPECT_EQ(r, QRect(1600 - 16 - 880, 60, 880, 620)) << r.x() << "," << r.y();
    // More room on the left: there.
    r = shell::helpWindowGeometry(screen, QRect(900, 60, 690, 708), QSize(880, 620));
    EXPECT_EQ(r.right(), 899);
    EXPECT_EQ(r.top(), 60);
    // A window taller than a 1000-pixel screen is shortened and kept on it, title bar too.
    for (const QRect &owner : {QRect(100, 100, 960, 708), QRect(300, 250, 960, 708), QRect()}) {
        r = shell::helpWindowGeometry(screen, owner, QSize(880, 1400));
        EXPECT_TRUE(screen.contains(r))
            << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
        EXPECT_GE(r.top(), 32);
        EXPECT_EQ(r.height(), 968);
    }
    // The main window on a second screen to the right: the help window goes on that one.
    const QRect second(1600, 0, 1280, 1024);
    r = shell::helpWindowGeometry(second, QRect(1700, 100, 960, 708), QSize(880, 620));
    EXPECT_TRUE(second.contains(r));
    // A tiny area still gives a sound rectangle.
    r = shell::helpWindowGeometry(QRect(0, 0, 10, 10), QRect(), QSize(880, 620));
    EXPECT_GE(r.width(), 1);
    EXPECT_GE(r.height(), 1);
}
