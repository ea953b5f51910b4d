// The marker table `lvwPoints`: a report list whose rows can carry background bands (each
// row in its marker's colour, across the whole width of the table).
#pragma once

#include <QColor>
#include <QTreeWidget>

#include <vector>

namespace shell {

class MarkerTableWidget : public QTreeWidget {
public:
    explicit MarkerTableWidget(QWidget *parent = nullptr);

    // One colour per row in row order; rows beyond the list and an empty list get none.
    void setRowBands(std::vector<QColor> bands);
    const std::vector<QColor> &rowBands() const { return m_bands; }

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                 const QModelIndex &index) const override;

private:
    std::vector<QColor> m_bands;
};

} // namespace shell
