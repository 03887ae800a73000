#include "app/TabOrder.h"

#include <QWidget>

void ChainTabOrder(const QList<QWidget*>& panels) {
    auto chainOf = [](QWidget* panel) {
        QList<QWidget*> widgets;
        if (panel->focusPolicy() & Qt::TabFocus) widgets << panel;
        for (QWidget* widget = panel->nextInFocusChain(); widget != panel; widget = widget->nextInFocusChain())
            if (panel->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) && !widgets.contains(widget))
                widgets << widget;
        return widgets;
    };
    QList<QWidget*> order;
    for (QWidget* panel : panels) order << chainOf(panel);
    for (int i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}
