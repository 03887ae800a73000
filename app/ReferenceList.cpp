#include "app/ReferenceList.h"

// The user's clicks and keys only move the highlight to an item, never take
// it away: an empty place (no item) and a deselecting click do nothing.
QItemSelectionModel::SelectionFlags TReferenceList::selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (!index.isValid() || !command.testFlag(QItemSelectionModel::Select)) return QItemSelectionModel::NoUpdate;
    return command;
}

void TReferenceList::keyboardSearch(const QString&) {}
