#include "app/shell/projectcommands.h"

#include "app/common/appstate.h"
#include "app/common/resources.h"
#include "app/markers/markercontroller.h"
#include "app/project/projectfile.h"
#include "app/video/videocontroller.h"
#include "components/aviplayer/imagesequence.h"
#include "platform/ui/dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace shell {

namespace {

constexpr const char *kSuffix = ".oxp";
constexpr const char *kRecoveryName = "recovery.oxp";
constexpr const char *kLockName = "session.lock";

// A video file, or a numbered picture sequence given by its printf pattern.
bool videoExists(const QString &path) {
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).isFile())
        return true;
    const std::string name = QFile::encodeName(path).toStdString();
    return aviplayer::ImageSequence::isPattern(name) &&
           !aviplayer::ImageSequence::list(name).empty();
}

// The name a new project is offered under: the video's, without the number of a sequence's
// first picture ("take_0001.bmp" gives "take").
QString suggestedName(const QString &video, bool sequence) {
    QString base = QFileInfo(video).completeBaseName();
    if (sequence) {
        qsizetype end = base.size();
        while (end > 0 && base[end - 1].isDigit())
            --end;
        while (end > 0 && (base[end - 1] == u'_' || base[end - 1] == u'-' || base[end - 1] == u'.'))
            --end;
        if (end > 0)
            base.truncate(end);
    }
    return base + QLatin1String(kSuffix);
}

} // namespace

ProjectCommands::ProjectCommands(video::VideoHost &host, common::AppState &state,
                                 video::VideoController &video, markers::MarkerController &markers)
    : m_host(host), m_state(state), m_video(video), m_markers(markers),
      m_recoveryFolder(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       QStringLiteral("/Orvane")) {}

ProjectCommands::~ProjectCommands() = default;

QWidget *ProjectCommands::parent() const {
    return m_host.dialogParent();
}

bool ProjectCommands::modified() const {
    return m_markers.changes != m_savedChanges;
}

project::ProjectData ProjectCommands::capture() const {
    project::ProjectData d;
    d.hasVideo = !m_state.NoVideo;
    project::VideoPart &v = d.video;
    const video::VideoView &view = m_host.workingView();
    if (d.hasVideo) {
        v.absolutePath = QFileInfo(m_state.VideoFile).absoluteFilePath();
        const QString folder =
            m_projectPath.isEmpty() ? QString() : QFileInfo(m_projectPath).absolutePath();
        v.relativePath =
            folder.isEmpty() ? QString() : QDir(folder).relativeFilePath(v.absolutePath);
    }
    v.fileCount = m_state.VideoFileCount;
    v.mode = m_state.VideoMode;
    v.rotation = m_video.modes.VideoRotation();
    v.mirror = m_video.modes.VideoMirror();
    v.openMode = m_video.modes.openMode(m_state.VideoMode);
    v.forcedRate = view.FrameRateForced();
    v.frameRate = m_state.VideoFrameRate;
    v.frameCount = m_state.FrameCount;
    v.width = m_state.VideoWidth;
    v.height = m_state.VideoHeight;
    v.frame = m_host.scrollValue();
    v.zoom = view.Zoom();
    v.horizontalOffset = view.HorizontalOffset();
    v.verticalOffset = view.VerticalOffset();
    m_markers.project.capture(d);
    return d;
}

void ProjectCommands::apply(const project::ProjectData &d, const QString &projectFolder) {
    const project::VideoPart &v = d.video;
    QString found;
    if (d.hasVideo) {
        if (videoExists(v.absolutePath))
            found = v.absolutePath;
        else if (!v.relativePath.isEmpty() &&
                 videoExists(QDir(projectFolder).absoluteFilePath(v.relativePath)))
            found = QDir::cleanPath(QDir(projectFolder).absoluteFilePath(v.relativePath));
    }
    // Putting the project in place shows what it holds and tracks nothing.
    m_markers.pass.setTrackingEnabled(false);
    if (!found.isEmpty()) {
        m_state.VideoFile = found;
        m_video.loader.LoadVideo(false, v.mode, v.forcedRate, v.fileCount);
        if (v.rotation != 0 || v.mirror != 0)
            m_video.modes.restoreOrientation(v.mode, v.rotation, v.mirror);
    } else {
        if (!m_state.NoVideo)
            m_video.loader.ResetProject(false);
        else
            m_host.discardMarkers();
        if (d.hasVideo) {
            const QString missing = v.absolutePath.isEmpty() ? v.relativePath : v.absolutePath;
            platform::ui::dialogs().messageBox(
                parent(),
                common::res(m_state, 1051) + u'\n' + missing + u'\n' + common::res(m_state, 1062),
                common::productTitle(m_state), platform::ui::Exclamation);
        }
        // Without the video the table still shows the values in the project's units.
        m_state.VideoWidth = v.width;
        m_state.VideoHeight = v.height;
        m_state.FrameCount = v.frameCount;
    }
    if (v.frameRate > 0.0f)
        m_state.VideoFrameRate = v.frameRate;
    m_markers.project.restore(d);
    if (!found.isEmpty()) {
        m_video.modes.ZoomChange(v.zoom);
        video::VideoView &view = m_host.workingView();
        view.SetHorizontalOffset(v.horizontalOffset);
        view.SetVerticalOffset(v.verticalOffset);
        const int frame = std::clamp(v.frame, m_host.scrollMinimum(), m_host.scrollMaximum());
        if (m_host.scrollValue() != frame)
            m_host.setScrollValue(frame);
        else
            m_video.playback.OnFrameChanged();
        m_markers.project.rebuild();
    } else {
        m_markers.pass.UpdateFrameMarkers();
    }
    m_markers.pass.setTrackingEnabled(true);
    // Whatever shows the markers' data (the Kinematics window) sees new work, even when the
    // project brings the same video and marker names back; the callers set the saved mark
    // after this.
    m_markers.touch();
}

bool ProjectCommands::open(const QString &path) {
    project::ReadError error = project::ReadError::None;
    QString detail;
    const std::optional<project::ProjectData> data =
        project::ProjectFile::read(path, &error, &detail);
    if (!data) {
        const int text = error == project::ReadError::NewerVersion ? 1058
                         : error == project::ReadError::Unreadable ? 1048
                                                                   : 1059;
        platform::ui::dialogs().messageBox(parent(), common::res(m_state, text) + u'\n' + path,
                                           common::productTitle(m_state), platform::ui::Critical);
        return false;
    }
    apply(*data, QFileInfo(path).absolutePath());
    m_projectPath = QFileInfo(path).absoluteFilePath();
    m_savedChanges = m_markers.changes;
    m_recoveredChanges.reset();
    QFile::remove(recoveryFile());
    return true;
}

void ProjectCommands::openWithDialog() {
    // Opening replaces the work in hand: unsaved work is given up only when the user says so,
    // with the question New asks.
    if (modified() && platform::ui::dialogs().messageBox(
                          parent(), common::res(m_state, 1018), common::productTitle(m_state),
                          platform::ui::YesNo + platform::ui::Question) != platform::ui::Yes)
        return;
    platform::ui::FileDialogRequest request;
    request.title = common::res(m_state, 1037);
    request.filter = common::res(m_state, 1033);
    request.directory = dialogFolder();
    request.mustExist = true;
    if (const auto chosen = platform::ui::dialogs().openFile(parent(), request))
        open(*chosen);
}

bool ProjectCommands::save(const QString &path) {
    // The relative path of the video is reckoned from the folder the project goes to.
    const QString before = m_projectPath;
    m_projectPath = QFileInfo(path).absoluteFilePath();
    const project::ProjectData data = capture();
    QString error;
    if (!project::ProjectFile::write(path, data, &error)) {
        m_projectPath = before;
        platform::ui::dialogs().messageBox(
            parent(), common::res(m_state, 1060) + u'\n' + path + u'\n' + error,
            common::productTitle(m_state), platform::ui::Critical);
        return false;
    }
    m_savedChanges = m_markers.changes;
    QFile::remove(recoveryFile());
    m_recoveredChanges.reset();
    return true;
}

SaveOutcome ProjectCommands::saveAs() {
    platform::ui::FileDialogRequest request;
    request.title = common::res(m_state, 1038);
    request.filter = common::res(m_state, 1033);
    request.mustExist = false;
    request.directory = dialogFolder();
    if (!m_projectPath.isEmpty())
        request.fileName = m_projectPath;
    else if (!m_state.NoVideo && !m_state.VideoFile.isEmpty())
        request.fileName =
            QDir(request.directory)
                .filePath(suggestedName(m_state.VideoFile, m_state.VideoFileCount > 0));
    std::optional<QString> chosen = platform::ui::dialogs().saveFile(parent(), request);
    if (!chosen || chosen->isEmpty())
        return SaveOutcome::Cancelled;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1String(kSuffix);
    return save(path) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

QString ProjectCommands::dialogFolder() const {
    // Where the work is: the project's folder, else the video's; else none, and the dialog
    // starts where the user last chose a file.
    if (!m_projectPath.isEmpty())
        return QFileInfo(m_projectPath).absolutePath();
    if (!m_state.NoVideo && !m_state.VideoFile.isEmpty())
        return QFileInfo(m_state.VideoFile).absolutePath();
    return {};
}

QString ProjectCommands::recoveryFile() const {
    return m_recoveryFolder + u'/' + QLatin1String(kRecoveryName);
}

void ProjectCommands::startSession() {
    if (!QDir().mkpath(m_recoveryFolder))
        return;
    m_lock = std::make_unique<QLockFile>(m_recoveryFolder + u'/' + QLatin1String(kLockName));
    // Another running Orvane owns the recovery file; this one keeps no recovery.
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return;
    }
    const QString file = recoveryFile();
    if (!QFile::exists(file))
        return;
    const int answer = platform::ui::dialogs().messageBox(
        parent(), common::res(m_state, 1061), common::productTitle(m_state),
        platform::ui::YesNo + platform::ui::Question);
    if (answer != platform::ui::Yes) {
        QFile::remove(file);
        return;
    }
    project::ReadError error = project::ReadError::None;
    const auto data = project::ProjectFile::read(file, &error);
    if (!data) {
        // Kept aside for whoever wants to look at it, and not offered again.
        const QString aside = file + QStringLiteral(".damaged");
        QFile::remove(aside);
        QFile::rename(file, aside);
        platform::ui::dialogs().messageBox(parent(), common::res(m_state, 1059) + u'\n' + aside,
                                           common::productTitle(m_state), platform::ui::Critical);
        return;
    }
    // The folder the video was saved relative to is unknown; its absolute path holds.
    apply(*data, QFileInfo(file).absolutePath());
    m_projectPath.clear();
    // Restored work is unsaved work until it is saved.
    m_savedChanges = m_markers.changes - 1;
    m_recoveredChanges = m_markers.changes;
}

void ProjectCommands::saveRecovery() {
    if (!m_lock || m_state.IsPlaying || !modified())
        return;
    if (m_recoveredChanges && *m_recoveredChanges == m_markers.changes)
        return;
    QString error;
    // Written like any project; a failure here is not worth interrupting the user for: the
    // next try comes with the next change.
    if (project::ProjectFile::write(recoveryFile(), capture(), &error))
        m_recoveredChanges = m_markers.changes;
}

void ProjectCommands::endSession() {
    if (!m_lock)
        return;
    QFile::remove(recoveryFile());
    m_lock.reset();
}

void ProjectCommands::projectReset() {
    m_projectPath.clear();
    m_savedChanges = m_markers.changes;
    m_recoveredChanges.reset();
    if (m_lock)
        QFile::remove(recoveryFile());
}

} // namespace shell
