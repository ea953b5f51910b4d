// The marker part of a project: what is taken into a project file and put back from it —
// the table, the counters, every channel of the five data sets, the calibration and the
// path switch — and, after a project was opened, the paths and the engines' patterns.
#pragma once

#include "app/project/projectdata.h"

namespace markers {

class MarkerController;

class MarkerProject {
public:
    explicit MarkerProject(MarkerController &markers) : m_markers(markers) {}

    void capture(project::ProjectData &data) const;
    // Puts the project's markers, data and calibration in place of the present ones (which
    // the caller has discarded). The view and the engines follow with `rebuild`.
    void restore(const project::ProjectData &data);
    // After the video is open at the project's frame: every marker's path (one mark per frame
    // with a point), and each marker taught again at its last point, so that tracking goes on
    // where it stopped.
    void rebuild();

private:
    MarkerController &m_markers;
};

} // namespace markers
