// What the marker work needs from the main window: the working view, the frame scroll bar,
// the marker table `lvwPoints`, the magnifier `imgLupe`, the two popup menus and opening a
// video. The window implements it; tests drive the marker logic through a fake.
#pragma once

#include "platform/com.h"
#include "platform/picture.h"

#include <QColor>
#include <QString>

#include <vector>

class QWidget;

namespace quivex {
class CVViewCtrl;
}

namespace markers {

// Columns of the marker table, in their order.
enum class Column { Name = 0, X = 1, Y = 2, Rotation = 3 };

// Pictures of the table's image list: tracked by pattern matching, by hand, by marker
// tracking.
enum class MarkerIcon { PatternMatching = 16, Manual = 19, MarkerTracking = 20 };

enum class Popup { Video, Table };

// Entries of the table's popup menu whose marks and states the marker work sets.
enum class TableEntry { ShowAllPaths, ShowPathForMarker, TrackManually };

class MarkersHost {
public:
    virtual ~MarkersHost();

    // `qvxVideo`.
    virtual quivex::CVViewCtrl &videoView() = 0;
    // Owner of message boxes and dialogs.
    virtual QWidget *dialogParent() = 0;

    // `hscScroll`: the current frame and the last one.
    virtual int scrollValue() = 0;
    virtual int scrollMaximum() = 0;

    // --- `lvwPoints`, rows by index from 0 in table order. -----------------------------
    virtual int rowCount() = 0;
    // A new row at the end with that text and icon; its index.
    virtual int addRow(const QString &text, MarkerIcon icon) = 0;
    virtual void removeRow(int row) = 0;
    virtual void clearRows() = 0;
    virtual QString rowText(int row) = 0;
    virtual void setRowText(int row, const QString &text) = 0;
    virtual void setRowIcon(int row, MarkerIcon icon) = 0;
    // The row's tag as text; it holds the marker number.
    virtual QString rowTag(int row) = 0;
    virtual void setRowTag(int row, const QString &tag) = 0;
    virtual QString cellText(int row, Column column) = 0;
    virtual void setCellText(int row, Column column, const QString &text) = 0;
    // The selected row, -1 for none; at most one row is selected.
    virtual int selectedRow() = 0;
    virtual void selectRow(int row) = 0;
    virtual void clearSelection() = 0;
    // True while the table shows its report view (the only view with row bands).
    virtual bool tableInReportView() = 0;
    // The background band of every row, in row order; an empty list removes the bands.
    virtual void setRowBands(const std::vector<QColor> &bands) = 0;
    // Every column to the width of its content.
    virtual void autoSizeColumns() = 0;

    // --- `imgLupe`, stretched. ----------------------------------------------------------
    virtual void showMagnifier(const platform::ComPtr<platform::IPicture> &picture) = 0;

    // --- Menus. ----------------------------------------------------------------------------
    virtual void showPopup(Popup popup) = 0;
    virtual void setTableEntryChecked(TableEntry entry, bool checked) = 0;
    virtual void setTableEntryEnabled(TableEntry entry, bool enabled) = 0;

    // --- The video part. -------------------------------------------------------------------
    // `LoadVideo` of the video part (a press on the empty view opens one).
    virtual void LoadVideo(bool showDialog, int mode, float frameRate, int fileCount) = 0;
    // The status bar's zoom and frame panels.
    virtual void UpdateStatusBar() = 0;
};

} // namespace markers
