// The automation interface walked member by member, as a host that knows only DISPIDs.
#include "control/cvviewctrl.h"
#include "recordingdialogs.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <set>

using namespace quivex;
using platform::DispatchKind;
using platform::Variant;

namespace {

struct Member {
    platform::DISPID id;
    const char *name;
    bool get;
    bool put;
    bool method;
    std::size_t args; // of the call (a put adds its value)
};

// Every member of the interface with its DISPID.
const Member kMembers[] = {
    {1, "AVIWidth", true, false, false, 0},
    {2, "AVIHeight", true, false, false, 0},
    {3, "Zoom", true, true, false, 0},
    {4, "RawDatas", true, true, false, 0},
    {5, "Specification", true, true, false, 0},
    {6, "PenWidth", true, true, false, 0},
    {7, "PointsVisible", true, true, false, 0},
    {8, "ConnectionsVisible", true, true, false, 0},
    {9, "HorizontalOffset", true, true, false, 0},
    {10, "VerticalOffset", true, true, false, 0},
    {11, "LiveVideo", true, true, false, 0},
    {12, "FireStatusEnabled", true, true, false, 0},
    {13, "Angles", true, true, false, 0},
    {14, "CaptureFrameRate", true, true, false, 0},
    {15, "CaptureFilename", true, true, false, 0},
    {16, "AVIFrame", true, true, false, 0},
    {17, "AVINumberOfFrames", true, false, false, 0},
    {18, "AVIFrameRate", true, false, false, 0},
    {19, "CaptureWidth", true, false, false, 0},
    {20, "CaptureHeight", true, false, false, 0},
    {21, "AVIFrameOffset", true, true, false, 0},
    {22, "ToolTipText", true, true, false, 0},
    {23, "OverlayPicture", true, true, false, 0},
    {24, "OverlayFlags", true, true, false, 0},
    {25, "OverlayTransparentColor", true, true, false, 0},
    {26, "GraphicItems", true, true, false, 0},
    {27, "Distances", true, true, false, 0},
    {28, "Cal3D", true, true, false, 0},
    {29, "Cal2D", true, true, false, 0},
    {30, "UpdateFrame", true, true, false, 0},
    {31, "AVIFilename", true, false, false, 0},
    {32, "LCID", true, true, false, 0},
    {33, "CaptureFileSize", true, true, false, 0},
    {34, "CaptureDevice", true, true, false, 0},
    {35, "CaptureMode", true, true, false, 0},
    {36, "CapturePreviewMode", true, true, false, 0},
    {55, "Picture", true, false, false, 4},
    {56, "PicturePart", true, false, false, 8},
    {57, "ReferenceTime", true, false, false, 1},
    {58, "CaptureDeviceName", true, false, false, 1},
    {-501, "BackColor", true, true, false, 0},
    {-520, "Appearance", true, true, false, 0},
    {59, "FrameRateForced", true, true, false, 0},
    {60, "CameraType", true, false, false, 0},
    {61, "CameraPropertiesAvailable", true, false, false, 0},
    {65, "Flag", true, true, false, 1},
    {72, "Datas3D", true, true, false, 0},
    {74, "AVI", true, false, false, 0},
    {37, "AVIOpen", false, false, true, 2},
    {38, "AVIClose", false, false, true, 0},
    {39, "DoDialogVideoSource", false, false, true, 0},
    {40, "DoDialogVideoFormat", false, false, true, 0},
    {41, "DoDialogVideoDisplay", false, false, true, 0},
    {42, "CaptureSequence", false, false, true, 0},
    {43, "Copy", false, false, true, 0},
    {44, "CaptureSaveAs", false, false, true, 1},
    {45, "QuickRefresh", false, false, true, 0},
    {46, "Save", false, false, true, 1},
    {47, "Load", false, false, true, 1},
    {48, "EditProperties", false, false, true, 1},
    {49, "CaptureStop", false, false, true, 0},
    {50, "MovePointer", false, false, true, 2},
    {51, "Draw", false, false, true, 5},
    {52, "GetCaptureStatistics", false, false, true, 4},
    {53, "CaptureInit", false, false, true, 0},
    {54, "CaptureStart", false, false, true, 0},
    {-550, "Refresh", false, false, true, 0},
    {62, "LoadCameraProperties", false, false, true, 2},
    {63, "SaveCameraProperties", false, false, true, 2},
    {64, "ShowCameraProperties", false, false, true, 1},
    {66, "CaptureInitStartMultiple", false, false, true, 4},
    {67, "CaptureUnInitStartMultiple", false, false, true, 0},
    {68, "CaptureStartMultiple", false, false, true, 0},
    {69, "CaptureStopMultiple", false, false, true, 0},
    {70, "ActivateRectangle", false, false, true, 6},
    {71, "DoMixPicture", false, false, true, 7},
    {73, "CaptureStartAcquisitionOfAllBCAMs", false, false, true, 2},
};

// Harmless arguments of the right count: zeros, and empty names.
std::vector<Variant> zeros(std::size_t n) {
    return std::vector<Variant>(n, Variant(LONG{0}));
}

} // namespace

TEST(ControlDispatch, EveryMemberIsReachableByItsDispidAndNothingElseIs) {
    RecordingDialogs dialogs;
    CVViewCtrl ctrl;
    const auto &table = ctrl.dispatchTable();
    std::set<std::pair<platform::DISPID, int>> expected;
    for (const auto &m : kMembers) {
        if (m.get)
            expected.insert({m.id, static_cast<int>(DispatchKind::PropertyGet)});
        if (m.put)
            expected.insert({m.id, static_cast<int>(DispatchKind::PropertyPut)});
        if (m.method)
            expected.insert({m.id, static_cast<int>(DispatchKind::Method)});
    }
    std::set<std::pair<platform::DISPID, int>> actual;
    for (const auto &m : table.members()) {
        actual.insert({m.id, static_cast<int>(m.kind)});
        const auto it = std::find_if(std::begin(kMembers), std::end(kMembers),
                                     [&](const Member &k) { return k.id == m.id; });
        ASSERT_NE(it, std::end(kMembers)) << m.name;
        EXPECT_EQ(m.name, std::string(it->name));
    }
    EXPECT_EQ(actual, expected);

    // Every member answers a well-formed call without failing, through the object a host
    // holds.
    auto disp = ctrl.dispatch();
    for (const auto &m : kMembers) {
        if (m.id == 71 || m.id == 37)
            continue; // opening files is tested on its own
        if (m.get) {
            const auto r =
                platform::invoke(disp.get(), m.id, DispatchKind::PropertyGet, zeros(m.args));
            EXPECT_TRUE(r.ok()) << m.name;
        }
        if (m.put && m.id != 23 && m.id != 26) {
            auto args = zeros(m.args + 1);
            const auto r = platform::invoke(disp.get(), m.id, DispatchKind::PropertyPut, args);
            EXPECT_TRUE(r.ok()) << m.name;
        }
        if (m.method) {
            const auto r = platform::invoke(disp.get(), m.id, DispatchKind::Method, zeros(m.args));
            EXPECT_TRUE(r.ok()) << m.name;
        }
    }
}

TEST(ControlDispatch, CallsReachTheTypedMembers) {
    RecordingDialogs dialogs;
    CVViewCtrl ctrl;
    auto disp = ctrl.dispatch();
    QSignalSpy zoomed(&ctrl, &CVViewCtrl::ZoomChange);
    EXPECT_TRUE(
        platform::invoke(disp.get(), 3, DispatchKind::PropertyPut, {Variant(LONG{250})}).ok());
    EXPECT_EQ(ctrl.Zoom(), 250);
    EXPECT_EQ(zoomed.count(), 1);
    EXPECT_TRUE(
        platform::invoke(disp.get(), 3, DispatchKind::PropertyPut, {Variant(LONG{5})}).ok());
    EXPECT_EQ(platform::invoke(disp.get(), 3, DispatchKind::PropertyGet).value.toLong(), 250);
    // Values of other types are converted as automation does; text that is no number is not.
    EXPECT_TRUE(platform::invoke(disp.get(), 9, DispatchKind::PropertyPut, {Variant("40")}).ok());
    EXPECT_EQ(ctrl.HorizontalOffset(), 40);
    EXPECT_EQ(platform::invoke(disp.get(), 9, DispatchKind::PropertyPut, {Variant("left")}).status,
              platform::DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ctrl.HorizontalOffset(), 40);
    EXPECT_EQ(platform::invoke(disp.get(), 65, DispatchKind::PropertyGet, {Variant(LONG{1})})
                  .value.toLong(),
              -1);
    EXPECT_EQ(platform::invoke(disp.get(), 37, DispatchKind::Method, {Variant("")}).status,
              platform::DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(platform::invoke(disp.get(), 999, DispatchKind::Method).status,
              platform::DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(platform::invoke(disp.get(), 71, DispatchKind::Method,
                               {Variant(), Variant(""), Variant(LONG{0}), Variant(LONG{0}),
                                Variant(LONG{0}), Variant(0.5f), Variant(LONG{0})})
                  .value.toLong(),
              0); // an empty file name switches mixing off
    // The host's reference outlives the widget safely.
    auto survivor = ctrl.dispatch();
    {
        auto *temporary = new CVViewCtrl;
        survivor = temporary->dispatch();
        delete temporary;
    }
    EXPECT_EQ(platform::invoke(survivor.get(), 3, DispatchKind::PropertyGet).status,
              platform::E_FAIL);
}
