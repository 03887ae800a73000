#pragma once
#include <QListWidget>

// The reference library list: single selection that the user's clicks never
// empty. A click on empty space or a Ctrl+click on the highlighted item keeps
// the highlight, as file managers do; only another item changes it. Typed
// letters never choose a reference (no type-ahead): a key meant for something
// else must not change the grade.
class TReferenceList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

    void keyboardSearch(const QString& search) override;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override;
};
