#pragma once
#include <QIcon>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ReferenceChoice.h"
#include "engine/Image.h"
#include "library/ReferenceLibrary.h"

class QAction;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QWidget;
class TDisplayTransform;
class TGradingState;

// The reference library as the window shows it: the list lvwRefs with its
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
    // of the dialogs. regrade is called when the chosen reference's look
    // must be built afresh or nothing is chosen any more.
    TLibraryPanel(const std::string& folder, TGradingState& state, QWidget* window, QWidget* listParent,
                  std::function<void()> regrade);
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
    void DeleteClick();
    // Files dropped on the list: pictures join the library.
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
    // user's click moves the highlight).
    QListWidgetItem* HighlightedItem() const;
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

private:
    void CreateList(QWidget* parent);

    void AddOneToLibrary(const QString& file, bool& stop);
    void SortList();
    QIcon Thumbnail(int index) const;

    // False from the start of the destructor on (see the caption editor).
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    TReferenceLibrary library_;
    std::vector<TImage> imlRefs_;
    QWidget* window_;
    const TDisplayTransform* display_ = nullptr;
    std::function<void()> regrade_;
    bool scanning_ = false;
    bool rescanWanted_ = false;
    bool strip_ = false;
    QListWidget* lvwRefs_ = nullptr;
    std::unique_ptr<TReferenceChoice> choice_;
    QMenu* pmnRefs_ = nullptr;
    QAction* miAddImagesToLibrary_ = nullptr;
    QAction* miRenameImage_ = nullptr;
    QAction* miDeleteImage_ = nullptr;
};
