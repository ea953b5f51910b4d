// Vidgrab's table, the device list, and every call that needs no window: a device number
// that does not exist, and the features Vidgrab does not provide.
#include "components/vidgrab/capfilter.h"
#include "components/vidgrab/capturedevice.h"
#include "components/vidgrab/vidgrab.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

using namespace vidgrab;

TEST(VidgrabTable, HoldsEveryOrdinalTheControlBindsAndNothingElse) {
    const std::set<int> expected = {1,  2,  3,  5,  6,  7,  8,  10, 11, 12, 13, 16, 17, 19,
                                    20, 21, 22, 23, 24, 25, 27, 33, 37, 38, 39, 40, 42, 43,
                                    44, 48, 49, 52, 55, 56, 57, 58, 63, 64, 65, 66, 67, 68,
                                    69, 70, 75, 76, 78, 79, 85, 86, 87, 88, 90};
    std::set<int> listed;
    int previous = 0;
    for (const OrdinalEntry &e : ordinalTable()) {
        EXPECT_GT(e.ordinal, previous) << "the table must stay sorted for the lookup";
        previous = e.ordinal;
        EXPECT_NE(e.proc, nullptr) << e.ordinal;
        EXPECT_EQ(procByOrdinal(e.ordinal), e.proc) << e.name;
        listed.insert(e.ordinal);
    }
    EXPECT_EQ(listed, expected);
    for (int missing : {0, 4, 9, 14, 15, 18, 26, 91, -1})
        EXPECT_EQ(procByOrdinal(missing), nullptr) << missing;
}

TEST(VidgrabTable, TypedBindingReachesTheSameFunctions) {
    EXPECT_EQ(bind<1>(), &attachDevice);
    EXPECT_EQ(bind<44>(), &setFrameCallback);
    EXPECT_EQ(bind<90>(), &startAcquisitionOfAllBcams);
    EXPECT_EQ(reinterpret_cast<Proc>(Ordinal<27>::function), procByOrdinal(27));
}

namespace {

// Sets or clears ORVANE_NO_TEST_CAMERA for one test.
class TestCamera {
public:
    explicit TestCamera(bool present) {
        if (present)
            unsetenv("ORVANE_NO_TEST_CAMERA");
        else
            setenv("ORVANE_NO_TEST_CAMERA", "1", 1);
    }
    ~TestCamera() { unsetenv("ORVANE_NO_TEST_CAMERA"); }
};

} // namespace

TEST(CapFilter, ListsTheTestCameraAfterTheRealDevices) {
    CCapFilter filter;
    ASSERT_EQ(filter.Enum(kVideoInputDeviceCategory), platform::S_OK);
    const int count = filter.Count();
    ASSERT_GE(count, 1);
    // The real devices (none on a machine without /dev/video*) are paths to their nodes.
    for (int i = 0; i + 1 < count; ++i)
        EXPECT_EQ(filter.DisplayName(i).rfind("/dev/video", 0), 0u) << filter.DisplayName(i);
    EXPECT_EQ(filter.FriendlyName(count - 1), "Orvane test camera");
    EXPECT_EQ(filter.DisplayName(count - 1), "lavfi:testsrc2");
    for (int index : {-1, count, 99}) {
        EXPECT_EQ(filter.FriendlyName(index), "");
        EXPECT_EQ(filter.DisplayName(index), "");
    }
    // Only video inputs are listed.
    EXPECT_EQ(filter.Enum(platform::guidOf("{00000000-0000-0000-0000-000000000001}")),
              platform::S_FALSE);
    EXPECT_EQ(filter.Count(), 0);
}

TEST(CapFilter, ListsOneDeviceFewerWithoutTheTestCamera) {
    CCapFilter with;
    with.Enum(kVideoInputDeviceCategory);
    const TestCamera none(false);
    CCapFilter without;
    without.Enum(kVideoInputDeviceCategory);
    EXPECT_EQ(without.Count(), with.Count() - 1);
    for (int i = 0; i < without.Count(); ++i)
        EXPECT_NE(without.FriendlyName(i), "Orvane test camera");
    EXPECT_EQ(cameraType(with.Count() - 1), 0) << "the test camera's number is gone";
}

TEST(CapFilter, CopiesKeepTheBcamSwitch) {
    CCapFilter filter;
    filter.AllowBCAM(1);
    CCapFilter copy(filter);
    EXPECT_TRUE(copy.bcamAllowed());
    CCapFilter assigned;
    assigned = filter;
    EXPECT_TRUE(assigned.bcamAllowed());
    assigned.AllowBCAM(0);
    EXPECT_FALSE(assigned.bcamAllowed());
    EXPECT_TRUE(filter.bcamAllowed());
}

TEST(VidgrabDevices, TheTestCameraIsSyntheticAndNothingIsAttachedAtFirst) {
    CCapFilter filter;
    filter.Enum(kVideoInputDeviceCategory);
    const LONG camera = filter.Count() - 1;
    EXPECT_EQ(cameraType(camera), 2);
    // Known but not attached: calls that need the device refuse, and differently from a
    // number that does not exist.
    EXPECT_EQ(captureReady(camera), kNotReady);
    EXPECT_EQ(preview(camera, 1), kNotReady);
    EXPECT_EQ(captureReady(filter.Count()), kNoDevice);
    EXPECT_EQ(captureReady(-1), kNoDevice) << "nothing attached last";
}

TEST(VidgrabDevices, ANumberThatDoesNotExistFailsEverywhere) {
    const TestCamera none(false);
    CCapFilter filter;
    filter.Enum(kVideoInputDeviceCategory);
    const LONG count = filter.Count(); // 0 on a machine without cameras
    int window = 0;                    // never used: the number is refused first
    for (const LONG device : std::vector<LONG>{count, count + 1, count + 7, 1000, -5}) {
        SCOPED_TRACE(device);
        EXPECT_EQ(attachDevice(&window, device), kNoDevice);
        EXPECT_EQ(attachDevice(nullptr, device), kNoDevice);
        EXPECT_EQ(releaseDevice(device), kNoDevice);
        EXPECT_NE(preview(device, 1), 0);
        EXPECT_NE(preview(device, 0), 0);
        EXPECT_NE(setPreviewWindow(device, 0, 0, 10, 10, 1, 0), 0);
        EXPECT_NE(setCaptureFile(device, "/tmp/x.avi", 20), 0);
        EXPECT_NE(saveCaptureAs(device, "/tmp/y.avi", 0, 0), 0);
        EXPECT_NE(captureInit(device), 0);
        EXPECT_NE(captureStart(device), 0);
        EXPECT_NE(captureSequence(device), 0);
        EXPECT_NE(captureStop(device), 0);
        EXPECT_NE(captureReady(device), 0);
        EXPECT_NE(setMode(device, 0, 3), 0);
        EXPECT_NE(setFrameCallback(device, 0, nullptr, 1, nullptr), 0);
        EXPECT_NE(frameDone(device, 0), 0);
        EXPECT_NE(enableFrameGrabber(device, 0, 1), 0);
        EXPECT_NE(loadCameraProperties(device, "Cam", "/tmp/o.ini"), 0);
        EXPECT_NE(saveCameraProperties(device, "Cam", "/tmp/o.ini"), 0);

        // Out values are written, as zeros.
        float elapsed = 1.0f;
        LONG dropped = 1, written = 1, f1 = 1, f2 = 1;
        EXPECT_NE(captureStatistics(device, &elapsed, &dropped, &written, &f1, &f2), 0);
        EXPECT_EQ(elapsed, 0.0f);
        EXPECT_EQ(dropped + written + f1 + f2, 0);
        EXPECT_NE(captureStatistics(device, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
        LONG a = 1, b = 1, width = 5, height = 5;
        EXPECT_NE(captureFormat(device, &a, &b, &width, &height), 0);
        EXPECT_EQ(a + b + width + height, 0);
        width = height = 7;
        EXPECT_NE(captureSize(device, &width, &height), 0);
        EXPECT_EQ(width + height, 0);
        LONG count = 3;
        LONGLONG mn = 1, mx = 1, avg = 1;
        EXPECT_EQ(frameTimeStatistics(device, &count, &mn, &mx, &avg), platform::FALSE_);
        EXPECT_EQ(count + mn + mx + avg, 0);

        // Values read as none.
        EXPECT_EQ(cameraType(device), 0);
        EXPECT_EQ(captureFrameRate(device), 0);
        EXPECT_EQ(referenceTime(device, 0), 0);
        EXPECT_EQ(referenceTime(device, 1), 0);
        EXPECT_EQ(getMode(device, 1), 0);
        EXPECT_EQ(bufferFillState(device, 2), 0.0f);
        EXPECT_EQ(cameraPropertiesAvailable(device), 0);
    }
}

TEST(VidgrabNotAvailable, BcamMpegTimeShiftAndMultipleCaptureAnswerConsistently) {
    // Setters and actions answer kNotAvailable, getters 0, whatever the device.
    for (const LONG d : {-1, 0, 3}) {
        EXPECT_EQ(bcamDataRate(d), 0);
        EXPECT_EQ(mpegIsEncoding(d, 1), 0);
        EXPECT_EQ(getTimeShift(d, 2), 0);
        EXPECT_EQ(bcamShutter(d), 0);
        EXPECT_EQ(bcamPacketSize(d), 0);
        EXPECT_EQ(skipFrames(d, 1), 0);
        EXPECT_EQ(setTimeShift(d, 2, 5), kNotAvailable);
        EXPECT_EQ(mpegActivate(d, 1, 1), kNotAvailable);
        EXPECT_EQ(allowOverlay(d, 1), kNotAvailable);
        EXPECT_EQ(allowTimeShift(d, 1), kNotAvailable);
        EXPECT_EQ(allowBcam(d, 1), kNotAvailable);
        EXPECT_EQ(allowMpeg(d, 1), kNotAvailable);
        EXPECT_EQ(setBcamShutter(d, 5), kNotAvailable);
        EXPECT_EQ(setBcamPacketSize(d, 5), kNotAvailable);
        EXPECT_EQ(setSkipFrames(d, 1, 2), kNotAvailable);
        EXPECT_EQ(setTriggerFrameRate(d, 1, 0, 1, 0, 0.5f), kNotAvailable);
        EXPECT_EQ(showCameraProperties(d, nullptr), kNotAvailable);
        LONG enabled = 1;
        float rate = 3.0f;
        EXPECT_EQ(triggerFrameRate(d, &enabled, 0, 0, 0, &rate), kNotAvailable);
        EXPECT_EQ(enabled, 0);
        EXPECT_EQ(rate, 0.0f);
    }
    EXPECT_EQ(mpegAvailable(0), 0);
    EXPECT_EQ(mpegAvailable(1), 0);
    EXPECT_EQ(mpegShowProperties(nullptr, 1), kNotAvailable);
    EXPECT_EQ(startAcquisitionOfAllBcams(1, 1), kNotAvailable);
    EXPECT_EQ(unInitStartMultiple(), kNotAvailable);
    EXPECT_EQ(startMultiple(), kNotAvailable);
    EXPECT_EQ(stopMultiple(), kNotAvailable);

    // The result array is filled exactly, never past its end.
    const std::vector<LONG> devices = {0, 1};
    const std::vector<LONG> objects = {9};
    std::vector<LONG> all = {5, 5, 5, 77}; // three results and a guard
    EXPECT_EQ(initStartMultiple(2, devices.data(), 1, objects.data(), all.data(), 100),
              kNotAvailable);
    EXPECT_EQ(all, (std::vector<LONG>{0, 0, 0, 77}));
    EXPECT_EQ(initStartMultiple(-5, devices.data(), 1, nullptr, all.data(), 0), kNotAvailable);
}

TEST(VidgrabCpu, UseIsAPercentage) {
    // Burn some CPU so the measure has something to see; the value must stay a percentage.
    volatile double sink = 0;
    for (int i = 0; i < 2000000; ++i)
        sink = sink + i * 0.5;
    const LONG first = cpuUsage();
    EXPECT_GE(first, 0);
    EXPECT_LE(first, 100);
    EXPECT_GE(cpuUsage(), 0);
    EXPECT_LE(cpuUsage(), 100);
}

TEST(VidgrabCaptureFile, ADriveLetterNameLandsInAFolderThatExists) {
    const std::string mapped = vidgrab::captureFilePath("c:\\capture.avi");
    const std::filesystem::path path(mapped);
    EXPECT_EQ(path.filename(), "capture.avi");
    EXPECT_EQ(mapped.find('\\'), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(path.parent_path())) << mapped;
    EXPECT_EQ(std::filesystem::path(vidgrab::captureFilePath("D:/takes/jump 3.avi")).filename(),
              "jump 3.avi");
    // Names of this system stay as they are.
    EXPECT_EQ(vidgrab::captureFilePath("/tmp/run.avi"), "/tmp/run.avi");
    EXPECT_EQ(vidgrab::captureFilePath("takes/run.avi"), "takes/run.avi");
    EXPECT_EQ(vidgrab::captureFilePath("c:"), "c:");
}
