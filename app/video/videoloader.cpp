#include "app/video/videoloader.h"

#include "app/common/numbertext.h"
#include "app/common/resources.h"
#include "app/video/indexpass.h"
#include "app/video/sequencepattern.h"
#include "platform/ui/dialogs.h"

#include <algorithm>

namespace video {

namespace {
constexpr ToolButton kZoomButtons[] = {ToolButton::Plus10, ToolButton::Minus10, ToolButton::To100,
                                       ToolButton::FitView};
} // namespace

VideoLoader::VideoLoader(VideoHost &host, common::AppState &state, Playback &playback,
                         VideoModes &modes)
    : m_host(host), m_state(state), m_playback(playback), m_modes(modes) {}

int VideoLoader::automaticMode(int width, int height) {
    return width == 720 && (height == 576 || height == 640) ? kModeFields : kModeFullFrames;
}

void VideoLoader::LoadVideo(bool showDialog, int mode, float frameRate, int fileCount) {
    m_state.VideoOpening = true;
    if (showDialog) {
        platform::ui::FileDialogRequest request;
        request.title = common::res(m_state, 1001);
        request.filter = common::res(m_state, 1002);
        request.mustExist = true;
        const std::optional<QString> chosen =
            platform::ui::dialogs().openFile(m_host.dialogParent(), request);
        if (!chosen)
            return;
        m_state.VideoFile = *chosen;
    }
    const QString file = m_state.VideoFile;
    if (file.isEmpty())
        return;
    const QString name = videoOpenName(file);
    const std::string openName = name.toStdString();
    // Indexing a long file runs before anything changes, so a cancel keeps the project.
    if (!IndexPass::run(m_host, openName, common::res(m_state, 1001), m_longOpenBytes))
        return;
    if (!m_state.NoVideo)
        ResetProject(false);

    VideoView &view = m_host.workingView();
    if (mode == kModeAutomatic) {
        VideoView &helper = m_host.helperView();
        // Only probes the size: a refusal is told once, by the view's own open below.
        helper.setMessageBoxesEnabled(false);
        helper.AVIOpen(openName, 0);
        mode = automaticMode(helper.AVIWidth(), helper.AVIHeight());
        helper.AVIClose();
    }
    m_modes.resetOrientation();
    const int result = view.AVIOpen(openName, m_modes.openMode(mode));

    if (frameRate == 0.0f) {
        // The view keeps a forced rate across opens; a video opened without one must show
        // its own rate, not the previous sequence's.
        view.SetFrameRateForced(0.0f);
        m_state.VideoFrameRate = view.AVIFrameRate();
    } else {
        // A forced rate is the rate of the stored pictures; the view's rate follows the mode
        // from it (fields double it), as it does from the stream's own rate.
        view.SetFrameRateForced(frameRate);
        m_state.VideoFrameRate = view.AVIFrameRate();
    }
    m_state.VideoWidth = view.AVIWidth();
    m_state.VideoHeight = view.AVIHeight();
    m_state.InteractionState = 5;
    m_modes.FitZoomToView();
    view.Refresh();
    m_state.NoVideo = false;
    m_state.VideoMode = mode;
    view.SetAVIFrame(0);
    m_host.setVideoCaption(QStringLiteral(" ") + name + QStringLiteral(" "));
    m_modes.UpdateVideoModeMenu();
    m_host.setPlaybackButtonsEnabled(true);
    for (const ToolButton button : kZoomButtons)
        m_host.setToolbarButtonEnabled(button, true);
    m_host.setToolbarButtonEnabled(ToolButton::Scale, true);

    // The last picture of a sequence is reachable: the range ends at the file count - 1. A
    // count (from a sequence information file) beyond the pictures that exist would let the
    // frame bar reach frames the view cannot show: only existing pictures count.
    fileCount = std::min(fileCount, static_cast<int>(view.AVINumberOfFrames()));
    if (fileCount > 0) {
        m_playback.SetupFrameScrollBar(fileCount);
        m_state.FrameCount = fileCount;
        m_state.VideoFileCount = fileCount;
    } else {
        m_playback.SetupFrameScrollBar(0);
        m_state.FrameCount = view.AVINumberOfFrames();
        m_state.VideoFileCount = 0;
    }
    if (result == kOpenFailed)
        platform::ui::dialogs().messageBox(m_host.dialogParent(), common::res(m_state, 1004),
                                           common::productTitle(m_state), platform::ui::Critical);
}

bool VideoLoader::ResetProject(bool ask) {
    if (ask && platform::ui::dialogs().messageBox(
                   m_host.dialogParent(), common::res(m_state, 1018), common::productTitle(m_state),
                   platform::ui::YesNo + platform::ui::Question) != platform::ui::Yes)
        return false;
    m_host.discardMarkers();

    // Playback ends with the project: the button and the loop entry show it, and the loop
    // entry's mark follows `LoopPlayback` back to off.
    if (m_state.IsPlaying)
        m_host.setPlayButtonImage(PlayPicture::Start);
    m_state.NoVideo = true;
    m_state.IsPlaying = false;
    m_state.LoopPlayback = false;
    m_host.setMenuEnabled(MenuEntry::Loop, true);
    m_host.setMenuChecked(MenuEntry::Loop, false);
    m_state.InteractionState = -1;
    m_state.VideoCalibrated = false;

    for (const ToolButton button : kZoomButtons)
        m_host.setToolbarButtonEnabled(button, false);
    m_host.setScrollEnabled(false);
    m_host.setPlaybackButtonsEnabled(false);
    m_host.setVideoCaption(QString());
    m_host.clearMagnifier();
    VideoView &view = m_host.workingView();
    view.AVIClose();
    view.Refresh();
    m_host.setStatusPanelText(StatusPanel::Zoom, QString());
    m_host.setStatusPanelText(StatusPanel::Info, QString());
    return true;
}

QString VideoLoader::videoInfoText() const {
    const QString separator = common::userSeparator();
    const QChar cr(13);
    const double rate = m_state.VideoFrameRate;
    // Without a rate there is no duration to speak of: 0, never a division by zero.
    const double duration = rate > 0.0 ? m_state.FrameCount / rate : 0.0;
    const VideoView &view = m_host.workingView();
    QString text = m_state.VideoFile + cr + cr;
    text += common::res(m_state, 1005) + QString::number(m_state.FrameCount) + cr;
    text += common::res(m_state, 1006) + common::formatFixed(rate, 3, separator) + cr;
    text += common::res(m_state, 1007) + common::formatFixed(duration, 3, separator) +
            common::res(m_state, 1008) + cr;
    text += common::res(m_state, 1009) + QString::number(view.AVIWidth()) + cr;
    text += common::res(m_state, 1010) + QString::number(view.AVIHeight());
    return text;
}

void VideoLoader::showVideoInfo() {
    platform::ui::dialogs().messageBox(m_host.dialogParent(), videoInfoText(),
                                       common::productTitle(m_state), platform::ui::OkOnly);
}

} // namespace video
