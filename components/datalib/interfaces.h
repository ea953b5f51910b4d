// The data library's interfaces: marker data sets and channels, the overlay item
// collection, point layouts and the 2-D calibration, as the application and the video view
// control call them. Every call reports through its HRESULT; out parameters are written on
// every path that takes a valid pointer, with the missing value where there is no answer.
#pragma once

#include "platform/com.h"
#include "platform/missingvalue.h"

#include <QRect>

#include <string>

class QPainter;

namespace datalib {

using platform::BOOL;
using platform::COLORREF;
using platform::Guid;
using platform::HRESULT;
using platform::LONG;
using platform::SHORT;

// The missing value of every channel, point and result (-1.0E9; values at or below it count
// as missing).
using platform::isMissing;
using platform::kMissing;

// Class identifiers of the objects this library creates.
inline constexpr Guid CLSID_DataFactory =
    platform::guidOf("{65F81010-5E6A-11D0-9CDD-0000E81C19AF}");
inline constexpr Guid CLSID_GraphicItems =
    platform::guidOf("{822A33B1-DF30-11D0-AB20-0000E81C19AF}");
inline constexpr Guid CLSID_CalFactory = platform::guidOf("{D9C49FF4-ED1F-11D0-AB52-0000E81C19AF}");
inline constexpr Guid CLSID_PointLayout =
    platform::guidOf("{36FDE8A9-256F-4C87-B9C5-902F090D3401}");
inline constexpr Guid CLSID_Cal3D = platform::guidOf("{326D8B18-A72E-4EA7-97A0-B3AB239528F2}");
inline constexpr Guid CLSID_Angles = platform::guidOf("{8B53FE7A-F907-431F-92C3-1A8307FC8175}");
inline constexpr Guid CLSID_Distances = platform::guidOf("{0A41256C-ECB6-46FD-BB07-8C6752E9C4A9}");
// The projection helper (TalvorProjection).
inline constexpr Guid CLSID_Projection = platform::guidOf("{CF3D1BC3-9DFC-11D1-B686-0000E81C1F38}");

// A series of single-precision values indexed by frame. Frames first .. first + length - 1
// are addressable (and only those that fit a 16-bit frame number); new frames hold the
// missing value.
class TalvorChannel : public platform::IUnknown {
public:
    virtual HRESULT SetMarkerNumber(LONG marker) = 0;
    virtual HRESULT GetMarkerNumber(LONG *marker) = 0;
    virtual HRESULT SetFirstFrame(LONG frame) = 0;
    virtual HRESULT GetFirstFrame(LONG *frame) = 0;
    // E_INVALIDARG for a negative length.
    virtual HRESULT SetLength(LONG length) = 0;
    virtual HRESULT GetLength(LONG *length) = 0;
    // E_INVALIDARG for a frame outside the channel; the out value is then kMissing.
    virtual HRESULT GetValue(SHORT frame, float *value) = 0;
    virtual HRESULT PutValue(SHORT frame, float value) = 0;

    static constexpr Guid IID = platform::guidOf("{65F81002-5E6A-11D0-9CDD-0000E81C19AF}");
};

// A named, typed group of components holding, per marker number, one channel per
// component. A marker number may be added again; the newest group with a number answers
// for it until it is removed.
class TalvorDatas : public platform::IUnknown {
public:
    virtual HRESULT SetName(const std::string &name) = 0;
    virtual HRESULT GetName(std::string *name) = 0;
    // Four-character code whose bytes in memory spell the tag ("RAW " = 0x20574152).
    virtual HRESULT SetTypeTag(LONG tag) = 0;
    virtual HRESULT GetTypeTag(LONG *tag) = 0;
    // 1, 2 or 3; anything else is E_INVALIDARG. A new set has one component.
    virtual HRESULT SetComponentCount(LONG count) = 0;
    virtual HRESULT GetComponentCount(LONG *count) = 0;
    // Exactly one channel per component, all carrying the same marker number.
    virtual HRESULT Add(TalvorChannel *const *channels, LONG count) = 0;
    // Every group with that number goes; S_FALSE when there was none.
    virtual HRESULT Remove(LONG marker) = 0;
    virtual HRESULT Clear() = 0;
    // Replaces each held component's value at the frame in the newest group of the
    // marker; values for components the set does not hold are ignored. *status is 0 on
    // success and non-zero otherwise.
    virtual HRESULT WriteFrame(LONG marker, SHORT frame, float v0, float v1, float v2,
                               LONG *status) = 0;
    // Reads the components back; components the set does not hold read as kMissing.
    virtual HRESULT ReadFrame(LONG marker, LONG frame, float *v0, float *v1, float *v2) = 0;
    // As ReadFrame at frame round(seconds x frame rate); E_FAIL while the rate is not > 0.
    virtual HRESULT ReadTime(LONG marker, double seconds, float *v0, float *v1, float *v2) = 0;
    virtual HRESULT SetFrameRate(float rate) = 0;
    virtual HRESULT GetFrameRate(float *rate) = 0;
    // The channel of (component, marker) from the newest group with that number.
    virtual HRESULT GetChannel(LONG component, LONG marker, TalvorChannel **channel) = 0;
    // Distinct marker numbers, in the order they were first added.
    virtual HRESULT GetMarkerCount(LONG *count) = 0;
    virtual HRESULT GetMarker(LONG index, LONG *marker) = 0;

    static constexpr Guid IID = platform::guidOf("{08710662-608F-11D0-9CE0-0000E81C19AF}");
};

// Hands out new data sets and channels.
class TalvorDataFactory : public platform::IUnknown {
public:
    // kind is -1 for a plain data set; other kinds are not known (E_INVALIDARG).
    virtual HRESULT CreateDatas(LONG kind, TalvorDatas **datas) = 0;
    // (0, 0) for a plain channel; other values are not known (E_INVALIDARG).
    virtual HRESULT CreateChannel(LONG kind, LONG options, TalvorChannel **channel) = 0;

    static constexpr Guid IID = platform::guidOf("{65F81020-5E6A-11D0-9CDD-0000E81C19AF}");
};

// Points by identifier and the connections drawn between them. A connection's second
// value is a point identifier, or, when negative, the radius of a circle around the first.
class TalvorSpec : public platform::IUnknown {
public:
    virtual HRESULT GetPointCount(LONG *count) = 0;
    virtual HRESULT GetPointId(LONG index, LONG *id) = 0;
    // E_INVALIDARG (index -1) for an identifier that is not in the layout.
    virtual HRESULT GetPointIndex(LONG id, LONG *index) = 0;
    virtual HRESULT GetConnectionCount(LONG *count) = 0;
    virtual HRESULT GetConnection(LONG index, LONG *first, LONG *second, COLORREF *color) = 0;
    // Filling a layout. Identifiers are unique: adding a known one again gives S_FALSE and
    // changes nothing. A connection may name points not (yet) in the layout; drawing skips
    // what it cannot find. A calibration's own layout refuses AddPoint and Clear
    // (E_ACCESSDENIED): its points, and so their indices, are the calibration's.
    virtual HRESULT AddPoint(LONG id) = 0;
    virtual HRESULT AddConnection(LONG first, LONG second, COLORREF color) = 0;
    virtual HRESULT Clear() = 0;

    static constexpr Guid IID = platform::guidOf("{08710612-608F-11D0-9CE0-0000E81C19AF}");
};

// Item kinds and their geometry, in image pixels.
enum ItemKind : LONG {
    ItemLines = 1,  // a line from the first to the second point
    ItemBox = 2,    // a rectangle spanning the two points
    ItemCircle = 3, // an ellipse inscribed in the rectangle of the two points
    ItemCross = 6,  // a cross centred at the first point, each arm `size` pixels long
};

// One overlay item. Style = line width code (0, 2, ..., 12; pen width code / 2 + 1 screen
// pixels) plus 1 for a filled box or circle. Colours are 0x00BBGGRR.
class TalvorGraphicItem : public platform::IUnknown {
public:
    virtual HRESULT GetKind(LONG *kind) = 0;
    virtual HRESULT SetStyle(LONG style) = 0;
    virtual HRESULT GetStyle(LONG *style) = 0;
    virtual HRESULT SetPoint1(float x, float y) = 0;
    virtual HRESULT GetPoint1(float *x, float *y) = 0;
    virtual HRESULT SetPoint2(float x, float y) = 0;
    virtual HRESULT GetPoint2(float *x, float *y) = 0;
    virtual HRESULT SetSize(float size) = 0;
    virtual HRESULT GetSize(float *size) = 0;
    virtual HRESULT SetLineColor(COLORREF color) = 0;
    virtual HRESULT GetLineColor(COLORREF *color) = 0;
    virtual HRESULT SetFillColor(COLORREF color) = 0;
    virtual HRESULT GetFillColor(COLORREF *color) = 0;
    // `ID` is the number the item is filed under; `Color` is the line colour.
    virtual HRESULT SetID(LONG id) = 0;
    virtual HRESULT GetID(LONG *id) = 0;
    virtual HRESULT SetColor(COLORREF color) = 0;
    virtual HRESULT GetColor(COLORREF *color) = 0;
    virtual HRESULT SetVisible(BOOL visible) = 0;
    virtual HRESULT GetVisible(BOOL *visible) = 0;
    // Paints the item when visible; see TalvorGraphicItems::Draw for the arguments.
    virtual HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, float scale,
                         float hOffset, float vOffset, LONG videoWidth, LONG videoHeight) = 0;

    static constexpr Guid IID = platform::guidOf("{4C77054D-CC9A-481E-A9D1-0A6185230EE6}");
};

// The overlay items of one view, found by the number they are filed under.
class TalvorGraphicItems : public platform::IUnknown {
public:
    // A new visible item of kind 1, 2, 3 or 6 with number 0, appended and returned.
    virtual HRESULT Add(LONG kind, TalvorGraphicItem **item) = 0;
    // Gives the item the number; an item not yet in the collection is appended.
    virtual HRESULT FileItem(TalvorGraphicItem *item, LONG number) = 0;
    virtual HRESULT Remove(LONG number) = 0;
    virtual HRESULT Show(LONG number, BOOL visible) = 0;
    virtual HRESULT GetCount(LONG *count) = 0;
    // index runs from 1 to the count.
    virtual HRESULT GetItem(LONG index, TalvorGraphicItem **item) = 0;
    virtual HRESULT Clear() = 0;
    // Paints the visible items in order, clipped to target. An image point x lands at
    // window x * scale + trunc(zoom * 0.005) - hOffset (zoom = scale * 100), plus 0.5 and
    // rounded down; likewise y. The frame and the video size do not change the items.
    virtual HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, float scale,
                         float hOffset, float vOffset, LONG videoWidth, LONG videoHeight) = 0;

    static constexpr Guid IID = platform::guidOf("{822A33B0-DF30-11D0-AB20-0000E81C19AF}");
};

// The 2-D calibration: two reference points (fractions of the image size), a distance in
// a unit and an aspect factor map image fractions to real coordinates with the origin at
// reference point 0, x to the right and y upwards (docs/datalib.md).
class TalvorCal2D : public platform::IUnknown {
public:
    // Parameter 1 is the unit code (as SetUnit); other parameters are kept only.
    virtual HRESULT SetParameter(LONG index, LONG value) = 0;
    virtual HRESULT GetParameter(LONG index, LONG *value) = 0;
    // The reference distance (index 0 only) in the unit; its magnitude is used.
    virtual HRESULT SetDistance(LONG index, double distance) = 0;
    virtual HRESULT GetDistance(LONG index, double *distance) = 0;
    // Calibrated coordinates of reference point 0; (0, 0) puts the origin on it.
    virtual HRESULT SetOrigin(double x, double y) = 0;
    virtual HRESULT GetOrigin(double *x, double *y) = 0;
    // (width - 1) / width of the video; kept for callers, not part of the transform.
    virtual HRESULT SetWidthRatio(double ratio) = 0;
    virtual HRESULT GetWidthRatio(double *ratio) = 0;
    // Reference points 0 and 1 as fractions of the image width / height; kMissing
    // (or less) marks a point that is not set.
    virtual HRESULT SetPointX(LONG index, double x) = 0;
    virtual HRESULT SetPointY(LONG index, double y) = 0;
    virtual HRESULT GetPointX(LONG index, double *x) = 0;
    virtual HRESULT GetPointY(LONG index, double *y) = 0;
    // 1 = m, 2 = cm, 3 = mm; the results are in the unit of the distance.
    virtual HRESULT SetUnit(SHORT unit) = 0;
    virtual HRESULT GetUnit(SHORT *unit) = 0;
    // Real width of the picture over its real height, > 0.
    virtual HRESULT SetAspect(float aspect) = 0;
    virtual HRESULT GetAspect(float *aspect) = 0;
    // 0 for a usable calibration, else one of the Cal2DState codes.
    virtual HRESULT GetState(LONG *state) = 0;
    // Fractions to calibrated coordinates; *status is the state. Without a usable
    // calibration, or for a missing input, the results are kMissing and the call fails.
    virtual HRESULT Transform(double fx, double fy, double *cx, double *cy, LONG *status) = 0;
    // The two reference points as a layout (identifiers 1 and 2, one connection).
    virtual HRESULT GetSpecification(TalvorSpec **layout) = 0;

    static constexpr Guid IID = platform::guidOf("{6D2EDCEF-DCAA-11D0-AB1A-0000E81C19AF}");
};

enum Cal2DState : LONG {
    Cal2DValid = 0,
    Cal2DPointMissing = 1, // a reference point is not set
    Cal2DNoDistance = 2,   // the distance is 0 or not a number
    Cal2DSamePoints = 3,   // the reference points coincide
    Cal2DBadAspect = 4,    // the aspect factor is not > 0
};

// Hands out 2-D calibration objects.
class TalvorCalFactory : public platform::IUnknown {
public:
    virtual HRESULT CreateCal2D(TalvorCal2D **calibration) = 0;

    static constexpr Guid IID = platform::guidOf("{D9C49FF3-ED1F-11D0-AB52-0000E81C19AF}");
};

// The 3-D calibration: control points with known positions in space (any length unit)
// and their positions in the image (fractions of the image width and height). Its own
// layout names the points (identifier -> index) and connects them for drawing.
class TalvorCal3D : public platform::IUnknown {
public:
    // Adds the point, or moves it when the identifier is known; a new point is appended to
    // the layout, so its index is the number of points before it.
    virtual HRESULT SetPoint(LONG id, double x, double y, double z, double u, double v) = 0;
    virtual HRESULT RemovePoint(LONG id) = 0;
    virtual HRESULT GetPointCount(LONG *count) = 0;
    // By index (0 .. count - 1); E_INVALIDARG and kMissing outside. A coordinate may be
    // kMissing (an image position not measured yet).
    virtual HRESULT GetPointPosition(LONG index, double *x, double *y, double *z) = 0;
    virtual HRESULT GetImagePosition(LONG index, double *u, double *v) = 0;
    // Connections between identifiers (a negative second value is a circle radius).
    virtual HRESULT AddConnection(LONG first, LONG second, COLORREF color) = 0;
    // The points and connections as a layout; a new reference to the calibration's own.
    virtual HRESULT GetSpecification(TalvorSpec **layout) = 0;

    static constexpr Guid IID = platform::guidOf("{DF5B3462-9BD5-11D1-AD33-0000E81C19AF}");
};

// The projection helper: a camera model fitted to a 3-D calibration (the direct linear
// transformation, 11 parameters), projecting points in space to image fractions.
class TalvorProjection : public platform::IUnknown {
public:
    // Fits the model to every calibration point with a 3-D and an image position. Fails
    // (E_FAIL) with fewer than 6 such points or when they do not determine a camera (all
    // in one plane, say); the helper is then uncalibrated. E_POINTER for null.
    virtual HRESULT SetCalibration(TalvorCal3D *calibration) = 0;
    // Image fractions (u, v) of a point in space. E_FAIL, and kMissing, while uncalibrated,
    // for a missing coordinate, and for a point in the camera's focal plane or behind it.
    virtual HRESULT Project(double x, double y, double z, double *u, double *v) = 0;
    // The 11 parameters L1..L11 of u = (L1 x + L2 y + L3 z + L4) / (L9 x + L10 y + L11 z + 1),
    // v = (L5 x + L6 y + L7 z + L8) / (same); E_FAIL while uncalibrated.
    virtual HRESULT GetParameters(double parameters[11]) = 0;
    // Root mean square distance, in image fractions scaled by `width` and `height`
    // (so pixels when they are the image size), between the calibration's image positions
    // and its projected points; E_FAIL while uncalibrated.
    virtual HRESULT GetResidual(double width, double height, double *rms) = 0;

    static constexpr Guid IID = platform::guidOf("{CF3D1BC2-9DFC-11D1-B686-0000E81C1F38}");
};

// What angles and distances draw over the view: image positions (fractions) of point
// identifiers at a frame, read from a data set (components 0 and 1, as the marker data).
// An angle joins three points (arm end, vertex, arm end); a distance two.
// Both draw in the control's image-to-window mapping: with zoom = round(scale * 100), a
// fraction u lands at u * scale * W + trunc(zoom * 0.005) - hOffset (+ 0.5, truncated).
class TalvorAngles : public platform::IUnknown {
public:
    virtual HRESULT SetDatas(TalvorDatas *datas) = 0; // null: nothing to draw
    // Returns the new angle's index in *index (may be null).
    virtual HRESULT Add(LONG first, LONG vertex, LONG second, COLORREF color, LONG *index) = 0;
    virtual HRESULT Remove(LONG index) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT GetCount(LONG *count) = 0;
    // The angle at the vertex in degrees, 0 .. 180, measured in the image with the aspect of
    // a W x H image; E_FAIL and kMissing when a point is missing or an arm has no length.
    virtual HRESULT GetAngle(LONG index, LONG frame, LONG width, LONG height, double *degrees) = 0;
    // Both arms, an arc at the vertex and the value in degrees beside it.
    virtual HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, LONG width,
                         LONG height, float scale, float hOffset, float vOffset) = 0;

    static constexpr Guid IID = platform::guidOf("{F6F3A991-B55E-11D0-AA98-0000E81C19AF}");
};

class TalvorDistances : public platform::IUnknown {
public:
    virtual HRESULT SetDatas(TalvorDatas *datas) = 0; // null: nothing to draw
    // With a usable 2-D calibration lengths are in its unit, else in image pixels.
    virtual HRESULT SetCalibration(TalvorCal2D *calibration) = 0;
    virtual HRESULT Add(LONG first, LONG second, COLORREF color, LONG *index) = 0;
    virtual HRESULT Remove(LONG index) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT GetCount(LONG *count) = 0;
    // E_FAIL and kMissing when a point is missing.
    virtual HRESULT GetLength(LONG index, LONG frame, LONG width, LONG height, double *length) = 0;
    // The line with small end ticks and its length beside its middle.
    virtual HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, LONG width,
                         LONG height, float scale, float hOffset, float vOffset) = 0;

    static constexpr Guid IID = platform::guidOf("{7DFCDE02-0273-11D1-AB80-0000E81C19AF}");
};

} // namespace datalib
