#pragma once
// Tooltips of item views that show a cell's or a tree label's whole text, only when the
// view has cut it (elided to fit its column); a text shown whole gets no tooltip.

#include <QStyledItemDelegate>

namespace korvel {

class CutTextTipDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The whole text of index when it does not fit the text area of option; else empty.
    QString CutText(const QStyleOptionViewItem& option, const QModelIndex& index, const QWidget* widget) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

}  // namespace korvel
