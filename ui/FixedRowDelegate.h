#pragma once

#include <QStyledItemDelegate>

namespace zintrel {

// Draws items as usual in rows of one fixed height.
class FixedRowDelegate : public QStyledItemDelegate {
public:
    FixedRowDelegate(int rowHeight, QObject* parent);
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_rowHeight;
};

} // namespace zintrel
