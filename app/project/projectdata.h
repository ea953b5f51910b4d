// Everything a project holds to continue the work where it was left: the video and how it
// was shown, the marker table, the counters, every channel of the five data sets, the
// calibration and the path switch. Plain values; ProjectFile stores and reads them.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace project {

// The project format this program writes and the newest it reads.
inline constexpr int kFormatVersion = 1;

// Components of the five data sets, in set order: raw positions (x, y), rotation, and the
// three sets of tracking data.
inline constexpr std::array<int, 5> kDataSetComponents = {2, 1, 3, 3, 1};

struct VideoPart {
    QString absolutePath; // the video file (or a sequence's first picture) when saved
    QString relativePath; // the same, relative to the project file's folder
    int fileCount = 0;    // the picture count a sequence was opened with; 0 for a video file
    int mode = 0;         // 0 full frames, 1 fields, 3..5 the JVC modes
    int rotation = 0;     // 0, 256, 512, 1024
    int mirror = 0;       // 0 or 2048
    int openMode = 0;     // what the view was opened with (mode + rotation + mirror + flag)
    float forcedRate = 0; // the rate the view was forced to; 0 for the video's own
    float frameRate = 0;  // `VideoFrameRate`
    int frameCount = 0;   // `FrameCount`
    int width = 0;        // `VideoWidth`, pixels
    int height = 0;       // `VideoHeight`, pixels
    int frame = 0;        // the current frame
    int zoom = 100;       // percent
    int horizontalOffset = 0;
    int verticalOffset = 0;
};

struct TableRow {
    int number = 0; // the marker number (the row's tag)
    QString name;   // the row's text, "M-" included while tracked by hand
    bool manual = false;
    int icon = 16; // 16 pattern matching, 19 by hand, 20 marker tracking
    // The X, Y and Rotation cells as shown: a row keeps them while its marker has no point.
    QString x, y, rotation;
};

// One channel of one data set: the values of frames first .. first + values - 1.
struct Channel {
    int set = 0; // 0 RAW, 1 PMRO, 2 PMD0, 3 PMD1, 4 PMD2
    int marker = 0;
    int component = 0; // within its set
    int firstFrame = 0;
    std::vector<float> values;
};

struct CalibrationPart {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0; // reference points, fractions of the picture
    int parameter1 = 0;                    // the unit code as the object holds it
    int unit = 2;                          // 1 m, 2 cm, 3 mm
    double distance = 0;
    float aspect = 1.0f;
    double originX = 0, originY = 0;
    double widthRatio = 0;
    bool inForce = false; // the object's state was 0 when saved
    bool videoCalibrated = false;
    // The dialog's values in memory.
    float dialogDistance = 100.0f;
    int dialogUnit = 2;
    float dialogAspect = 1.0f;
};

struct ProjectData {
    int formatVersion = kFormatVersion;
    bool hasVideo = false;
    VideoPart video;
    std::vector<TableRow> rows; // in table order
    int selectedRow = -1;
    int markerCounter = 0;
    int colorCounter = 0;
    bool showAllPaths = true;
    std::vector<Channel> channels; // groups in the order their sets hold them
    CalibrationPart calibration;
};

} // namespace project
