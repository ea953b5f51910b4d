// Camera information headers: reading them tolerantly, finding the recording beside them,
// and the import from the dialog to the opened video with its record rate, or to a message
// that leaves the open project as it was.
#include "videofixture.h"

#include "app/common/resources.h"
#include "app/video/cihimport.h"
#include "app/video/sequencepattern.h"
#include "tests/support/clips.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <cmath>
#include <random>

using namespace video;

namespace {
const char *const kTypical = "#Camera Information Header\n"
                             "Record Rate(fps) : 500\nShutter Speed(s) : 1/2000\n"
                             "Total Frame : 1200\nStart Frame : -600\n"
                             "Original Total Frame : 5400\nImage Width : 1024\n"
                             "Image Height : 1024\nFile Format : AVI\n";

void writeFile(const QString &path, const QByteArray &data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

void touch(const QString &dir, const QStringList &names) {
    for (const QString &name : names)
        writeFile(dir + "/" + name, "x");
}

QString scratch(const QString &name) {
    const QString dir = Clips::instance().dir() + "/cih-" + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

// Five pictures numbered from 1, written by ffmpeg: gradients whose red grows by 50 from
// one picture to the next, so that a wrong picture is told apart.
void makePictures(const QString &pattern) {
    const std::string source = "color=size=64x48:rate=25,format=rgb24,geq=r=N*50:g=X*4:b=Y*5";
    testsupport::ffmpeg("-f lavfi -i " + testsupport::shellQuote(source) + " -frames:v 5 " +
                        testsupport::shellQuote(pattern.toStdString()));
}

// Mean difference per colour value between the view's picture of a frame and ffmpeg's
// decoding of the picture file; large when the frame was not decoded.
double differenceToFfmpeg(quivex::CVViewCtrl &view, int frame, const QString &file) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", file, "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    ffmpeg.waitForFinished(60000);
    const QByteArray expected = ffmpeg.readAllStandardOutput();
    const auto picture = view.Picture(frame, 100, 0, 0);
    if (!picture || expected.size() != 64 * 48 * 4)
        return 1e9;
    const platform::ImageView image = picture->image();
    double sum = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64 * 4; ++x)
            if (x % 4 != 3)
                sum += std::abs(int(image.row(y)[x]) -
                                int(static_cast<unsigned char>(expected[y * 64 * 4 + x])));
    return sum / (64 * 48 * 3);
}
} // namespace

TEST(CihParse, ReadsEveryKeyOfATypicalHeader) {
    const CihHeader h = CihImport::parse(kTypical);
    EXPECT_EQ(h.found, 0xFFu);
    EXPECT_EQ(h.recordRate, 500.0);
    EXPECT_EQ(h.shutterText, "1/2000");
    EXPECT_EQ(h.totalFrames, 1200);
    EXPECT_EQ(h.startFrame, -600);
    EXPECT_EQ(h.originalTotalFrames, 5400);
    EXPECT_EQ(h.width, 1024);
    EXPECT_EQ(h.height, 1024);
    EXPECT_EQ(h.format, CihFormat::Avi);
    EXPECT_EQ(h.usableRate(), 500.0f);
}

TEST(CihParse, FormatsInAnyCase) {
    const std::pair<const char *, CihFormat> cases[] = {
        {"avi", CihFormat::Avi},  {"Bmp", CihFormat::Bmp},     {"JPG", CihFormat::Jpg},
        {"jpeg", CihFormat::Jpg}, {"TIFF", CihFormat::Tiff},   {"tif", CihFormat::Tiff},
        {"PNG", CihFormat::Png},  {"MRAW", CihFormat::Unknown}};
    for (const auto &[text, format] : cases) {
        const CihHeader h = CihImport::parse(QByteArray("File Format : ") + text);
        EXPECT_EQ(h.format, format) << text;
        EXPECT_EQ(h.formatText, text);
    }
}

TEST(CihParse, ToleratesLineEndsCommentsSpacingAndKeyCase) {
    const CihHeader h = CihImport::parse("\xEF\xBB\xBF# Record Rate(fps) : 1\r\n"
                                         "Date : 2024/05/01\r\nTime : 12:30:05\r"
                                         "\t record   RATE ( FPS )\t:  250.5 \r\n"
                                         "IMAGEWIDTH:640\rno colon here\n"
                                         "Total Frame : 30\nTotal Frame : 99\n"
                                         "Shutter Speed(s) :  1/10000  ");
    EXPECT_EQ(h.recordRate, 250.5); // not the commented 1
    EXPECT_EQ(h.width, 640);
    EXPECT_EQ(h.totalFrames, 30); // the first occurrence wins
    EXPECT_EQ(h.shutterText, "1/10000");
    EXPECT_EQ(h.found, CihHeader::RecordRate | CihHeader::ImageWidth | CihHeader::TotalFrame |
                           CihHeader::ShutterSpeed);
    EXPECT_EQ(h.format, CihFormat::Unknown);
}

TEST(CihParse, NumbersMustBeNumbersOfTheirKind) {
    const CihHeader h = CihImport::parse("Total Frame : 12.5\nStart Frame : +7.0\n"
                                         "Image Width : 1e3\nImage Height : 5.\n"
                                         "Original Total Frame : 99999999999999999999\n");
    EXPECT_FALSE(h.totalFrames);
    EXPECT_EQ(h.startFrame, 7);
    EXPECT_FALSE(h.width);
    EXPECT_EQ(h.height, 5);
    EXPECT_FALSE(h.originalTotalFrames);
    EXPECT_TRUE(h.has(CihHeader::TotalFrame) && h.has(CihHeader::ImageWidth));
}

TEST(CihParse, OnlyAPositiveRateOfAFloatIsUsable) {
    for (const char *value : {"", "fast", "0", "0.0", "-25", "inf", "nan", "2e3", "5000000000",
                              "0.000000000000000000000000000000000000000000000000001"}) {
        const CihHeader h = CihImport::parse(QByteArray("Record Rate(fps) : ") + value);
        EXPECT_TRUE(h.isCih()) << value;
        EXPECT_FALSE(h.usableRate()) << value;
    }
    EXPECT_EQ(CihImport::parse("Record Rate(fps) : 29.97").usableRate(), 29.97f);
    EXPECT_FALSE(CihImport::parse("Image Width : 64").usableRate());
}

TEST(CihParse, GarbageAndTextWithoutKeysAreNoHeader) {
    std::mt19937 random(7);
    QByteArray binary;
    for (int i = 0; i < 300000; ++i)
        binary.append(static_cast<char>(random()));
    EXPECT_FALSE(CihImport::parse(binary).isCih());
    EXPECT_FALSE(CihImport::parse("").isCih());
    EXPECT_FALSE(CihImport::parse("[Section]\nkey=value\nframes: 5\nRecord Rate 500").isCih());
    // Only the first mebibyte counts.
    const QByteArray filler(CihImport::kMaxHeaderBytes - 20, '\n');
    EXPECT_TRUE(CihImport::parse(filler + "Total Frame : 5\n").isCih());
    EXPECT_FALSE(CihImport::parse(filler + QByteArray(10, '\n') + "Total Frame : 5\n").isCih());
}

TEST(CihFind, VideoBesideTheHeaderInLowerThenUpperCase) {
    const QString dir = scratch("video");
    const CihHeader avi = CihImport::parse("File Format : AVI");
    touch(dir, {"take.AVI", "take.avi.bak", "takeover.avi"});
    EXPECT_EQ(CihImport::findRecording(dir + "/take.cih", avi)->openName, dir + "/take.AVI");
    touch(dir, {"take.avi"});
    const auto found = CihImport::findRecording(dir + "/take.cih", avi);
    EXPECT_EQ(found->openName, dir + "/take.avi");
    EXPECT_FALSE(found->sequence);
    EXPECT_EQ(found->frameCount, 0);
    EXPECT_FALSE(CihImport::findRecording(dir + "/other.cih", avi));
    // The header's format decides: pictures do not stand in for a named video.
    touch(dir, {"pics0001.bmp"});
    EXPECT_FALSE(CihImport::findRecording(dir + "/pics.cih", avi));
}

TEST(CihFind, SequencesKeepTheDigitCountOfTheirFiles) {
    const QString dir = scratch("seq");
    touch(dir, {"a000001.bmp", "a000002.bmp", "a000003.bmp", "a000005.bmp", "b_0001.PNG",
                "b_0002.PNG", "c8.jpeg", "c9.jpeg", "c10.jpeg", "d08.tif", "d09.tif", "d10.tif",
                "d11.tif", "b2_0001.png", "bb0001.png"});
    struct Case {
        const char *header, *base, *pattern;
        int count;
    } cases[] = {{"File Format : BMP", "a", "a%06d.bmp", 3}, // a gap ends the run
                 {"File Format : png", "b", "b_%04d.PNG", 2},
                 {"File Format : JPG", "c", "c%d.jpeg", 3},
                 {"File Format : TIFF", "d", "d%02d.tif", 4}, // padded past its width
                 {"Total Frame : 2", "d", "d%02d.tif", 2},    // no format: every kind
                 {"Total Frame : 9\nFile Format : BMP", "a", "a%06d.bmp", 3},
                 {"Total Frame : 0\nFile Format : BMP", "a", "a%06d.bmp", 3}};
    for (const Case &c : cases) {
        const auto found =
            CihImport::findRecording(dir + "/" + c.base + ".cih", CihImport::parse(c.header));
        ASSERT_TRUE(found) << c.header;
        EXPECT_TRUE(found->sequence);
        EXPECT_EQ(found->openName, dir + "/" + c.pattern);
        EXPECT_EQ(found->frameCount, c.count) << c.header;
        // LoadVideo's open name leaves the pattern as it is.
        EXPECT_EQ(videoOpenName(found->openName), found->openName);
    }
    EXPECT_FALSE(CihImport::findRecording(dir + "/a.cih", CihImport::parse("File Format : PNG")));
}

TEST(CihFind, PercentSignsInNamesAreLiteral) {
    const QString dir = scratch("50%");
    touch(dir, {"x%d0001.bmp", "x%d0002.bmp"});
    const auto found =
        CihImport::findRecording(dir + "/x%d.cih", CihImport::parse("File Format : BMP"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->openName, Clips::instance().dir() + "/cih-50%%/x%%d%04d.bmp");
    EXPECT_EQ(found->frameCount, 2);
}

class CihImportTest : public VideoFixture {
protected:
    void expectUnchanged(const QString &file) {
        EXPECT_EQ(state.VideoFile, file);
        EXPECT_EQ(host.markerDiscards, 0);
        EXPECT_TRUE(host.view.isVideoOpen());
        EXPECT_EQ(state.FrameCount, 40);
        EXPECT_FLOAT_EQ(state.VideoFrameRate, 25.0f);
    }
    AnsweringDialogs dialogs;
};

TEST_F(CihImportTest, AnAviOpensWithTheRecordRateForced) {
    const QString dir = scratch("avi");
    const QString avi = Clips::instance().make("cih-avi/take.avi", 160, 120, 40, 25);
    writeFile(dir + "/take.cih", kTypical);
    dialogs.files = {dir + "/take.cih"};
    EXPECT_EQ(CihImport::importWithDialog(host, state, loader()), CihImportResult::Loaded);
    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].title, "Load video file");
    EXPECT_TRUE(
        dialogs.openRequests[0].filter.startsWith("Camera Information Header (*.cih)|*.cih"));
    EXPECT_TRUE(dialogs.openRequests[0].mustExist);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(state.VideoFile, avi);
    EXPECT_EQ(state.FrameCount, 40); // the header's 1200 is the camera's, not the file's
    EXPECT_FLOAT_EQ(state.VideoFrameRate, 500.0f);
    EXPECT_FLOAT_EQ(host.view.AVIFrameRate(), 500.0f);
    EXPECT_EQ(state.VideoMode, kModeFullFrames); // automatic, the default mode
}

TEST_F(CihImportTest, EveryPictureFormatOpensAsASequence) {
    for (const char *ext : {"bmp", "png", "tif", "jpg"}) {
        SCOPED_TRACE(ext);
        const QString dir = scratch(QStringLiteral("pictures-") + ext);
        makePictures(QStringLiteral("%1/take%06d.%2").arg(dir, ext));
        writeFile(dir + "/take.cih",
                  QByteArray("Record Rate(fps) : 1000\nTotal Frame : 4\nFile Format : ") + ext);
        EXPECT_EQ(CihImport::importFile(dir + "/take.cih", host, state, loader()),
                  CihImportResult::Loaded);
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(state.VideoFile, QStringLiteral("%1/take%06d.%2").arg(dir, ext));
        EXPECT_EQ(host.view.AVINumberOfFrames(), 5);
        EXPECT_EQ(host.view.AVIWidth(), 64);
        EXPECT_EQ(state.FrameCount, 4); // the header's count, below the five on disk
        EXPECT_EQ(host.maximum, 3);
        EXPECT_FLOAT_EQ(host.view.AVIFrameRate(), 1000.0f);
        // The last frame shown is the fourth picture, decoded as ffmpeg decodes it.
        host.setScrollValue(3);
        EXPECT_LT(differenceToFfmpeg(host.view, host.view.AVIFrame(),
                                     QStringLiteral("%1/take000004.%2").arg(dir, ext)),
                  3.0);
    }
}

TEST_F(CihImportTest, FailuresAreReportedAndKeepTheOpenVideo) {
    const QString avi = Clips::instance().make("c25.avi", 160, 120, 40, 25);
    open(avi);
    const QString dir = scratch("failures");
    touch(dir, {"none.avi", "zero.avi", "words.avi"});
    writeFile(dir + "/none.cih", "Total Frame : 10\nFile Format : AVI");
    writeFile(dir + "/zero.cih", "Record Rate(fps) : 0\nFile Format : AVI");
    writeFile(dir + "/words.cih", "This is a letter:\nDear reader, ...");
    writeFile(dir + "/lost.cih", "Record Rate(fps) : 50\nFile Format : AVI");
    writeFile(dir + "/binary.cih", QByteArray("\0\x01\xff:\x7f\r\n", 7).repeated(1000));
    using R = CihImportResult;
    const int critical = platform::ui::Critical, warn = platform::ui::Exclamation;
    const struct {
        QString file;
        R result;
        int text, style;
    } cases[] = {{dir + "/absent.cih", R::Unreadable, 1048, critical},
                 {dir, R::Unreadable, 1048, critical},
                 {dir + "/words.cih", R::NotCih, 1049, warn},
                 {dir + "/binary.cih", R::NotCih, 1049, warn},
                 {dir + "/none.cih", R::NoFrameRate, 1050, warn},
                 {dir + "/zero.cih", R::NoFrameRate, 1050, warn},
                 {dir + "/lost.cih", R::RecordingMissing, 1051, warn}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        dialogs.messages.clear();
        dialogs.files = {c.file};
        EXPECT_EQ(CihImport::importWithDialog(host, state, loader()), c.result);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, common::res(state, c.text));
        EXPECT_EQ(dialogs.messages[0].title, "Talvor Orvane");
        EXPECT_EQ(dialogs.messages[0].style, c.style);
        expectUnchanged(avi);
    }
    dialogs.messages.clear();
    dialogs.files = {std::nullopt};
    EXPECT_EQ(CihImport::importWithDialog(host, state, loader()), CihImportResult::Cancelled);
    EXPECT_TRUE(dialogs.messages.empty());
    expectUnchanged(avi);
}
