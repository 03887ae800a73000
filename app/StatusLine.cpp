#include "app/StatusLine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStringList>

namespace {

const QString kSeparator = QStringLiteral("   |   ");

}  // namespace

TStatusLine::TStatusLine(QWidget* parent) : QWidget(parent) {
    setObjectName("pnlStatusLine");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    label_ = new QLabel(this);
    label_->setObjectName("lblStatusLine");
    // A long file name never widens the window: the line is elided in the
    // middle instead, and its tool tip holds the whole text.
    label_->setMinimumWidth(0);
    label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(label_);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    SetPositions(TLookPositions());
}

void TStatusLine::SetFrame(const QString& fileName, QSize size) {
    hasFrame_ = true;
    frame_ = fileName;
    frameSize_ = size;
    Show();
}

void TStatusLine::SetInterlaced(bool interlaced) {
    interlaced_ = interlaced;
    Show();
}

void TStatusLine::SetLook(const QString& reference, const QString& lut) {
    reference_ = reference;
    lut_ = lut;
    Show();
}

void TStatusLine::SetPositions(const TLookPositions& positions) {
    positions_.clear();
    for (const TLookControl& control : LookControls())
        if (control.Status) positions_ << QString(control.Status).arg(positions.*control.Position);
    Show();
}

void TStatusLine::SetBypass(bool bypass) {
    bypass_ = bypass;
    Show();
}

void TStatusLine::SetComparison(const QString& snapshot) {
    comparison_ = snapshot;
    Show();
}

void TStatusLine::SetZoom(int percent) {
    zoom_ = percent;
    Show();
}

QString TStatusLine::Text() const { return text_; }

void TStatusLine::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Fit();
}

void TStatusLine::Fit() {
    label_->setText(label_->fontMetrics().elidedText(text_, Qt::ElideMiddle, label_->contentsRect().width()));
}

void TStatusLine::Show() {
    QStringList parts;
    if (hasFrame_) {
        const QString name = frame_.isEmpty() ? QStringLiteral("pasted picture") : frame_;
        parts << QStringLiteral("%1 %2 x %3").arg(name).arg(frameSize_.width()).arg(frameSize_.height());
        if (interlaced_) parts << QStringLiteral("interlaced");
    } else {
        parts << QStringLiteral("no frame");
    }
    if (!lut_.isEmpty())
        parts << QStringLiteral("LUT preview: ") + lut_;
    else if (!reference_.isEmpty())
        parts << QStringLiteral("reference: ") + reference_;
    else
        parts << QStringLiteral("no reference");
    parts << positions_;
    if (bypass_) parts << QStringLiteral("bypass");
    if (!comparison_.isEmpty()) parts << QStringLiteral("split against snapshot ") + comparison_;
    if (zoom_ > 0) parts << QStringLiteral("zoom %1%").arg(zoom_);
    text_ = parts.join(kSeparator);
    label_->setToolTip(text_);
    Fit();
}
