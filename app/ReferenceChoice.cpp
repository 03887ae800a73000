#include "app/ReferenceChoice.h"

#include <QListWidget>
#include <QSignalBlocker>

void TReferenceChoice::Renamed(const QString& from, const QString& to) { state_.RenameReference(from, to); }

QListWidgetItem* TReferenceChoice::Item() const {
    if (Empty()) return nullptr;
    for (int i = 0; i < list_->count(); ++i)
        if (FileOf(list_->item(i)) == File()) return list_->item(i);
    return nullptr;
}

QString TReferenceChoice::FileOf(const QListWidgetItem* item) const {
    return item ? item->data(fileRole_).toString() : QString();
}

void TReferenceChoice::Show() const {
    QListWidgetItem* item = Item();
    const QSignalBlocker quiet(list_);
    if (!item) {
        list_->clearSelection();
        return;
    }
    list_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
    list_->scrollToItem(item);
}
