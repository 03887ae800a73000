#include "app/ScopeView.h"

#include <QPainter>

TScopeView::TScopeView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 120);
}

void TScopeView::SetDrawing(const QImage& drawing) {
    drawing_ = drawing;
    update();
}

void TScopeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(8, 8, 8));
    if (!drawing_.isNull())
        painter.drawImage((width() - drawing_.width()) / 2, (height() - drawing_.height()) / 2, drawing_);
}

void TScopeView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (OnResize) OnResize();
}
