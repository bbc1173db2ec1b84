#include "gui/CutTextTip.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

namespace korvel {

QString CutTextTipDelegate::CutText(const QStyleOptionViewItem& option, const QModelIndex& index,
                                    const QWidget* widget) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (!(opt.features & QStyleOptionViewItem::HasDisplay) || opt.text.isEmpty()) return QString();
    const QStyle* style = widget ? widget->style() : QApplication::style();
    // The text area as the style draws it: the cell less its picture and text margins.
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const int available = textRect.width() - 2 * margin;
    const QString line = QString(opt.text).replace(QLatin1Char('\n'), QChar::LineSeparator);
    if (opt.fontMetrics.horizontalAdvance(line) <= available) return QString();
    return opt.text;
}

bool CutTextTipDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) {
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    // The model's own tooltip (why a row is marked) first, then the cut text.
    const QString own = index.data(Qt::ToolTipRole).toString();
    const QString cut = CutText(option, index, view);
    const QString text = own.isEmpty() ? cut : cut.isEmpty() ? own : own + QStringLiteral("\n\n") + cut;
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(event->globalPos(), text, view->viewport(), view->visualRect(index));
    return true;
}

}  // namespace korvel
