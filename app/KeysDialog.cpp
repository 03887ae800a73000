#include "app/KeysDialog.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/MenuBar.h"

namespace {

// The frame bar takes these keys while a clip is open, wherever the focus
// is in the window, except in a text field.
const struct {
    const char* What;
    const char* Keys;
} kFrameBarKeys[] = {
    {"Clip: previous / next frame", "Left / Right"},     {"Clip: one second back / on", "Shift+Left / Shift+Right"},
    {"Clip: first / last frame", "Home / End"},          {"Clip: play or stop", "Space"},
    {"Clip: play backwards / stop / play", "J / K / L"},
};

}  // namespace

TKeysDialog::TKeysDialog(const QList<QAction*>& actions, QWidget* parent) : QDialog(parent) {
    setObjectName("frmKeys");
    setWindowTitle("Keys");
    auto* column = new QVBoxLayout(this);
    auto* note = new QLabel(
        "A new preview (opened, pasted, dropped or a new clip) is graded at once with the "
        "look as it stands: the chosen reference or the previewed LUT file stays.",
        this);
    note->setObjectName("lblKeysNote");
    note->setWordWrap(true);
    column->addWidget(note);
    table_ = new QTableWidget(0, 2, this);
    table_->setObjectName("tblKeys");
    table_->setHorizontalHeaderLabels({"Action", "Keys"});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    column->addWidget(table_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    resize(460, 560);
    Fill(actions);
}

void TKeysDialog::Fill(const QList<QAction*>& actions) {
    table_->setRowCount(0);
    for (const QAction* action : actions) {
        QStringList keys;
        for (const QKeySequence& sequence : action->shortcuts()) keys << sequence.toString(QKeySequence::NativeText);
        AddRow(PlainActionText(*action), keys.join(", "));
    }
    for (const auto& key : kFrameBarKeys) AddRow(key.What, key.Keys);
}

void TKeysDialog::AddRow(const QString& what, const QString& keys) {
    const int row = table_->rowCount();
    table_->insertRow(row);
    table_->setItem(row, 0, new QTableWidgetItem(what));
    table_->setItem(row, 1, new QTableWidgetItem(keys));
}
