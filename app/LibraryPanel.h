#pragma once
#include <QIcon>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/ReferenceChoice.h"
#include "engine/picture/Image.h"
#include "library/ReferenceLibrary.h"

class QAction;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QWidget;
class TDisplayTransform;
class TGradingSession;

// The reference library on screen: the list lvwRefs with its
// thumbnails (imlRefs), its menu pmnRefs and the adding, renaming and
// deleting of library files. The chosen reference is the grading state's.
class TLibraryPanel : public QObject {
    Q_OBJECT
public:
    // Item data of lvwRefs: the library file the item stands for and the
    // index of its cell in imlRefs.
    static constexpr int kFileNameRole = Qt::UserRole;
    static constexpr int kImageIndexRole = Qt::UserRole + 1;

    // The list goes into listParent; window is the parent of the menu and
    // of the dialogs. The session regrades when the chosen reference's look
    // must be built afresh or nothing is chosen any more.
    TLibraryPanel(const std::string& folder, TGradingSession& state, QWidget* window, QWidget* listParent);
    ~TLibraryPanel() override;

    // The menu pmnRefs and the list's own handlers.
    void CreateMenu();
    void ScanLibrary();
    // Appends the cell of a library file to imlRefs; returns its index.
    int MakeThumbnail(const std::string& fileName);
    void AddClick();
    void AddToLibrary(const QStringList& files);
    void RenameClick();
    // A caption typed in the list: renames the item's file and shows the new
    // caption, or raises EError and leaves file and caption as they were.
    void Edited(QListWidgetItem* item, const QString& caption);
    // Moves the chosen reference's file to the trash after asking; the list
    // may then choose a neighbour. DeletingReference comes before,
    // ReferenceDeleted after.
    void DeleteClick();
    // Undo and Redo of a deletion: the file comes back from the trash to
    // its place in the list (nothing is chosen by that), or goes to the
    // trash again without another reference being chosen.
    void RestoreDeleted(const QString& file);
    void DeleteAgain(const QString& file);
    // What the status line says after a deletion: the file moved to the
    // trash and the reference that grades now (or that none does); and
    // after it was brought back.
    static QString DeletedMessage(const QString& file, const QString& now);
    static QString RestoredMessage(const QString& file);
    // Files dropped on the list: pictures and look documents join the library.
    void Drop(const QStringList& files);
    // The thumbnails are drawn through this transform (before the first
    // scan), and drawn again when it changed.
    void SetDisplay(const TDisplayTransform* display) { display_ = display; }
    void ShowThumbnails();
    // The list as one row (or, docked at a side, one column) of thumbnails,
    // or as a grid that wraps them; vertical gives the column.
    void SetStrip(bool strip, bool vertical);
    bool Strip() const { return strip_; }
    // The height of a row of thumbnails, or the width of a column.
    int StripExtent(bool vertical) const;
    QAction* AddAction() const { return miAddImagesToLibrary_; }
    QAction* RenameAction() const { return miRenameImage_; }
    QAction* DeleteAction() const { return miDeleteImage_; }

    // The item the list highlights (the chosen one, save in the moment the
    // user's click moves the highlight, or a look document's entry just opened).
    QListWidgetItem* HighlightedItem() const;
    // The item Rename and Delete act on: a highlighted look document's
    // entry, else the chosen reference's.
    QListWidgetItem* ActedItem() const;
    // Highlights the item alone, which chooses nothing.
    void ShowItem(QListWidgetItem* item);
    // The highlight moved to an item: that reference is chosen, in place of
    // a previewed LUT file, and the session regrades. The user's clicks never
    // take the highlight away; when the program does, nothing is chosen any
    // more. A look document's entry is announced by LookChosen and stays
    // highlighted for Rename and Delete.
    void HighlightChanged();
    // A look was restored (undo, a snapshot, a document): the list shows the
    // session's chosen reference, or clears a choice it no longer holds.
    void ShowRestoredChoice();
    // Nothing is chosen any more, and the list shows it.
    void ClearSelection();
    TReferenceChoice& Choice() { return *choice_; }
    // The cell of the chosen reference, or nullptr.
    const TImage* ChosenCell() const;
    // The cell of a library file in the list, or nullptr.
    const TImage* CellOf(const QString& file) const;

    QListWidget* List() const { return lvwRefs_; }
    QMenu* Menu() const { return pmnRefs_; }
    const std::string& Folder() const { return library_.Folder(); }
    const std::vector<TImage>& Cells() const { return imlRefs_; }

signals:
    // The chosen reference's file is about to go to the trash.
    void DeletingReference(const QString& file);
    // It went; `now` is the reference chosen in its place (empty: none).
    void ReferenceDeleted(const QString& file, const QString& now);
    // A deleted file came back (undo of its deletion).
    void ReferenceRestored(const QString& file);
    // A look document's entry was highlighted: the document at this path opens.
    void LookChosen(const QString& file);

private:
    void CreateList(QWidget* parent);
    // A list item for a library file whose cell is imlRefs_[index].
    QListWidgetItem* NewItem(const std::string& name, int index) const;
    // Moves a library file to the trash, remembering where it went.
    void Trash(const QString& file);

    void AddOneToLibrary(const QString& file, bool& stop);
    void SortList();
    // The thumbnail of cell `index`, marked as a look document's.
    QIcon Thumbnail(int index, bool look) const;

    // False from the start of the destructor on (see the caption editor).
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    TReferenceLibrary library_;
    std::vector<TImage> imlRefs_;
    QWidget* window_;
    const TDisplayTransform* display_ = nullptr;
    TGradingSession& state_;
    bool scanning_ = false;
    bool rescanWanted_ = false;
    bool strip_ = false;
    QListWidget* lvwRefs_ = nullptr;
    std::unique_ptr<TReferenceChoice> choice_;
    QMenu* pmnRefs_ = nullptr;
    QAction* miAddImagesToLibrary_ = nullptr;
    QAction* miRenameImage_ = nullptr;
    QAction* miDeleteImage_ = nullptr;
    // Library files moved to the trash by this window, with where they went
    // there, latest last.
    std::vector<std::pair<std::string, std::string>> trashed_;
};
