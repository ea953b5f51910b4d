// Projects: File > Open and File > Save as (and the save of the exit question), and the
// recovery of unsaved work after a crash. A project is the video and how it was shown plus
// the marker work; opening one puts everything back so that tracking can go on.
#pragma once

#include "app/project/projectdata.h"

#include <QString>

#include <memory>
#include <optional>

class QLockFile;
class QWidget;

namespace common {
struct AppState;
}
namespace markers {
class MarkerController;
}
namespace video {
class VideoController;
class VideoHost;
} // namespace video

namespace shell {

// What a project save came to; anything but Saved keeps the window open on closing.
enum class SaveOutcome { Saved, Cancelled, Failed };

class ProjectCommands {
public:
    ProjectCommands(video::VideoHost &host, common::AppState &state, video::VideoController &video,
                    markers::MarkerController &markers);
    ~ProjectCommands();

    // File > Open: the open dialog, then the project.
    void openWithDialog();
    // Opens a project file; false (after telling the user why) when it was not opened, and
    // then nothing has changed.
    bool open(const QString &path);
    // File > Save as: the save dialog, then the project.
    SaveOutcome saveAs();
    // Writes the project to a file; false (after telling the user why) when it failed.
    bool save(const QString &path);

    // True while the work has changes no project file holds.
    bool modified() const;
    QString projectPath() const { return m_projectPath; }

    // --- Recovery -------------------------------------------------------------------------
    // The folder of the recovery file and the session lock (the per-user data folder unless
    // a test sets one).
    void setRecoveryFolder(const QString &folder) { m_recoveryFolder = folder; }
    QString recoveryFile() const;
    // At start: takes the session lock and, when the last session left unsaved work behind,
    // offers to restore it.
    void startSession();
    // Writes the recovery file when the work changed since it was last written. Called after
    // playback and from a timer; it never runs during playback.
    void saveRecovery();
    // A clean end of the session: the recovery file goes, the lock is released.
    void endSession();
    // The project was reset (File > New, another video): no work left to recover.
    void projectReset();

    // The project as it stands, and putting one in place (for tests and the recovery).
    project::ProjectData capture() const;
    void apply(const project::ProjectData &data, const QString &projectFolder);

private:
    QWidget *parent() const;
    // The folder the open and save dialogs start in.
    QString dialogFolder() const;

    video::VideoHost &m_host;
    common::AppState &m_state;
    video::VideoController &m_video;
    markers::MarkerController &m_markers;
    QString m_projectPath;
    unsigned m_savedChanges = 0;
    std::optional<unsigned> m_recoveredChanges;
    QString m_recoveryFolder;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace shell
