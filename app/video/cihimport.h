// File > Import > CIH file: a high-speed camera writes a plain-text camera information
// header (".cih", lines of "Key : Value") beside its recording. The header gives the record
// rate, which the recording itself does not carry (a picture sequence or an AVI written at a
// nominal rate), and names the format of the recording. The import reads the header, finds
// the recording beside it and opens it through VideoLoader with the record rate forced.
#pragma once

#include "app/common/appstate.h"
#include "app/video/videohost.h"
#include "app/video/videoloader.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace video {

// The kind of recording a header names under "File Format".
enum class CihFormat { Unknown, Avi, Bmp, Jpg, Tiff, Png };

struct CihHeader {
    // The keys this program reads; `found` holds the ones present, readable or not.
    enum Key : unsigned {
        RecordRate = 1u << 0,
        ShutterSpeed = 1u << 1,
        TotalFrame = 1u << 2,
        StartFrame = 1u << 3,
        OriginalTotalFrame = 1u << 4,
        ImageWidth = 1u << 5,
        ImageHeight = 1u << 6,
        FileFormat = 1u << 7,
    };
    unsigned found = 0;

    // Each value is set only when its key was present and its value a number of the right
    // kind (counts and sizes whole, "1200.0" allowed).
    std::optional<double> recordRate; // frames per second
    std::optional<long long> totalFrames;
    std::optional<long long> startFrame; // may be negative (frames before the trigger)
    std::optional<long long> originalTotalFrames;
    std::optional<long long> width; // pixels
    std::optional<long long> height;
    CihFormat format = CihFormat::Unknown;
    QString formatText;  // "File Format" as written, trimmed
    QString shutterText; // "Shutter Speed" as written ("1/2000"), trimmed

    bool has(Key key) const { return (found & key) != 0; }
    // A header at all: at least one known key.
    bool isCih() const { return found != 0; }
    // The record rate when it can be forced on the view: a number above 0 that a float
    // holds as a non-zero value, at most kMaxRecordRate.
    std::optional<float> usableRate() const;
};

// The recording a header stands for, as the player is to open it.
struct CihRecording {
    // The video file, or for a picture sequence a printf-style pattern ("/dir/take%06d.bmp")
    // from which the player finds the first existing number itself.
    QString openName;
    bool sequence = false;
    // Pictures to show for a sequence (see findRecording); 0 for a video file, whose own
    // count is taken.
    int frameCount = 0;
};

// What an import did; every failure has shown its message and left the project unchanged.
enum class CihImportResult {
    Loaded,           // handed to VideoLoader::LoadVideo (which reports its own failures)
    Cancelled,        // the open dialog was cancelled
    Unreadable,       // 1048
    NotCih,           // 1049
    NoFrameRate,      // 1050
    RecordingMissing, // 1051
};

class CihImport {
public:
    // Only the start of a file is read; a header is a few hundred bytes.
    static constexpr qsizetype kMaxHeaderBytes = 1024 * 1024;
    static constexpr double kMaxRecordRate = 1e9;

    // Reads "Key : Value" lines from the first kMaxHeaderBytes of `text`: any order, CR, LF
    // or CRLF, blanks around keys and values, lines starting with '#' and unknown keys
    // skipped. Keys compare without regard to case and blanks, and a unit in parentheses
    // after a key is not part of it ("Record Rate(fps)" = "RECORDRATE"). The first
    // occurrence of a key wins. Never fails: garbage yields a header without keys.
    static CihHeader parse(const QByteArray &text);

    // The first kMaxHeaderBytes of a regular file; nothing when it cannot be opened or read.
    static std::optional<QByteArray> readHeaderFile(const QString &path);

    // The recording beside the header `cihPath`, named by the header's base name (the name
    // without its last extension):
    // - AVI: "<base>.avi" (the extension in lower case, then upper case, then any case).
    // - BMP, JPG, TIFF, PNG: numbered pictures "<base><digits>.<ext>" or
    //   "<base>_<digits>.<ext>" (ext bmp; jpg or jpeg; tif or tiff; png; in any case).
    //   The pattern's digit count is that of the files ("take000001.bmp" gives %06d; names
    //   without leading zeros give %d). Where several numberings fit, the one with the
    //   longest run of consecutive pictures is taken. The frame count is that run, or the
    //   header's Total Frame when it is positive and smaller; never more than is on disk.
    // - Format missing or not one of these: each kind is tried in the order above.
    // Nothing when no recording is found.
    static std::optional<CihRecording> findRecording(const QString &cihPath,
                                                     const CihHeader &header);

    // Asks for a header (title 1001, filter 1047) and imports it (importFile).
    static CihImportResult importWithDialog(VideoHost &host, common::AppState &state,
                                            VideoLoader &loader);
    // Reads the header `cihPath`, finds its recording and opens it with the header's record
    // rate forced, in the default video mode; shows 1048-1051 on the failures above.
    static CihImportResult importFile(const QString &cihPath, VideoHost &host,
                                      common::AppState &state, VideoLoader &loader);
};

} // namespace video
