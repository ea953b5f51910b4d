// The two tracking engines, a pattern matcher and a marker tracker, as objects created by
// class identifier. Each hands out a marker context per marker number and, through it, a
// frame context per (view, frame); failure to find a point is a failing result code.
//
// Positions are image pixels of the picture handed in (pixel centres at integer
// coordinates); angles are degrees, counter-clockwise on screen positive. Objects are used
// from one thread at a time.
#pragma once

#include "platform/com.h"
#include "platform/picture.h"
#include "platform/variant.h"

namespace engines {

using platform::HRESULT;
using platform::LCID;
using platform::LONG;

inline constexpr platform::Guid CLSID_PatternMatcher =
    platform::guidOf("{4FFE4161-79EC-4D16-8ADD-20D53304B69B}");
inline constexpr platform::Guid CLSID_MarkerTracker =
    platform::guidOf("{4DD0DA8B-3E70-4B88-8136-994C01A25B55}");

// Interface-specific failures (facility ITF).
inline constexpr HRESULT E_MARKER_LOST = static_cast<HRESULT>(0x80040201u);
inline constexpr HRESULT E_NO_PICTURE = static_cast<HRESULT>(0x80040202u);
inline constexpr HRESULT E_NOT_TAUGHT = static_cast<HRESULT>(0x80040203u);
// A dialog was asked for while the engine runs without a user (start value 0).
inline constexpr HRESULT E_NO_USER = static_cast<HRESULT>(0x80040204u);

// The start value that allows settings dialogs; 0 runs without a user (tools, benchmark).
inline constexpr LONG kInteractive = 1;
// The view index of frame-context requests; the main view 0 is the only one there is.
inline constexpr LONG kMainView = 0;
// Learn code: take the handed picture, point, angle and size as the marker's pattern.
inline constexpr LONG kLearnPattern = 8;

// Settings of the pattern matcher, by number, for the engine (user defaults) and for a
// frame context (that marker's own settings).
enum PatternSetting : LONG {
    ReferenceMode = 0,  // 0: follow the previous frame (adaptive pattern), else fixed reference
    SearchRange = 1,    // pixels the point may move beyond its prediction, per frame
    MinScore = 2,       // correlation in percent below which the point is lost
    RotationRange = 3,  // degrees the angle may change beyond its prediction; 0 = no rotation
    PatternSize = 4,    // side of the pattern square in pixels when teaching gives none
    UpdateRate = 5,     // percent of the new appearance blended into the pattern per frame
    ReferenceFrame = 8, // the frame the fixed reference is taken from
};

// Values of a marker-tracker frame context.
enum MarkerValue : LONG {
    MarkerX = 52,        // intensity-weighted centroid x, pixels
    MarkerY = 53,        // centroid y, pixels
    MarkerDiameter = 88, // diameter of the marker's disc, pixels (the symbol size)
};

// Settings of the marker tracker, by number.
enum MarkerSetting : LONG {
    MarkerSearchRange = 1,   // pixels the marker may move beyond its prediction, per frame
    MarkerPolarity = 2,      // 0 decided at teaching, 1 bright markers, 2 dark markers
    MarkerSizeTolerance = 3, // percent a found disc's area may differ from the taught one
};

class IPatternFrameContext : public platform::IUnknown {
public:
    // Finds the marker in `picture` (frame `frame`); E_MARKER_LOST when it is not there.
    virtual HRESULT Search(platform::IPicture *picture, LONG frame, LONG view) = 0;
    // 0 x, 1 y, 2 angle, 3 correlation (0..1) of this frame; E_MARKER_LOST without a point.
    virtual HRESULT Result(LONG index, double *value) = 0;
    // Side of the marker's pattern square in pixels (the symbol size).
    virtual HRESULT SymbolSize(LONG *size) = 0;

    // Teaching. SetPoint teaches at once from the picture handed before; Teach only hands
    // over picture, point, angle and size, and Learn(kLearnPattern, frame) takes them as
    // the pattern seen in `frame`. Size 0 means the pattern size setting.
    virtual HRESULT SetPicture(platform::IPicture *picture) = 0;
    virtual HRESULT SetPoint(double x, double y, LONG size) = 0;
    virtual HRESULT Teach(platform::IPicture *picture, double x, double y, double angle,
                          LONG size) = 0;
    virtual HRESULT Learn(LONG code, LONG frame) = 0;

    // This marker's own settings (PatternSetting numbers).
    virtual HRESULT Setting(LONG id, double *value) = 0;
    virtual HRESULT PutSetting(LONG id, double value) = 0;
    // The marker's own settings dialog; S_FALSE when the user cancelled.
    virtual HRESULT SettingsDialog() = 0;

    static constexpr platform::Guid IID =
        platform::guidOf("{6A1C3E20-5B7D-4F0E-9C21-0E3B5D7A9F11}");
};

class IPatternMarkerContext : public platform::IUnknown {
public:
    virtual HRESULT FrameContext(LONG view, LONG frame, IPatternFrameContext **context) = 0;
    virtual HRESULT Number(LONG *number) = 0;

    static constexpr platform::Guid IID =
        platform::guidOf("{6A1C3E20-5B7D-4F0E-9C21-0E3B5D7A9F12}");
};

class IPatternMatcher : public platform::IUnknown {
public:
    // `mode` kInteractive or 0; `lcid` chooses the dialogs' language.
    virtual HRESULT Init(LONG mode, LCID lcid) = 0;
    // Starts a tracking step: pictures handed over for teaching are let go.
    virtual HRESULT Prepare() = 0;
    virtual HRESULT MarkerContext(LONG marker, IPatternMarkerContext **context) = 0;
    // Forgets the marker; S_FALSE when there was none. Contexts still held stay usable.
    virtual HRESULT DropMarkerContext(LONG marker) = 0;
    // The user's default settings dialog; accepted values are saved for the user.
    virtual HRESULT Settings() = 0;
    virtual HRESULT Setting(LONG id, double *value) = 0;
    virtual HRESULT PutSetting(LONG id, double value) = 0;

    static constexpr platform::Guid IID =
        platform::guidOf("{6A1C3E20-5B7D-4F0E-9C21-0E3B5D7A9F10}");
};

class IMarkerFrameContext : public platform::IUnknown {
public:
    virtual HRESULT SetPicture(platform::IPicture *picture) = 0;
    // Teaches the marker at (x, y) with the given radius (0: found from the picture);
    // the values then hold the taught disc.
    virtual HRESULT SetPoint(double x, double y, LONG radius) = 0;
    // Finds the marker in the handed picture, predicting from the contexts of the two
    // frames before (either may be null). `status` gets 1 when found, 0 when not.
    virtual HRESULT Locate(IMarkerFrameContext *twoBack, IMarkerFrameContext *oneBack, LONG view,
                           LONG *status) = 0;
    // MarkerValue numbers, as doubles; E_MARKER_LOST when this frame has no point.
    virtual HRESULT Value(LONG id, platform::Variant *value) = 0;
    // The marker's own settings dialog (argument 0); S_FALSE when cancelled.
    virtual HRESULT SettingsDialog(LONG view) = 0;
    virtual HRESULT Setting(LONG id, double *value) = 0;
    virtual HRESULT PutSetting(LONG id, double value) = 0;

    static constexpr platform::Guid IID =
        platform::guidOf("{6A1C3E20-5B7D-4F0E-9C21-0E3B5D7A9F22}");
};

class IMarkerMarkerContext : public platform::IUnknown {
public:
    virtual HRESULT FrameContext(LONG view, LONG frame, IMarkerFrameContext **context) = 0;
    virtual HRESULT Number(LONG *number) = 0;

    static constexpr platform::Guid IID =
        platform::guidOf("{6A1C3E20-5B7D-4F0E-9C21-0E3B5D7A9F21}");
};

class IMarkerTracker : public platform::IUnknown {
public:
    virtual HRESULT Init(LONG mode, LCID lcid) = 0;
    virtual HRESULT MarkerContext(LONG marker, IMarkerMarkerContext **context) = 0;
    virtual HRESULT DropMarkerContext(LONG marker) = 0;
    virtual HRESULT Settings() = 0;
    virtual HRESULT Setting(LONG id, double *value) = 0;
    virtual HRESULT PutSetting(LONG id, double value) = 0;

    static constexpr platform::Guid IID =
        platform::guidOf("{6A1C3E20-5B7D-4F0E-9C21-0E3B5D7A9F20}");
};

// Registers both classes with the platform's class table (idempotent).
void registerClasses();

} // namespace engines
