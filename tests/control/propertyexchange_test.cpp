// The container's property exchange: what a saved control gives back when it is loaded, in
// which order the bag holds it, and what loading does to the language.
#include "components/lingmod/lingmod.h"
#include "control/cvviewctrl.h"
#include "control/propertybag.h"
#include "frmwriter.h"
#include "recordingdialogs.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace quivex;
using namespace testing_frm;

namespace {

// The names a saved bag holds, in the order the exchange writes them.
const QStringList kExchangeOrder = {"_Version",
                                    "BackColor",
                                    "Appearance",
                                    "Frame",
                                    "Zoom",
                                    "PenWidth",
                                    "HorizontalOffset",
                                    "VerticalOffset",
                                    "PointsVisible",
                                    "ConnectionsVisible",
                                    "FireStatusEnabled",
                                    "CaptureFrameRate",
                                    "AVIFrameOffset",
                                    "ToolTipText",
                                    "OverlayFlags",
                                    "OverlayTransparentColor",
                                    "UpdateFrame",
                                    "LCID"};

PropertyBag saved(CVViewCtrl &ctrl) {
    PropertyBag bag;
    ctrl.exchangeProperties(bag, false);
    return bag;
}

// A control with every exchanged property away from its default, and a video open.
void changeEverything(CVViewCtrl &ctrl) {
    FrmSpec s;
    ASSERT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "exchange.frm", s).string(), 0), 0);
    ctrl.SetAVIFrame(2);
    ctrl.SetBackColor(0x00102030);
    ctrl.SetAppearance(1);
    ctrl.SetZoom(250);
    ctrl.SetPenWidth(3);
    ctrl.SetHorizontalOffset(30);
    ctrl.SetVerticalOffset(-40);
    ctrl.SetPointsVisible(1);
    ctrl.SetConnectionsVisible(1);
    ctrl.SetFireStatusEnabled(1);
    ctrl.SetAVIFrameOffset(0.125f);
    ctrl.SetToolTipText("Marke");
    ctrl.SetOverlayFlags(TALVOROVL_SHOW | TALVOROVL_ONLY);
    ctrl.SetOverlayTransparentColor(0x00FF00FF);
    ctrl.SetUpdateFrame(0);
}

void expectSameExchangedState(CVViewCtrl &a, CVViewCtrl &b) {
    EXPECT_EQ(a.BackColor(), b.BackColor());
    EXPECT_EQ(a.Appearance(), b.Appearance());
    EXPECT_EQ(a.AVIFrame(), b.AVIFrame());
    EXPECT_EQ(a.Zoom(), b.Zoom());
    EXPECT_EQ(a.PenWidth(), b.PenWidth());
    EXPECT_EQ(a.HorizontalOffset(), b.HorizontalOffset());
    EXPECT_EQ(a.VerticalOffset(), b.VerticalOffset());
    EXPECT_EQ(a.PointsVisible(), b.PointsVisible());
    EXPECT_EQ(a.ConnectionsVisible(), b.ConnectionsVisible());
    EXPECT_EQ(a.FireStatusEnabled(), b.FireStatusEnabled());
    EXPECT_EQ(a.AVIFrameOffset(), b.AVIFrameOffset());
    EXPECT_EQ(a.ToolTipText(), b.ToolTipText());
    EXPECT_EQ(a.OverlayFlags(), b.OverlayFlags());
    EXPECT_EQ(a.OverlayTransparentColor(), b.OverlayTransparentColor());
    EXPECT_EQ(a.UpdateFrame(), b.UpdateFrame());
}

// The text of a control message in a language, as Lingmod holds it.
QString controlString(platform::LCID lcid, LONG number) {
    const auto handle =
        lingmod::talvorSetLanguage(-1, QStringLiteral("tests"), lcid, QStringLiteral("COM_"));
    const QString text = lingmod::talvorGetNLSString(handle, 30004, number);
    lingmod::talvorFreeLanguage(handle);
    return text;
}

class Exchange : public ::testing::Test {
protected:
    // The language the control speaks: the text of its "version not supported" message.
    QString spokenLanguageText(CVViewCtrl &ctrl) {
        FrmSpec s;
        s.version = 101;
        dialogs.messages.clear();
        EXPECT_EQ(ctrl.AVIOpen(writeFrm(tempDir() / "old-version.frm", s).string(), 0), -2);
        return dialogs.messages.empty() ? QString() : dialogs.messages.back().text;
    }
    RecordingDialogs dialogs;
};

} // namespace

TEST_F(Exchange, ARoundTripRestoresTheExchangedPropertiesButNotTheVideo) {
    CVViewCtrl source;
    changeEverything(source);
    PropertyBag bag = saved(source);

    CVViewCtrl target;
    QSignalSpy zoomed(&target, &CVViewCtrl::ZoomChange);
    target.setModified(true);
    target.exchangeProperties(bag, true);
    expectSameExchangedState(source, target);
    EXPECT_EQ(target.Zoom(), 250);
    EXPECT_EQ(target.AVIFrame(), 2);
    EXPECT_EQ(target.OverlayTransparentColor(), 0x00FF00FFu);
    // The video file is no property of the exchange.
    EXPECT_EQ(target.AVIFilename(), "");
    EXPECT_FALSE(target.isVideoOpen());
    EXPECT_FALSE(bag.contains(QStringLiteral("AVIFilename")));
    // Values go into the fields: no event, and the loaded control agrees with its container.
    EXPECT_EQ(zoomed.count(), 0);
    EXPECT_FALSE(target.isModified());
}

TEST_F(Exchange, TheSavedBagHoldsTheVersionTheStockPropertiesAndTheTableInOrder) {
    CVViewCtrl ctrl;
    const PropertyBag bag = saved(ctrl);
    EXPECT_EQ(bag.names(), kExchangeOrder);
    EXPECT_EQ(bag.read(QStringLiteral("_Version")).toInt(), 0x00010000);
    EXPECT_EQ(bag.read(QStringLiteral("Zoom")).typeId(), QMetaType::Int);
    EXPECT_EQ(bag.read(QStringLiteral("UpdateFrame")).typeId(), QMetaType::Bool);
    EXPECT_EQ(bag.read(QStringLiteral("AVIFrameOffset")).typeId(), QMetaType::Float);
    EXPECT_EQ(bag.read(QStringLiteral("ToolTipText")).typeId(), QMetaType::QString);

    // A bag that already holds entries keeps their places: the container's own first, a
    // stale value of ours updated where it stands, the rest appended in exchange order.
    PropertyBag mixed;
    mixed.write(QStringLiteral("ContainerOwn"), 7);
    mixed.write(QStringLiteral("Zoom"), 999);
    ctrl.SetZoom(150);
    ctrl.exchangeProperties(mixed, false);
    QStringList expected = kExchangeOrder;
    expected.removeOne(QStringLiteral("Zoom"));
    expected.prepend(QStringLiteral("Zoom"));
    expected.prepend(QStringLiteral("ContainerOwn"));
    EXPECT_EQ(mixed.names(), expected);
    EXPECT_EQ(mixed.read(QStringLiteral("Zoom")).toInt(), 150);
    EXPECT_EQ(mixed.read(QStringLiteral("ContainerOwn")).toInt(), 7);
}

TEST_F(Exchange, MissingEntriesGiveTheDefaultsOfANewControl) {
    CVViewCtrl fresh;
    CVViewCtrl changed;
    changeEverything(changed);
    changed.AVIClose();
    PropertyBag empty;
    changed.exchangeProperties(empty, true);
    EXPECT_TRUE(empty.isEmpty()); // loading writes nothing
    expectSameExchangedState(fresh, changed);
    EXPECT_EQ(changed.Zoom(), 100);
    EXPECT_EQ(changed.PenWidth(), 5);
    EXPECT_EQ(changed.UpdateFrame(), 1);
    EXPECT_EQ(changed.BackColor(), 0x8000000Fu);
    // Both then save the same bag: creation and loading an empty bag agree.
    EXPECT_EQ(saved(fresh).toVariantMap(), saved(changed).toVariantMap());
}

TEST_F(Exchange, StoredValuesAreTakenAsTheyStandWhilePutsStayRangeChecked) {
    CVViewCtrl ctrl;
    QSignalSpy zoomed(&ctrl, &CVViewCtrl::ZoomChange);
    PropertyBag bag;
    bag.write(QStringLiteral("Zoom"), 3000);
    bag.write(QStringLiteral("PenWidth"), 42);
    bag.write(QStringLiteral("HorizontalOffset"), -5000);
    bag.write(QStringLiteral("Frame"), -7);
    ctrl.exchangeProperties(bag, true);
    EXPECT_EQ(ctrl.Zoom(), 3000);
    EXPECT_EQ(ctrl.PenWidth(), 42);
    EXPECT_EQ(ctrl.HorizontalOffset(), -5000);
    EXPECT_EQ(ctrl.AVIFrame(), -7);
    EXPECT_EQ(zoomed.count(), 0);

    CVViewCtrl put;
    put.SetZoom(3000);
    EXPECT_EQ(put.Zoom(), 100);
    ctrl.SetZoom(3000);
    EXPECT_EQ(ctrl.Zoom(), 3000);
    ctrl.SetZoom(200);
    EXPECT_EQ(ctrl.Zoom(), 200); // the loaded value does not block later puts
}

TEST_F(Exchange, WronglyTypedEntriesGiveTheirDefaults) {
    CVViewCtrl ctrl;
    PropertyBag bag;
    bag.write(QStringLiteral("Zoom"), QStringLiteral("250"));         // text
    bag.write(QStringLiteral("PenWidth"), 2.5);                       // a fraction
    bag.write(QStringLiteral("HorizontalOffset"), 1e12);              // beyond 32 bits
    bag.write(QStringLiteral("VerticalOffset"), true);                // a boolean
    bag.write(QStringLiteral("PointsVisible"), QStringLiteral("ja")); // text
    bag.write(QStringLiteral("UpdateFrame"), QVariant());             // nothing
    bag.write(QStringLiteral("AVIFrameOffset"), QStringLiteral("0.5"));
    bag.write(QStringLiteral("ToolTipText"), 5);
    bag.write(QStringLiteral("BackColor"), 0x100000000ll); // beyond 32 bits
    ctrl.exchangeProperties(bag, true);
    EXPECT_EQ(ctrl.Zoom(), 100);
    EXPECT_EQ(ctrl.PenWidth(), 5);
    EXPECT_EQ(ctrl.HorizontalOffset(), 0);
    EXPECT_EQ(ctrl.VerticalOffset(), 0);
    EXPECT_EQ(ctrl.PointsVisible(), 0);
    EXPECT_EQ(ctrl.UpdateFrame(), 1);
    EXPECT_EQ(ctrl.AVIFrameOffset(), 0.0f);
    EXPECT_EQ(ctrl.ToolTipText(), "");
    EXPECT_EQ(ctrl.BackColor(), 0x8000000Fu);

    // Numbers of other widths are numbers: a whole double, an integer for a flag, a system
    // colour that arrived as a negative I4, a float beyond the float range.
    PropertyBag numbers;
    numbers.write(QStringLiteral("Zoom"), 250.0);
    numbers.write(QStringLiteral("PointsVisible"), 1);
    numbers.write(QStringLiteral("BackColor"), static_cast<qint32>(0x80000005u));
    numbers.write(QStringLiteral("AVIFrameOffset"), -1e300);
    numbers.write(QStringLiteral("Appearance"), 0x10001); // low 16 bits, as a put keeps them
    ctrl.exchangeProperties(numbers, true);
    EXPECT_EQ(ctrl.Zoom(), 250);
    EXPECT_EQ(ctrl.PointsVisible(), 1);
    EXPECT_EQ(ctrl.BackColor(), 0x80000005u);
    EXPECT_EQ(ctrl.AVIFrameOffset(), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(ctrl.Appearance(), 1);
}

TEST_F(Exchange, LoadingSpeaksGermanWhateverWasStoredAndSavingKeepsTheHostsLanguage) {
    ASSERT_NE(controlString(1031, 12), controlString(1033, 12));
    CVViewCtrl ctrl;
    ctrl.SetLCID(1033);
    ASSERT_EQ(spokenLanguageText(ctrl), controlString(1033, 12));

    // A container that only saves leaves the host's language alone, and stores it.
    PropertyBag bag = saved(ctrl);
    EXPECT_EQ(bag.read(QStringLiteral("LCID")).toInt(), 1033);
    EXPECT_EQ(ctrl.LCID(), 1033);
    EXPECT_EQ(spokenLanguageText(ctrl), controlString(1033, 12));

    // Loading: LCID 1031 and German messages, whatever the bag says.
    ctrl.exchangeProperties(bag, true);
    EXPECT_EQ(ctrl.LCID(), 1031);
    EXPECT_EQ(spokenLanguageText(ctrl), controlString(1031, 12));
    // So does a bag without LCID, after the host switched again.
    ctrl.SetLCID(1046);
    PropertyBag empty;
    ctrl.exchangeProperties(empty, true);
    EXPECT_EQ(ctrl.LCID(), 1031);
    EXPECT_EQ(spokenLanguageText(ctrl), controlString(1031, 12));
}

TEST_F(Exchange, JsonKeepsTheOrderAndTheValues) {
    CVViewCtrl source;
    changeEverything(source);
    source.SetAVIFrameOffset(0.1f); // no exact double: must come back as the same float
    const QByteArray text = saved(source).toJson().toJson();

    const auto bag = PropertyBag::fromJson(text);
    ASSERT_TRUE(bag);
    EXPECT_EQ(bag->names(), kExchangeOrder);
    PropertyBag loaded = *bag;
    CVViewCtrl target;
    target.exchangeProperties(loaded, true);
    expectSameExchangedState(source, target);
    EXPECT_EQ(target.AVIFrameOffset(), 0.1f);

    // A bag a host wrote by hand, with a repeated name: the first value holds.
    const auto byHand = PropertyBag::fromJson(
        QByteArray(R"([{"name":"Zoom","value":300},{"name":"Zoom","value":400},)"
                   R"({"name":"ToolTipText","value":"Hallo"}])"));
    ASSERT_TRUE(byHand);
    PropertyBag handBag = *byHand;
    target.exchangeProperties(handBag, true);
    EXPECT_EQ(target.Zoom(), 300);
    EXPECT_EQ(target.ToolTipText(), "Hallo");
}

TEST_F(Exchange, JsonOfAnotherShapeIsRefusedAsAWhole) {
    EXPECT_FALSE(PropertyBag::fromJson(QByteArray("not json")));
    EXPECT_FALSE(PropertyBag::fromJson(QByteArray(R"({"Zoom":100})")));
    EXPECT_FALSE(PropertyBag::fromJson(QByteArray(R"([{"name":"Zoom","value":1}, 5])")));
    EXPECT_FALSE(PropertyBag::fromJson(QByteArray(R"([{"value":1}])")));
    EXPECT_FALSE(PropertyBag::fromJson(QByteArray(R"([{"name":7,"value":1}])")));
    const auto empty = PropertyBag::fromJson(QByteArray("[]"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
}

TEST_F(Exchange, AVariantMapCarriesEveryValue) {
    CVViewCtrl source;
    changeEverything(source);
    PropertyBag bag = PropertyBag::fromVariantMap(saved(source).toVariantMap());
    EXPECT_EQ(bag.entries().size(), static_cast<std::size_t>(kExchangeOrder.size()));
    CVViewCtrl target;
    target.exchangeProperties(bag, true);
    expectSameExchangedState(source, target);
}
