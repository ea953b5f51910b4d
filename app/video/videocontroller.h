// The video part of the main window in one object: loading, navigation and playback,
// modes and zoom, wired to one host.
#pragma once

#include "app/video/playback.h"
#include "app/video/videoloader.h"
#include "app/video/videomodes.h"

namespace video {

class VideoController {
public:
    VideoController(VideoHost &host, common::AppState &state)
        : playback(host, state), modes(host, state, playback),
          loader(host, state, playback, modes) {}

    Playback playback;
    VideoModes modes;
    VideoLoader loader;
};

} // namespace video
