// Opening a video or picture sequence in the working view, the project reset of File > New
// and the video information box.
#pragma once

#include "app/common/appstate.h"
#include "app/video/indexpass.h"
#include "app/video/playback.h"
#include "app/video/videohost.h"
#include "app/video/videomodes.h"

namespace video {

inline constexpr int kOpenFailed = -1;

class VideoLoader {
public:
    VideoLoader(VideoHost &host, common::AppState &state, Playback &playback, VideoModes &modes);

    // `mode`: 0 full frames, 1 fields, 2 automatic (fields for DV-sized PAL material);
    // `frameRate` 0 keeps the video's own rate; `fileCount` 0 takes the count from the view.
    void LoadVideo(bool showDialog, int mode = 0, float frameRate = 0.0f, int fileCount = 0);
    // Clears the project; false when the user declined the question.
    bool ResetProject(bool ask);
    // The information box's text; lines end in a carriage return.
    QString videoInfoText() const;
    void showVideoInfo();

    // The mode automatic opening chooses for a picture size.
    static int automaticMode(int width, int height);

    // Files above this size are indexed with progress before they are opened.
    void setLongOpenBytes(long long bytes) { m_longOpenBytes = bytes; }

private:
    VideoHost &m_host;
    common::AppState &m_state;
    Playback &m_playback;
    VideoModes &m_modes;
    long long m_longOpenBytes = IndexPass::kDefaultThreshold;
};

} // namespace video
