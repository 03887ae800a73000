#pragma once
#include <QString>

#include "grading/GradingSession.h"

class QListWidget;
class QListWidgetItem;

// The reference the user chose in the library list, held by its library file
// rather than by its row, so that sorting, renaming and rescanning the list
// cannot swap it for another. The choice is the grading state's reference,
// which the viewer, Save Graded Image and the look export all read; the
// list's highlight only shows it.
class TReferenceChoice {
public:
    // fileRole: the item data role that holds an item's library file.
    TReferenceChoice(QListWidget* list, int fileRole, TGradingSession& state)
        : list_(list), fileRole_(fileRole), state_(state) {}

    bool Empty() const { return File().isEmpty(); }
    const QString& File() const { return state_.Reference(); }
    void Choose(const QString& file) { state_.SetReference(file); }
    void Clear() { state_.SetReference(QString()); }
    // A library file was renamed: a choice of it follows the new name.
    void Renamed(const QString& from, const QString& to);

    // The list item of the chosen file, or nullptr (nothing chosen, or the
    // item is not in the list at the moment).
    QListWidgetItem* Item() const;
    // The file of an item of the list.
    QString FileOf(const QListWidgetItem* item) const;
    // Highlights the chosen item and nothing else, without the list's
    // selection signal: showing the choice is no new choice.
    void Show() const;

private:
    QListWidget* list_;
    int fileRole_;
    TGradingSession& state_;
};
