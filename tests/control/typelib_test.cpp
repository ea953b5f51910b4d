// The embedded type library against what the control really is: its dispatch table, its Qt
// signals and the enumerations of its header.
#include "control/cvviewctrl.h"
#include "control/registration.h"
#include "control/typelib.h"
#include "platform/classes.h"
#include "recordingdialogs.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaMethod>

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace quivex;
using platform::DispatchKind;
using platform::Variant;
using platform::VarType;

namespace {

QJsonObject interfaceNamed(const QString &name) {
    for (const QJsonValue &v : typeLibrary().value(QStringLiteral("interfaces")).toArray())
        if (v.toObject().value(QStringLiteral("name")).toString() == name)
            return v.toObject();
    return {};
}

QJsonArray membersOf(const QString &interfaceName) {
    return interfaceNamed(interfaceName).value(QStringLiteral("members")).toArray();
}

QJsonObject memberWithDispid(const QString &interfaceName, int dispid) {
    for (const QJsonValue &v : membersOf(interfaceName))
        if (v.toObject().value(QStringLiteral("dispid")).toInt() == dispid)
            return v.toObject();
    return {};
}

std::size_t parameterCount(const QJsonObject &member) {
    return static_cast<std::size_t>(member.value(QStringLiteral("parameters")).toArray().size());
}

std::map<std::string, qint64> enumerationNamed(const QString &name, QString *documentation) {
    std::map<std::string, qint64> out;
    for (const QJsonValue &v : typeLibrary().value(QStringLiteral("enumerations")).toArray()) {
        const QJsonObject e = v.toObject();
        if (e.value(QStringLiteral("name")).toString() != name)
            continue;
        *documentation = e.value(QStringLiteral("documentation")).toString();
        for (const QJsonValue &c : e.value(QStringLiteral("constants")).toArray())
            out[c.toObject().value(QStringLiteral("name")).toString().toStdString()] =
                c.toObject().value(QStringLiteral("value")).toInteger(-1);
    }
    return out;
}

// Whether a value returned through the dispatch interface is of the described type.
bool travelsAs(const Variant &value, const QString &type) {
    const VarType t = value.type();
    if (type == "long" || type == "OLE_COLOR")
        return t == VarType::I4;
    if (type == "short")
        return t == VarType::I2;
    if (type == "BOOL")
        return t == VarType::Bool;
    if (type == "float")
        return t == VarType::R4;
    if (type == "double")
        return t == VarType::R8;
    if (type == "BSTR")
        return t == VarType::BStr;
    if (type == "IUnknown*" || type == "IDispatch*")
        return t == VarType::Unknown || t == VarType::Dispatch;
    if (type == "VARIANT")
        return true;
    if (type == "void")
        return t == VarType::Empty;
    return false;
}

#define CONSTANT(name)                                                                             \
    { #name, name }

} // namespace

TEST(TypeLibrary, NamesTheLibraryItsInterfacesAndTheControlClass) {
    const QJsonObject lib = typeLibrary();
    ASSERT_FALSE(lib.isEmpty()) << "the embedded description could not be read";
    const QJsonObject library = lib.value(QStringLiteral("library")).toObject();
    EXPECT_EQ(library.value(QStringLiteral("name")).toString(), "QuivexLib");
    EXPECT_EQ(library.value(QStringLiteral("guid")).toString(),
              "{04521860-9173-11D0-B9DA-444553540000}");
    EXPECT_EQ(library.value(QStringLiteral("version")).toString(), "1.0");
    EXPECT_EQ(interfaceNamed("_DQuivex").value(QStringLiteral("guid")).toString(),
              "{04521861-9173-11D0-B9DA-444553540000}");
    EXPECT_EQ(interfaceNamed("_DQuivexEvents").value(QStringLiteral("guid")).toString(),
              "{04521862-9173-11D0-B9DA-444553540000}");
    const QJsonArray coclasses = lib.value(QStringLiteral("coclasses")).toArray();
    ASSERT_EQ(coclasses.size(), 1);
    const QJsonObject quivex = coclasses[0].toObject();
    EXPECT_EQ(quivex.value(QStringLiteral("name")).toString(), "Quivex");
    EXPECT_EQ(quivex.value(QStringLiteral("guid")).toString(),
              "{04521863-9173-11D0-B9DA-444553540000}");
    EXPECT_EQ(quivex.value(QStringLiteral("guid")).toString().toStdString(),
              kControlClass.toString());
    std::set<QString> implemented;
    for (const QJsonValue &v : quivex.value(QStringLiteral("interfaces")).toArray())
        implemented.insert(v.toObject().value(QStringLiteral("name")).toString());
    EXPECT_EQ(implemented, (std::set<QString>{"_DQuivex", "_DQuivexEvents"}));
}

TEST(TypeLibrary, DescribesEveryMemberOfTheDispatchTableAndNothingElse) {
    RecordingDialogs dialogs;
    CVViewCtrl ctrl;
    const auto &table = ctrl.dispatchTable();

    // Each described member is in the table with its name, kinds and argument count.
    std::set<std::pair<platform::DISPID, int>> described;
    for (const QJsonValue &v : membersOf("_DQuivex")) {
        const QJsonObject m = v.toObject();
        const int id = m.value(QStringLiteral("dispid")).toInt();
        const std::string name = m.value(QStringLiteral("name")).toString().toStdString();
        const QString kind = m.value(QStringLiteral("kind")).toString();
        const std::size_t args = parameterCount(m);
        SCOPED_TRACE(name);
        std::vector<std::pair<DispatchKind, std::size_t>> expected;
        if (kind == "method") {
            expected.push_back({DispatchKind::Method, args});
        } else {
            ASSERT_EQ(kind, "property");
            expected.push_back({DispatchKind::PropertyGet, args});
            if (!m.value(QStringLiteral("readOnly")).toBool())
                expected.push_back({DispatchKind::PropertyPut, args + 1});
        }
        for (const auto &[k, count] : expected) {
            const auto members = table.members();
            const auto it = std::find_if(members.begin(), members.end(),
                                         [&](const auto &t) { return t.id == id && t.kind == k; });
            ASSERT_NE(it, members.end()) << "kind " << static_cast<int>(k);
            EXPECT_EQ(it->name, name);
            EXPECT_EQ(it->argCount, count);
            EXPECT_TRUE(described.insert({id, static_cast<int>(k)}).second) << "described twice";
        }
    }
    // And every entry of the table is described (a read-only property has no put).
    for (const auto &t : table.members())
        EXPECT_TRUE(described.count({t.id, static_cast<int>(t.kind)}))
            << t.name << " kind " << static_cast<int>(t.kind) << " is not described";
}

TEST(TypeLibrary, MembersAnswerWithTheDescribedTypes) {
    RecordingDialogs dialogs;
    CVViewCtrl ctrl;
    auto disp = ctrl.dispatch();
    for (const QJsonValue &v : membersOf("_DQuivex")) {
        const QJsonObject m = v.toObject();
        const int id = m.value(QStringLiteral("dispid")).toInt();
        const QString type = m.value(QStringLiteral("type")).toString();
        SCOPED_TRACE(m.value(QStringLiteral("name")).toString().toStdString());
        if (id == 37 || id == 71)
            continue; // opening files is not for a walk over every member
        const bool method = m.value(QStringLiteral("kind")).toString() == "method";
        std::vector<Variant> args(parameterCount(m), Variant(LONG{0}));
        const auto r = platform::invoke(disp.get(), id,
                                        method ? DispatchKind::Method : DispatchKind::PropertyGet,
                                        std::move(args));
        ASSERT_TRUE(r.ok());
        EXPECT_TRUE(travelsAs(r.value, type))
            << "described as " << type.toStdString() << ", answered as type "
            << static_cast<int>(r.value.type());
    }
}

TEST(TypeLibrary, EventsAreTheControlsSignalsWithTheirParameters) {
    std::map<QString, QStringList> signalsByName;
    const QMetaObject &meta = CVViewCtrl::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() != QMetaMethod::Signal)
            continue;
        QStringList names;
        for (const QByteArray &n : method.parameterNames())
            names << QString::fromLatin1(n);
        signalsByName[QString::fromLatin1(method.name())] = names;
    }

    std::map<QString, QStringList> described;
    std::set<int> dispids;
    for (const QJsonValue &v : membersOf("_DQuivexEvents")) {
        const QJsonObject e = v.toObject();
        EXPECT_EQ(e.value(QStringLiteral("kind")).toString(), "event");
        QStringList names;
        for (const QJsonValue &p : e.value(QStringLiteral("parameters")).toArray())
            names << p.toObject().value(QStringLiteral("name")).toString();
        described[e.value(QStringLiteral("name")).toString()] = names;
        dispids.insert(e.value(QStringLiteral("dispid")).toInt());
    }
    EXPECT_EQ(described, signalsByName);
    EXPECT_EQ(dispids, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(memberWithDispid("_DQuivexEvents", 4).value(QStringLiteral("name")).toString(),
              "SpecialMouseDown");
    EXPECT_EQ(memberWithDispid("_DQuivexEvents", 7).value(QStringLiteral("name")).toString(),
              "SpecialMouseUp");
}

TEST(TypeLibrary, EnumerationsHoldTheValuesOfTheHeader) {
    const std::map<QString, std::map<std::string, qint64>> header = {
        {"OverlayFlagConstants",
         {CONSTANT(TALVOROVL_NONE), CONSTANT(TALVOROVL_SHOW), CONSTANT(TALVOROVL_ADJUSTSIZE),
          CONSTANT(TALVOROVL_STRETCH), CONSTANT(TALVOROVL_ONLY), CONSTANT(TALVOROVL_GRAPHICITEMS)}},
        {"TalvorAVIMode",
         {CONSTANT(TALVORAVIMODE_NORMAL), CONSTANT(TALVORAVIMODE_FIELDS),
          CONSTANT(TALVORAVIMODE_PRAXIM100), CONSTANT(TALVORAVIMODE_JVC9X00),
          CONSTANT(TALVORAVIMODE_JVC9X00_VERT), CONSTANT(TALVORAVIMODE_JVC9X00_200),
          CONSTANT(TALVORAVIMODE_ROTATE_90), CONSTANT(TALVORAVIMODE_ROTATE_180),
          CONSTANT(TALVORAVIMODE_ROTATE_270), CONSTANT(TALVORAVIMODE_HORIZONTAL_FLIP)}},
        {"TalvorCaptureModes",
         {CONSTANT(DVRESOLUTION_FULL), CONSTANT(DVRESOLUTION_HALF), CONSTANT(DVRESOLUTION_QUARTER),
          CONSTANT(DVRESOLUTION_DC)}},
        {"QuivexFlags",
         {CONSTANT(QVXW_ALLOWOVERLAY),
          CONSTANT(QVXW_ALLOWTIMESHIFT),
          CONSTANT(QVXW_ALLOWBCAM),
          CONSTANT(QVXW_ALLOWMPEG),
          CONSTANT(QVXW_TIMESHIFT_CAPTURE),
          CONSTANT(QVXW_TIMESHIFT_PREVIEW),
          CONSTANT(QVXW_TIMESHIFT_CAPTUREPREVIEW),
          CONSTANT(QVXW_BUFFERFILLSTATE_CAPTURE),
          CONSTANT(QVXW_BUFFERFILLSTATE_PREVIEW),
          CONSTANT(QVXW_BUFFERFILLSTATE_CAPTUREPREVIEW),
          CONSTANT(QVXW_BCAM_DATARATE),
          CONSTANT(QVXW_BCAM_SHUTTER),
          CONSTANT(QVXW_BCAM_PACKETSIZE),
          CONSTANT(QVXW_BCAM_TRIGGERFRAMERATE),
          CONSTANT(QVXW_BCAM_SKIPFRAMES_CAPTURE),
          CONSTANT(QVXW_BCAM_SKIPFRAMES_PREVIEW),
          CONSTANT(QVXW_DRAW_STICK),
          CONSTANT(QVXW_DRAW_CALIB2D),
          CONSTANT(QVXW_DRAW_CALIB3D),
          CONSTANT(QVXW_DRAW_3D),
          CONSTANT(QVXW_MPEG_VIDEO_AVAILABLE),
          CONSTANT(QVXW_MPEG_AUDIO_AVAILABLE),
          CONSTANT(QVXW_MPEG_ACTIVATE),
          CONSTANT(QVXW_MPEG_ISENCODING),
          CONSTANT(QVXW_MPEG_SHOWPROPERTIES),
          CONSTANT(QVXW_AVIMODE),
          CONSTANT(QVXW_OVERLAY_X),
          CONSTANT(QVXW_OVERLAY_Y),
          CONSTANT(QVXW_FIRELIVEIMAGECALLBACK),
          CONSTANT(QVXW_DROPPEDFRAMES),
          CONSTANT(QVXW_CPUUSAGE)}},
    };
    std::set<QString> names;
    for (const QJsonValue &v : typeLibrary().value(QStringLiteral("enumerations")).toArray())
        names.insert(v.toObject().value(QStringLiteral("name")).toString());
    EXPECT_EQ(names.size(), header.size());
    for (const auto &[name, constants] : header) {
        QString documentation;
        EXPECT_EQ(enumerationNamed(name, &documentation), constants) << name.toStdString();
    }
}

TEST(TypeLibrary, CarriesThePublishedDocumentationStrings) {
    const QJsonObject library = typeLibrary().value(QStringLiteral("library")).toObject();
    EXPECT_EQ(library.value(QStringLiteral("documentation")).toString(), "Talvor Quivex Control");
    EXPECT_EQ(interfaceNamed("_DQuivex").value(QStringLiteral("documentation")).toString(),
              "Dispatch interface for Talvor Quivex Control");
    EXPECT_EQ(interfaceNamed("_DQuivexEvents").value(QStringLiteral("documentation")).toString(),
              "Event interface for Talvor Quivex Control");
    QString doc;
    enumerationNamed("OverlayFlagConstants", &doc);
    EXPECT_EQ(doc, "Overlay flag constants");
    enumerationNamed("TalvorCaptureModes", &doc);
    EXPECT_EQ(doc, "MSDV Capture/Preview modes");
    enumerationNamed("QuivexFlags", &doc);
    EXPECT_EQ(doc, "Quivex Flags");

    // As published, the missing parenthesis of AVIFrameOffset included.
    const std::pair<int, const char *> members[] = {
        {1, "Returns width of video stream (AVI playback mode only)"},
        {11, "Sets or returns flag; Opens capture window if set to TRUE, else AVI playback mode"},
        {12, "Sets or returns flag; capturing events are fired if TRUE (capture mode only)"},
        {21, "Sets or returns time offset of first video frame in seconds (AVI playback mode "
             "only"},
        {22, "Sets or returns text for tool tip (empty string for no tool tip)"},
        {30, "Update image (refresh)"},
        {33, "Sets or returns size of preallocated capture file"},
        {34, "Sets or returns device index (0..n) for live mode and capture. -1=any device"},
        {37, "Opens AVI video stream (AVI playback mode only)"},
        {38, "Closes AVI video stream (AVI playback mode only)"},
        {43, "Copies current frame to clipboard (AVI playback mode only)"},
        {45, "Refreshes video and graphics without background repainting (AVI playback mode "
             "only)"},
        {50, "Moves mouse pointer to specified position (scrolls if necessary)"},
        {52, "Returns synchronization information"},
        {71, "Enter simplified video mix mode"},
        {74, "Returns TalvorAVI object used for video replay"},
    };
    for (const auto &[id, text] : members)
        EXPECT_EQ(
            memberWithDispid("_DQuivex", id).value(QStringLiteral("documentation")).toString(),
            QString::fromUtf8(text))
            << id;
    const std::pair<int, const char *> events[] = {
        {1, "'StatusCallback' information (see FireStatusEnabled)(capture mode only)"},
        {2, "'VideoStreamCallback' information (see FireStatusEnabled)(capture mode only)"},
        {3, "Mouse move event, coordinates are given in pixel-scaled (x,y) and AVI-size-scaled "
            "(fx,fy)"},
        {4, "Mouse button down event, coordinates are given in pixel-scaled (x,y) and "
            "AVI-size-scaled (fx,fy)"},
    };
    for (const auto &[id, text] : events)
        EXPECT_EQ(memberWithDispid("_DQuivexEvents", id)
                      .value(QStringLiteral("documentation"))
                      .toString(),
                  QString::fromUtf8(text))
            << "event " << id;

    // Every member a host sees carries a sentence of its own.
    for (const QString itf : {"_DQuivex", "_DQuivexEvents"})
        for (const QJsonValue &v : membersOf(itf))
            EXPECT_FALSE(
                v.toObject().value(QStringLiteral("documentation")).toString().trimmed().isEmpty())
                << v.toObject().value(QStringLiteral("name")).toString().toStdString();
}

namespace {

TEST(ClassObject, ARegisteredControlIsCreatedByItsClassIdentifierAndOwnedByItsReference) {
    // The test's own settings store (ORVANE_REGISTRY_ROOT): the library registers itself,
    // and creation by class identifier loads it by the registered path.
    ASSERT_EQ(DllRegisterServer(), platform::S_OK);
    const auto widgetsBefore = QApplication::allWidgets().size();
    {
        platform::HRESULT status = 0;
        auto control = platform::createInstance<platform::IDispatch>(kControlClass, &status);
        ASSERT_TRUE(control) << std::hex << status;
        EXPECT_GT(QApplication::allWidgets().size(), widgetsBefore);
        EXPECT_TRUE(platform::invoke(control.get(), 3, DispatchKind::PropertyPut,
                                     {Variant(platform::LONG{150})})
                        .ok());
        EXPECT_EQ(platform::invoke(control.get(), 3, DispatchKind::PropertyGet).value.toLong(),
                  150);
    }
    EXPECT_EQ(QApplication::allWidgets().size(), widgetsBefore) << "the last release deletes it";

    // The property page exists only for a control; unknown classes are not served.
    void *object = nullptr;
    const auto page = platform::guidOf("{04521864-9173-11D0-B9DA-444553540000}");
    EXPECT_EQ(DllGetClassObject(&page, &platform::IDispatch::IID, &object),
              platform::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DllGetClassObject(&kControlClass, &platform::IDispatch::IID, nullptr),
              platform::E_POINTER);
    EXPECT_EQ(DllCanUnloadNow(), platform::S_FALSE);

    ASSERT_EQ(DllUnregisterServer(), platform::S_OK);
    platform::HRESULT gone = 0;
    EXPECT_FALSE(platform::createInstance<platform::IDispatch>(kControlClass, &gone));
    EXPECT_EQ(gone, platform::REGDB_E_CLASSNOTREG);
}

} // namespace
