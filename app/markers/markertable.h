// The marker table `lvwPoints`: one row per marker, in creation order, with the marker's
// name, its position and rotation at the current frame, and its number in the row's tag.
// Positions show as whole pixels, or with two decimals in the calibration's unit while a
// calibration is in force.
#pragma once

#include "platform/wintypes.h"

#include <QString>

#include <optional>
#include <utility>

namespace markers {

class MarkerController;

class MarkerTable {
public:
    explicit MarkerTable(MarkerController &markers);

    // The numeric value of the row's tag rounded to an integer; 0 (no marker) when the tag
    // holds no number.
    platform::LONG markerNumberOfRow(int row) const;
    // The marker of the selected row; nothing when no row is selected.
    std::optional<platform::LONG> selectedMarker() const;
    // The first row of marker N; -1 when it has none.
    int rowOfMarker(platform::LONG marker) const;
    // Resource 1044 and the number: "Point 3".
    QString markerName(platform::LONG marker) const;

    // A row at the end for marker N at pixel position (x, y), selected: its name, the icon of
    // the current tracking mode, the position cells and a Rotation of "0".
    void addRow(platform::LONG marker, double x, double y);

    // True when the calibration object holds a usable calibration.
    bool calibrated() const;
    // The X and Y texts of a point given as fractions of the video width and height.
    std::pair<QString, QString> positionTexts(double fractionX, double fractionY) const;
    // The three value cells of a row: the point as fractions, the angle with two decimals.
    void setValueCells(int row, double fractionX, double fractionY, double angle);

    // Every row's background becomes its marker's colour (`MarkerColor` at frame 0), then
    // the columns are sized to their content. Out of the report view, or when a colour
    // cannot be read, the bands are removed instead.
    void paintRowBands();

    // The separator of the calibrated and angle cells (the user's, unless a test sets one).
    void setDecimalSeparator(const QString &separator) { m_separator = separator; }
    QString decimal(double value) const;

private:
    MarkerController &m_markers;
    QString m_separator;
};

} // namespace markers
