// The file dialogs' memory of the folder the user last chose a file from.
#include "platform/ui/lastfolder.h"

#include "platform/registry.h"
#include "platform/ui/dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <ostream>

// Folder names in failure messages as text.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

using platform::ui::LastFolder;

namespace {

class LastFolderTest : public ::testing::Test {
protected:
    std::filesystem::path storeRoot() const { return (m_dir.path() + "/store").toStdString(); }
    QString folder(const QString &name) const {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.path() + u'/' + name;
    }
    QTemporaryDir m_dir;
};

TEST_F(LastFolderTest, AChosenFilesFolderIsWhereTheNextDialogStarts) {
    const LastFolder last(storeRoot());
    EXPECT_EQ(last.startDirectory({}), QString()); // nothing chosen yet: the dialog decides
    const QString videos = folder("videos");
    ASSERT_TRUE(last.remember(videos + "/run 1.avi"));
    EXPECT_EQ(last.startDirectory({}), videos);
    // A request that names its folder keeps it, and the memory outlives the program.
    EXPECT_EQ(last.startDirectory("/given"), QStringLiteral("/given"));
    EXPECT_EQ(LastFolder(storeRoot()).startDirectory({}), videos);
    // It is kept per user in the settings store.
    EXPECT_EQ(
        platform::RegistryStore(storeRoot())
            .readString(platform::RegistryHive::CurrentUser, LastFolder::kKey, LastFolder::kValue),
        videos.toStdString());

    const QString exports = folder("exports");
    ASSERT_TRUE(last.remember(exports + "/table.txt"));
    EXPECT_EQ(last.startDirectory({}), exports);
}

TEST_F(LastFolderTest, AFolderThatIsGoneIsForgotten) {
    const LastFolder last(storeRoot());
    const QString gone = folder("gone");
    ASSERT_TRUE(last.remember(gone + "/a.avi"));
    ASSERT_TRUE(QDir(gone).removeRecursively());
    EXPECT_EQ(last.startDirectory({}), QString());
    EXPECT_FALSE(last.remember({}));
}

// The real dialogs, answered by code as soon as they show: a request without a folder starts
// in the remembered one, and the chosen file's folder is remembered for the next dialog.
TEST_F(LastFolderTest, TheFileDialogsStartThereAndRememberTheChoice) {
    const QByteArray savedRoot = qgetenv("ORVANE_REGISTRY_ROOT");
    qputenv("ORVANE_REGISTRY_ROOT", QByteArray::fromStdString(storeRoot().string()));
    const QString videos = folder("videos");
    const QString exports = folder("exports");
    QFile(exports + "/table.txt").open(QIODevice::WriteOnly);
    ASSERT_TRUE(LastFolder().remember(videos + "/run.avi"));

    QString shownIn;
    const auto answer = [&](const QString &file) {
        QTimer::singleShot(0, [&shownIn, file] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                ADD_FAILURE() << "no file dialog showing";
                return;
            }
            shownIn = dialog->directory().absolutePath();
            dialog->selectFile(file);
            QMetaObject::invokeMethod(dialog, "accept"); // as the dialog's own button does
        });
    };
    platform::ui::FileDialogRequest request;
    request.filter = "Text|*.txt";
    answer(exports + "/table.txt");
    EXPECT_EQ(platform::ui::dialogs().openFile(nullptr, request), exports + "/table.txt");
    EXPECT_EQ(shownIn, videos);

    request.mustExist = false;
    answer(videos + "/new.txt");
    EXPECT_EQ(platform::ui::dialogs().saveFile(nullptr, request), videos + "/new.txt");
    EXPECT_EQ(shownIn, exports);
    EXPECT_EQ(LastFolder().startDirectory({}), videos);
    qputenv("ORVANE_REGISTRY_ROOT", savedRoot);
}

} // namespace
