#include "app/shell/markertablewidget.h"

#include <QPainter>

namespace shell {

MarkerTableWidget::MarkerTableWidget(QWidget *parent) : QTreeWidget(parent) {}

void MarkerTableWidget::setRowBands(std::vector<QColor> bands) {
    m_bands = std::move(bands);
    viewport()->update();
}

void MarkerTableWidget::drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const {
    // The band spans the row's full width, also beyond the last column; the selection is
    // drawn over it as usual.
    const auto row = static_cast<std::size_t>(index.row());
    if (!index.parent().isValid() && row < m_bands.size() && m_bands[row].isValid())
        painter->fillRect(QRect(0, option.rect.top(), viewport()->width(), option.rect.height()),
                          m_bands[row]);
    QTreeWidget::drawRow(painter, option, index);
}

} // namespace shell
