#include "app/PositionEditor.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <algorithm>

void TPositionEditor::CreateEditor(QWidget* parent) {
    editor_ = new QLineEdit(parent);
    editor_->setObjectName("edtPosition");
    editor_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Digits with a sign and a percent sign; letters cannot be typed.
    editor_->setValidator(new QRegularExpressionValidator(QRegularExpression(R"(\s*-?\d{0,6}\s*%?\s*)"), editor_));
    editor_->installEventFilter(this);
    connect(editor_, &QLineEdit::editingFinished, this, [this] { Close(true); });
}

void TPositionEditor::Open(QSlider* bar, QLabel* label) {
    if (!editor_) CreateEditor(label->parentWidget());
    bar_ = bar;
    editor_->setParent(label->parentWidget());
    // Over the label and reaching left into the bar, wide enough for a value.
    const QFontMetrics metrics(editor_->font());
    const int width =
        std::max(label->width(), metrics.horizontalAdvance(QStringLiteral("-0000%")) + editor_->sizeHint().width() / 4);
    const QRect at = label->geometry();
    editor_->setGeometry(at.right() + 1 - width, at.top(), width, at.height());
    editor_->setText(QString::number(bar->value()));
    editor_->selectAll();
    editor_->show();
    editor_->raise();
    editor_->setFocus();
}

void TPositionEditor::Close(bool take) {
    if (!bar_) return;
    QSlider* bar = bar_;
    bar_ = nullptr;
    bool number = false;
    const int typed = editor_->text().remove('%').trimmed().toInt(&number);
    editor_->hide();
    bar->setFocus();
    if (take && number) bar->setValue(std::clamp(typed, bar->minimum(), bar->maximum()));
}

bool TPositionEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Close(false);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
