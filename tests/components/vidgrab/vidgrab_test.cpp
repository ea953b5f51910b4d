// Vidgrab without a capture backend: every ordinal the control binds is there, and each
// answers as for an absent device, so the control's live video stays off.
#include "components/vidgrab/capfilter.h"
#include "components/vidgrab/vidgrab.h"

#include <gtest/gtest.h>

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

TEST(VidgrabNoDevice, LiveVideoCannotStartOnAnyDevice) {
    int window = 0; // any non-null native window
    for (LONG device = 0; device <= 7; ++device) {
        EXPECT_NE(bind<1>()(&window, device), 0) << device;
        EXPECT_EQ(bind<1>()(nullptr, device), 0) << "detaching has nothing to undo";
    }
    EXPECT_NE(bind<16>()(0, 1), 0);
    EXPECT_EQ(bind<16>()(0, 0), 0);
    EXPECT_EQ(bind<2>()(0), 0);
    EXPECT_NE(bind<27>()(0), 0); // capture never initialises
    EXPECT_NE(bind<19>()(0), 0);
    EXPECT_NE(bind<20>()(0), 0);
    EXPECT_NE(bind<44>()(0, 0, nullptr, 1, nullptr), 0);
}

TEST(VidgrabNoDevice, OutValuesAreWrittenAsZeros) {
    LONG width = 7, height = 7;
    EXPECT_NE(bind<5>()(0, &width, &height), 0);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);

    float elapsed = 1.0f;
    LONG dropped = 1, captured = 1, f1 = 1, f2 = 1;
    EXPECT_NE(bind<3>()(-1, &elapsed, &dropped, &captured, &f1, &f2), 0);
    EXPECT_EQ(elapsed, 0.0f);
    EXPECT_EQ(dropped + captured + f1 + f2, 0);
    EXPECT_NE(bind<3>()(-1, nullptr, nullptr, nullptr, nullptr, nullptr), 0);

    LONG a = 1, b = 1;
    width = height = 5;
    bind<11>()(0, &a, &b, &width, &height);
    EXPECT_EQ(a + b + width + height, 0);

    LONG count = 3;
    LONGLONG mn = 1, mx = 1, avg = 1;
    EXPECT_EQ(bind<38>()(0, &count, &mn, &mx, &avg), platform::FALSE_);
    EXPECT_EQ(count + mn + mx + avg, 0);
    EXPECT_EQ(bind<39>()(0, 1), 0);

    LONG enabled = 1;
    float rate = 3.0f;
    EXPECT_NE(bind<85>()(0, &enabled, 0, 0, 0, &rate), 0);
    EXPECT_EQ(enabled, 0);
    EXPECT_EQ(rate, 0.0f);
    EXPECT_EQ(bind<58>()(0, 2), 0.0f);
    EXPECT_EQ(bind<8>()(0), 0);
    EXPECT_EQ(bind<40>()(), 0);
}

TEST(VidgrabNoDevice, MultipleCaptureFillsExactlyTheResultArray) {
    const std::vector<LONG> devices = {0, 1};
    const std::vector<LONG> objects = {9};
    std::vector<LONG> all = {5, 5, 5, 77}; // three results and a guard
    EXPECT_NE(bind<22>()(2, devices.data(), 1, objects.data(), all.data(), 100), 0);
    EXPECT_EQ(all, (std::vector<LONG>{0, 0, 0, 77}));
    EXPECT_NE(bind<22>()(-5, devices.data(), 1, nullptr, all.data(), 0), 0);
    EXPECT_EQ(all[0], 0);
    EXPECT_NE(bind<24>()(), 0);
}

TEST(CapFilter, ListsNoDevicesAndAnswersEveryIndexWithEmptyNames) {
    CCapFilter filter;
    filter.AllowBCAM(1);
    EXPECT_EQ(filter.Enum(kVideoInputDeviceCategory), platform::S_FALSE);
    EXPECT_EQ(filter.Count(), 0);
    for (int index : {-1, 0, 1, 99}) {
        EXPECT_EQ(filter.FriendlyName(index), "");
        EXPECT_EQ(filter.DisplayName(index), "");
    }
    CCapFilter copy(filter);
    EXPECT_TRUE(copy.bcamAllowed());
    CCapFilter assigned;
    assigned = filter;
    EXPECT_TRUE(assigned.bcamAllowed());
    assigned.AllowBCAM(0);
    EXPECT_FALSE(assigned.bcamAllowed());
    EXPECT_TRUE(filter.bcamAllowed());
}
