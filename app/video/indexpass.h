// A long file is indexed once on a worker thread before the view opens it, while the
// window keeps serving events and shows the progress; the view's own (synchronous) open
// then takes that index from the player's index cache and reads only the first frame.
#pragma once

#include "app/video/videohost.h"

#include <string>

namespace video {

class IndexPass {
public:
    // Files above this many bytes get the pass.
    static constexpr long long kDefaultThreshold = 256LL * 1024 * 1024;

    // False when the user cancelled; true when the pass ran to its end, failed (the real
    // open reports failures) or was not needed.
    static bool run(VideoHost &host, const std::string &name, const QString &title,
                    long long thresholdBytes = kDefaultThreshold);
};

} // namespace video
