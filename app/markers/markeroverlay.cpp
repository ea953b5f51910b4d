#include "app/markers/markeroverlay.h"

#include "app/common/settings.h"
#include "app/markers/markercontroller.h"
#include "control/cvviewctrl.h"

#include <algorithm>
#include <cstdint>

namespace markers {

using platform::ComPtr;
using platform::LONG;

namespace {

constexpr datalib::ItemKind kBox = datalib::ItemBox;
constexpr datalib::ItemKind kCross = datalib::ItemCross;
constexpr float kCrossSize = 3.0f;
constexpr platform::COLORREF kGreen = 65280;

float single(double value) {
    return static_cast<float>(value);
}

} // namespace

ComPtr<datalib::TalvorGraphicItem> addGraphicItem(datalib::TalvorGraphicItems *items, LONG kind,
                                                  LONG number) {
    if (!items)
        return {};
    datalib::TalvorGraphicItem *raw = nullptr;
    if (platform::failed(items->Add(kind, &raw)) || !raw)
        return {};
    auto item = ComPtr<datalib::TalvorGraphicItem>::attach(raw);
    items->FileItem(item.get(), number);
    return item;
}

LONG itemNumber(LONG marker, int offset) {
    return static_cast<LONG>(static_cast<std::uint32_t>(marker) +
                             static_cast<std::uint32_t>(offset));
}

void MarkerOverlay::DrawMarkerSymbol(double x, double y, double r, LONG marker,
                                     platform::COLORREF color, LONG style) {
    datalib::TalvorGraphicItems *items = m_markers.objects.graphicItems.get();
    if (auto box = addGraphicItem(items, kBox, marker)) {
        box->SetPoint1(single(x - r), single(y - r));
        box->SetPoint2(single(x + r), single(y + r));
        box->SetLineColor(color);
        box->SetStyle(style);
    }
    if (auto cross = addGraphicItem(items, kCross, itemNumber(marker, kCrossOffset))) {
        cross->SetStyle(0);
        cross->SetPoint1(single(x), single(y));
        cross->SetSize(kCrossSize);
        cross->SetLineColor(color);
    }
    addPathMark(x, y, marker, color);
    ApplyPathVisibility();
}

void MarkerOverlay::DrawPathMark(double x, double y, double, LONG marker) {
    const MarkerChannels channels = m_markers.store.bind(marker, {Channel::MarkerColor});
    const platform::COLORREF color = channels.has(Channel::MarkerColor) ? channels.color() : kGreen;
    addPathMark(x, y, marker, color);
}

void MarkerOverlay::DrawPath(LONG marker, int exceptFrame) {
    const MarkerChannels ch = m_markers.store.bind(
        marker, {Channel::PosX, Channel::PosY, Channel::PointStatus, Channel::MarkerColor});
    const auto color = ch.color();
    const double w = m_markers.videoWidth(), h = m_markers.videoHeight();
    const int frames = ch.length(Channel::PointStatus);
    for (int f = 0; f < frames; ++f)
        if (f != exceptFrame && ch.get(Channel::PointStatus, f) == 1.0f)
            addPathMark(ch.get(Channel::PosX, f) * w, ch.get(Channel::PosY, f) * h, marker, color);
}

void MarkerOverlay::RebuildPath(LONG marker, int frame) {
    const MarkerChannels ch =
        m_markers.store.bind(marker, {Channel::PosX, Channel::PosY, Channel::PointRadius});
    RemoveMarkerItems(marker);
    const double w = m_markers.videoWidth(), h = m_markers.videoHeight();
    for (int g = 0; g <= frame; ++g)
        DrawPathMark(ch.get(Channel::PosX, g) * w, ch.get(Channel::PosY, g) * h,
                     ch.get(Channel::PointRadius, g), marker);
}

// A new mark is made hidden; the marker's other marks keep their state until visibility is
// applied, which gives all of them one state. (Hiding them all first would change nothing
// that is ever painted, but would touch every mark of a long path twice per frame.)
void MarkerOverlay::addPathMark(double x, double y, LONG marker, platform::COLORREF color) {
    const common::TraceSettings &trace = m_markers.state.trace;
    const double h = common::roundHalfEven(trace.Size / 2.0) + 1;
    auto mark = addGraphicItem(m_markers.objects.graphicItems.get(), trace.Item,
                               itemNumber(marker, kPathOffset));
    if (!mark)
        return;
    mark->SetVisible(0);
    mark->SetStyle(trace.LineWidth + (trace.Filled ? 1 : 0));
    if (trace.Item == kCross)
        mark->SetPoint1(single(x), single(y));
    else
        mark->SetPoint1(single(x - h), single(y - h));
    mark->SetPoint2(single(x + h), single(y + h));
    mark->SetSize(static_cast<float>(trace.Size));
    mark->SetLineColor(color);
    mark->SetFillColor(trace.BackColor);
}

void MarkerOverlay::RemoveMarkerSymbol(LONG marker) {
    if (auto &items = m_markers.objects.graphicItems) {
        items->Remove(marker);
        items->Remove(itemNumber(marker, kCrossOffset));
    }
    QuickRefresh();
}

void MarkerOverlay::RemoveMarkerItems(LONG marker) {
    if (auto &items = m_markers.objects.graphicItems) {
        for (int offset : {0, kCrossOffset, kPathOffset, kReservedOffset})
            items->Remove(itemNumber(marker, offset));
    }
    QuickRefresh();
}

void MarkerOverlay::RecolorMarkerItems(LONG marker, platform::COLORREF color) {
    if (auto &items = m_markers.objects.graphicItems) {
        const LONG numbers[] = {marker, itemNumber(marker, kCrossOffset),
                                itemNumber(marker, kPathOffset),
                                itemNumber(marker, kReservedOffset)};
        LONG count = 0;
        items->GetCount(&count);
        for (LONG i = 1; i <= count; ++i) {
            datalib::TalvorGraphicItem *raw = nullptr;
            if (platform::failed(items->GetItem(i, &raw)) || !raw)
                continue;
            auto item = ComPtr<datalib::TalvorGraphicItem>::attach(raw);
            LONG id = 0;
            item->GetID(&id);
            if (std::find(std::begin(numbers), std::end(numbers), id) != std::end(numbers))
                item->SetColor(color);
        }
    }
    QuickRefresh();
}

void MarkerOverlay::ApplyPathVisibility() {
    if (m_batchDepth > 0) {
        m_visibilityPending = true;
        return;
    }
    applyPathVisibilityNow();
}

void MarkerOverlay::applyPathVisibilityNow() {
    m_visibilityPending = false;
    if (auto &items = m_markers.objects.graphicItems) {
        const bool all = m_markers.state.settings.ShowAutoPath;
        const int frame = m_markers.frame();
        const int rows = m_markers.host.rowCount();
        for (int row = 0; row < rows; ++row) {
            const LONG marker = m_markers.table.markerNumberOfRow(row);
            const bool shown = all || m_markers.store.bind(marker, {Channel::PathVisible})
                                              .get(Channel::PathVisible, frame) == 1.0f;
            items->Show(itemNumber(marker, kPathOffset), shown ? 1 : 0);
        }
    }
    QuickRefresh();
}

void MarkerOverlay::QuickRefresh() {
    m_markers.host.videoView().QuickRefresh();
}

void MarkerOverlay::DrawPressCross(double x, double y) {
    if (auto cross =
            addGraphicItem(m_markers.objects.graphicItems.get(), kCross, kTemporaryMarker)) {
        cross->SetStyle(1);
        cross->SetPoint1(single(x), single(y));
        cross->SetSize(kCrossSize);
        cross->SetLineColor(kGreen);
    }
    QuickRefresh();
}

MarkerOverlay::Batch::Batch(MarkerOverlay &overlay) : m_overlay(overlay) {
    ++m_overlay.m_batchDepth;
}

MarkerOverlay::Batch::~Batch() {
    if (--m_overlay.m_batchDepth == 0 && m_overlay.m_visibilityPending)
        m_overlay.applyPathVisibilityNow();
}

} // namespace markers
