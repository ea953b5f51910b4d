#include "app/markers/markertable.h"

#include "app/common/numbertext.h"
#include "app/common/resources.h"
#include "app/common/settings.h"
#include "app/markers/markercontroller.h"
#include "platform/colorref.h"

#include <cmath>

namespace markers {

using platform::LONG;

namespace {
constexpr int kCellDecimals = 2; // the mask "0.00"
} // namespace

MarkerTable::MarkerTable(MarkerController &markers)
    : m_markers(markers), m_separator(common::userSeparator()) {}

LONG MarkerTable::markerNumberOfRow(int row) const {
    return common::roundHalfEven(common::leadingNumber(m_markers.host.rowTag(row)));
}

std::optional<LONG> MarkerTable::selectedMarker() const {
    const int row = m_markers.host.selectedRow();
    if (row < 0)
        return std::nullopt;
    return markerNumberOfRow(row);
}

int MarkerTable::rowOfMarker(LONG marker) const {
    const int rows = m_markers.host.rowCount();
    for (int row = 0; row < rows; ++row)
        if (markerNumberOfRow(row) == marker)
            return row;
    return -1;
}

QString MarkerTable::markerName(LONG marker) const {
    return common::res(m_markers.state, 1044) + QString::number(marker);
}

QString MarkerTable::decimal(double value) const {
    return common::formatFixed(value, kCellDecimals, m_separator);
}

void MarkerTable::addRow(LONG marker, double x, double y) {
    MarkersHost &host = m_markers.host;
    const MarkerIcon icon = m_markers.state.settings.TrackingMode == common::kTrackingMarkerTracking
                                ? MarkerIcon::MarkerTracking
                                : MarkerIcon::PatternMatching;
    const int row = host.addRow(markerName(marker), icon);
    const double w = m_markers.videoWidth(), h = m_markers.videoHeight();
    const auto [textX, textY] = positionTexts(w > 0 ? x / w : 0.0, h > 0 ? y / h : 0.0);
    host.setCellText(row, Column::X, textX);
    host.setCellText(row, Column::Y, textY);
    host.setCellText(row, Column::Rotation, QStringLiteral("0"));
    host.setRowTag(row, QString::number(marker));
    host.selectRow(row);
}

bool MarkerTable::calibrated() const {
    const auto &calibration = m_markers.state.Calibration;
    LONG state = -1;
    return calibration && platform::succeeded(calibration->GetState(&state)) && state == 0;
}

std::pair<QString, QString> MarkerTable::positionTexts(double fractionX, double fractionY) const {
    if (calibrated()) {
        double cx = 0.0, cy = 0.0;
        LONG status = 0;
        m_markers.state.Calibration->Transform(fractionX, fractionY, &cx, &cy, &status);
        return {decimal(cx), decimal(cy)};
    }
    return {QString::number(common::roundHalfEven(fractionX * m_markers.videoWidth())),
            QString::number(common::roundHalfEven(fractionY * m_markers.videoHeight()))};
}

void MarkerTable::setValueCells(int row, double fractionX, double fractionY, double angle) {
    MarkersHost &host = m_markers.host;
    const auto [textX, textY] = positionTexts(fractionX, fractionY);
    host.setCellText(row, Column::X, textX);
    host.setCellText(row, Column::Y, textY);
    host.setCellText(row, Column::Rotation, decimal(angle));
}

void MarkerTable::paintRowBands() {
    MarkersHost &host = m_markers.host;
    if (!host.tableInReportView()) {
        host.setRowBands({});
        return;
    }
    const int rows = host.rowCount();
    std::vector<QColor> bands;
    bands.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        const MarkerChannels channels =
            m_markers.store.bind(markerNumberOfRow(row), {Channel::MarkerColor});
        const double value = std::nearbyint(channels.get(Channel::MarkerColor, 0));
        // A marker without data, or a colour no colour value can hold, ends the painting
        // and leaves the table without bands.
        if (!channels.has(Channel::MarkerColor) || !(value >= 0.0 && value <= 0xFFFFFF)) {
            host.setRowBands({});
            return;
        }
        bands.push_back(platform::colorFromRef(static_cast<platform::COLORREF>(value)));
    }
    host.setRowBands(bands);
    host.autoSizeColumns();
}

} // namespace markers
