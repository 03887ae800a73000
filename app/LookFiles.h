#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/DocumentCells.h"
#include "app/LookRecipes.h"
#include "grading/LookDocument.h"

class QMenu;
class QWidget;
class TGradingSession;
class TLibraryPanel;

// Save Look, Open Look and Recent Looks of the File menu: the current look
// and the snapshots A..D as a look document, and a document's looks put in
// their place on the current frame. A document's reference is the library
// file with the same content (or the same name and cell); where the library
// has none, the look is built from the document's own cell.
class TLookFiles : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxRecent = 8;

    TLookFiles(TGradingSession& state, TLibraryPanel& library, QWidget* window);

    // The cell a look's reference is built from: the library's, else the
    // cell of an opened document; nullptr for neither.
    const TImage* CellOf(const QString& reference) const;
    // What the status line calls a reference: its caption, with
    // " (from the look)" for a document's cell.
    static QString Caption(const QString& reference);

    // The current look and the snapshots as a document.
    TLookDocument Document() const;
    // Writes the document; the file joins Recent Looks.
    void Save(const QString& file);
    // Reads a document and restores its looks as one undo step; the file
    // joins Recent Looks. EError naming the file for a document that does
    // not read; the looks held stay as they were.
    void Open(const QString& file);
    // Restores the document's looks as one undo step.
    void Apply(const TLookDocument& document);

    // The dialogs' part of Save Look… and Open Look….
    void SaveClick();
    void OpenClick();
    // The Recent Looks submenu, filled each time it opens; a file no longer
    // there is taken off the list when chosen, with a message.
    QMenu* RecentMenu() const { return recentMenu_; }
    static QStringList Recent();
    void OpenRecent(const QString& file);

signals:
    // A look document was opened or saved (the session follows).
    void Opened(const QString& file);

private:
    static void Remember(const QString& file);
    static void Forget(const QString& file);
    void FillRecent();
    // The reference a recipe's look chooses.
    QString ReferenceOf(const TLookRecipe& recipe);
    TReferenceSource Sources() const;

    TGradingSession& state_;
    TLibraryPanel& library_;
    QWidget* window_;
    TDocumentCells cells_;
    QMenu* recentMenu_;
};
