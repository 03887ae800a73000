#include "app/LibraryPanel.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/DocumentCells.h"
#include "app/FileDrop.h"
#include "app/FileFilters.h"
#include "app/NaturalOrder.h"
#include "app/ReferenceList.h"
#include "app/StdText.h"
#include "engine/base/Error.h"
#include "engine/picture/Thumbnail.h"
#include "grading/GradingSession.h"
#include "grading/LookDocument.h"
#include "imageio/ColourProfile.h"
#include "imageio/PictureFormats.h"
#include "imageio/QtImage.h"

namespace {

// Sets a flag for the lifetime of the object.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TFlagGuard() { flag_ = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& flag_;
};

// Suspends a widget's repainting for the lifetime of the object.
class TUpdatesSuspended {
public:
    explicit TUpdatesSuspended(QWidget* widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
    ~TUpdatesSuspended() { widget_->setUpdatesEnabled(true); }
    TUpdatesSuspended(const TUpdatesSuspended&) = delete;
    TUpdatesSuspended& operator=(const TUpdatesSuspended&) = delete;

private:
    QWidget* widget_;
};

// Hands a caption typed in the list to the panel, which renames the file
// first; the caption changes only when the rename succeeded.
class TCaptionDelegate : public QStyledItemDelegate {
public:
    // ownerAlive turns false when the panel starts to go; an editor still
    // open then commits nothing.
    TCaptionDelegate(TLibraryPanel* owner, std::shared_ptr<const bool> ownerAlive, QListWidget* list)
        : QStyledItemDelegate(list), owner_(owner), ownerAlive_(std::move(ownerAlive)), list_(list) {}

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (!*ownerAlive_) return;
        auto* edit = qobject_cast<QLineEdit*>(editor);
        QListWidgetItem* item = list_->item(index.row());
        if (!edit || !item) return;
        try {
            owner_->Edited(item, edit->text());
        } catch (const std::exception& error) {
            // Shown once the editor has closed.
            const QString message = QString::fromStdString(error.what());
            QMetaObject::invokeMethod(
                owner_, [message] { ReportError(EError(ToStd(message))); }, Qt::QueuedConnection);
        }
    }

private:
    TLibraryPanel* owner_;
    std::shared_ptr<const bool> ownerAlive_;
    QListWidget* list_;
};

// The mark of a look document's entry: a folded corner at the top right,
// dark with a light edge, so that it shows on light and dark cells alike.
void DrawLookBadge(QImage& picture) {
    const int size = picture.width() / 5;
    const int right = picture.width() - 1;
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPolygon corner({QPoint(right - size, 0), QPoint(right, 0), QPoint(right, size)});
    painter.setPen(QPen(QColor(255, 255, 255), 2));
    painter.setBrush(QColor(40, 40, 48));
    painter.drawPolygon(corner);
}

}  // namespace

TLibraryPanel::TLibraryPanel(const std::string& folder, TGradingSession& state, QWidget* window, QWidget* listParent)
    : library_(folder), window_(window), state_(state) {
    CreateList(listParent);
    choice_ = std::make_unique<TReferenceChoice>(lvwRefs_, kFileNameRole, state);
    connect(&state_, &TGradingSession::LookRestored, this, &TLibraryPanel::ShowRestoredChoice);
    connect(&state_, &TGradingSession::DeletionUndone, this, &TLibraryPanel::RestoreDeleted);
    connect(&state_, &TGradingSession::DeletionRedone, this, &TLibraryPanel::DeleteAgain);
}

TLibraryPanel::~TLibraryPanel() { *alive_ = false; }

void TLibraryPanel::CreateList(QWidget* parent) {
    lvwRefs_ = new TReferenceList(parent);
    lvwRefs_->setObjectName("lvwRefs");
    lvwRefs_->setViewMode(QListView::IconMode);
    lvwRefs_->setIconSize(QSize(kThumbnailSize, kThumbnailSize));
    lvwRefs_->setResizeMode(QListView::Adjust);
    lvwRefs_->setMovement(QListView::Static);
    lvwRefs_->setWrapping(true);
    lvwRefs_->setWordWrap(true);
    lvwRefs_->setSpacing(4);
    lvwRefs_->setSelectionMode(QAbstractItemView::SingleSelection);
    // A caption is edited on F2 or the menu only: a click on the chosen
    // item again chooses it, it never starts a rename.
    lvwRefs_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    lvwRefs_->setItemDelegate(new TCaptionDelegate(this, alive_, lvwRefs_));
    lvwRefs_->setContextMenuPolicy(Qt::CustomContextMenu);
    lvwRefs_->setMinimumHeight(60);
    // The hint of the list is not shown as a tool tip.
    lvwRefs_->setAccessibleDescription("Library of reference images");
    // The selection stays highlighted when the list loses the focus.
    QPalette palette = lvwRefs_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    lvwRefs_->setPalette(palette);
}

void TLibraryPanel::CreateMenu() {
    pmnRefs_ = new QMenu(window_);
    pmnRefs_->setObjectName("pmnRefs");
    miAddImagesToLibrary_ = pmnRefs_->addAction("Add Images To Library...");
    miAddImagesToLibrary_->setObjectName("miAddImagesToLibrary");
    miAddImagesToLibrary_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    miRenameImage_ = pmnRefs_->addAction("Rename Image");
    miRenameImage_->setObjectName("miRenameImage");
    miRenameImage_->setShortcut(QKeySequence(Qt::Key_F2));
    miDeleteImage_ = pmnRefs_->addAction("Delete Image");
    miDeleteImage_->setObjectName("miDeleteImage");
    miDeleteImage_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    // Deleting works while the list has the keyboard focus (never while a
    // caption is being edited: Ctrl+Del then edits the text); adding and
    // renaming the chosen reference work from anywhere in the window.
    miDeleteImage_->setShortcutContext(Qt::WidgetShortcut);
    miRenameImage_->setShortcutContext(Qt::WindowShortcut);
    miAddImagesToLibrary_->setShortcutContext(Qt::WindowShortcut);
    for (QAction* action : {miAddImagesToLibrary_, miRenameImage_, miDeleteImage_}) lvwRefs_->addAction(action);
    auto guarded = [this](void (TLibraryPanel::*handler)()) {
        return [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); };
    };
    connect(miAddImagesToLibrary_, &QAction::triggered, this, guarded(&TLibraryPanel::AddClick));
    connect(miRenameImage_, &QAction::triggered, this, guarded(&TLibraryPanel::RenameClick));
    connect(miDeleteImage_, &QAction::triggered, this, guarded(&TLibraryPanel::DeleteClick));
    connect(lvwRefs_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmnRefs_->popup(lvwRefs_->viewport()->mapToGlobal(at)); });
    new TFileDropTarget(lvwRefs_->viewport(),
                        [this](const QStringList& files) { RunHandler([this, files] { Drop(files); }); });
}

// ---- library files ------------------------------------------------------

void TLibraryPanel::ScanLibrary() {
    // Events run between files; a scan asked for meanwhile restarts this one.
    if (scanning_) {
        rescanWanted_ = true;
        return;
    }
    TFlagGuard scanning(scanning_);
    QStringList failures;
    do {
        rescanWanted_ = false;
        failures.clear();
        {
            // Emptying the list for the scan is no choice of the user's.
            const QSignalBlocker quiet(lvwRefs_);
            lvwRefs_->clear();
        }
        imlRefs_.clear();
        TUpdatesSuspended suspended(lvwRefs_);
        std::vector<std::string> names = library_.Files();
        // Name order, whatever order the file system enumerates in.
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            const QString captionA = QString::fromStdString(TReferenceLibrary::CaptionOf(a));
            const QString captionB = QString::fromStdString(TReferenceLibrary::CaptionOf(b));
            if (NaturalLess(captionA, captionB)) return true;
            if (NaturalLess(captionB, captionA)) return false;
            return NaturalLess(QString::fromStdString(a), QString::fromStdString(b));
        });
        for (const std::string& name : names) {
            QCoreApplication::processEvents();
            if (rescanWanted_) break;
            int index = -1;
            try {
                index = MakeThumbnail(name);
            } catch (const std::exception& error) {
                // An unreadable file is left out; the scan goes on.
                failures << QString::fromStdString(name) + ": " + QString::fromStdString(error.what());
                continue;
            }
            lvwRefs_->addItem(NewItem(name, index));
        }
    } while (rescanWanted_);
    // The chosen reference stays chosen when it is still there, and its look
    // is built from the file as it is now; gone, nothing is chosen.
    if (!choice_->Empty()) {
        if (!choice_->Item() && !TDocumentCells::IsDocumentReference(choice_->File())) choice_->Clear();
        choice_->Show();
        RunHandler([this] { state_.Regrade(); });
    }
    if (!failures.isEmpty())
        throw EError(ToStd("These files of the library could not be loaded:\n" + failures.join("\n")));
}

QListWidgetItem* TLibraryPanel::NewItem(const std::string& name, int index) const {
    auto* item = new QListWidgetItem(QString::fromStdString(TReferenceLibrary::CaptionOf(name)));
    item->setData(kFileNameRole, QString::fromStdString(name));
    item->setIcon(Thumbnail(index, IsLookDocumentName(name)));
    item->setData(kImageIndexRole, index);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

int TLibraryPanel::MakeThumbnail(const std::string& fileName) {
    imlRefs_.push_back(library_.LoadCell(fileName));
    return static_cast<int>(imlRefs_.size()) - 1;
}

void TLibraryPanel::AddClick() {
    const QStringList files =
        OpenFilesOfKind(TFileKind::Reference, window_, "Add Images To Library", ReferencePictureFilter());
    if (files.isEmpty()) return;
    AddToLibrary(files);
}

void TLibraryPanel::AddToLibrary(const QStringList& files) {
    try {
        TBusyCursor busy;
        bool stop = false;
        for (const QString& file : files) {
            AddOneToLibrary(file, stop);
            if (stop) break;
        }
    } catch (...) {
        // What was written before the failure is shown at once.
        RunHandler([this] { ScanLibrary(); });
        throw;
    }
    ScanLibrary();
}

void TLibraryPanel::AddOneToLibrary(const QString& file, bool& stop) {
    const std::string name = library_.NameForAdd(ToStd(file));
    if (library_.Contains(name)) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        const auto answer =
            Dialogs().Ask(window_,
                          "A library image named \"" + QString::fromStdString(TReferenceLibrary::CaptionOf(name)) +
                              "\" already exists. Replace it?",
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QApplication::restoreOverrideCursor();
        if (answer == QMessageBox::No) return;
        if (answer != QMessageBox::Yes) {
            stop = true;
            return;
        }
        library_.Add(ToStd(file), true);
        return;
    }
    // Not asked, so not allowed to replace: a file of that name that comes
    // into being meanwhile is kept.
    library_.Add(ToStd(file), false);
}

void TLibraryPanel::RenameClick() {
    if (QListWidgetItem* item = ActedItem()) lvwRefs_->editItem(item);
}

QListWidgetItem* TLibraryPanel::ActedItem() const {
    QListWidgetItem* highlighted = HighlightedItem();
    if (highlighted && IsLookDocumentName(ToStd(choice_->FileOf(highlighted)))) return highlighted;
    return choice_->Item();
}

void TLibraryPanel::Edited(QListWidgetItem* item, const QString& caption) {
    const std::string oldName = ToStd(item->data(kFileNameRole).toString());
    if (caption == item->text()) return;
    const std::string newName = library_.Rename(oldName, ToStd(caption));
    item->setData(kFileNameRole, QString::fromStdString(newName));
    item->setText(caption);
    choice_->Renamed(QString::fromStdString(oldName), QString::fromStdString(newName));
    // The new caption takes its place in name order once the editor has closed.
    QMetaObject::invokeMethod(
        this, [this] { SortList(); }, Qt::QueuedConnection);
}

void TLibraryPanel::SortList() {
    // A look document's entry highlighted (just renamed) stays so.
    QListWidgetItem* look = ActedItem();
    if (look && look == choice_->Item()) look = nullptr;
    {
        // Taking the items out and back in is no new choice of the user's,
        // though the list moves its highlight to a neighbour of each item
        // taken out.
        const QSignalBlocker quiet(lvwRefs_);
        std::vector<QListWidgetItem*> items;
        while (lvwRefs_->count() > 0) items.push_back(lvwRefs_->takeItem(0));
        std::stable_sort(items.begin(), items.end(), [](const QListWidgetItem* a, const QListWidgetItem* b) {
            return NaturalLess(a->text(), b->text());
        });
        for (QListWidgetItem* item : items) lvwRefs_->addItem(item);
    }
    choice_->Show();
    if (look) ShowItem(look);
}

void TLibraryPanel::ShowItem(QListWidgetItem* item) {
    const QSignalBlocker quiet(lvwRefs_);
    lvwRefs_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
}

void TLibraryPanel::DeleteClick() {
    QListWidgetItem* item = ActedItem();
    if (!item || lvwRefs_->indexWidget(lvwRefs_->indexFromItem(item))) return;  // caption being edited
    const QString text = "Are you sure you want to remove the \"" + item->text() + "\" image from the library?";
    if (Dialogs().Ask(window_, text, QMessageBox::Yes | QMessageBox::Cancel) != QMessageBox::Yes) return;
    const QString file = choice_->FileOf(item);
    if (IsLookDocumentName(ToStd(file))) {
        // A look document grades nothing by being in the list: it goes alone.
        Trash(file);
        const QSignalBlocker quiet(lvwRefs_);
        delete item;
        return;
    }
    emit DeletingReference(file);
    Trash(file);
    // The list may move the highlight to a neighbour, which is then chosen.
    delete item;
    if (!choice_->Empty() && !choice_->Item()) {
        choice_->Clear();
        state_.Regrade();
    }
    emit ReferenceDeleted(file, choice_->File());
}

QString TLibraryPanel::DeletedMessage(const QString& file, const QString& now) {
    auto caption = [](const QString& name) {
        return "\"" + QString::fromStdString(TReferenceLibrary::CaptionOf(ToStd(name))) + "\"";
    };
    const QString moved = "Moved " + caption(file) + " to the trash (Undo brings it back); ";
    return moved + (now.isEmpty() ? QString("no reference grades the frame now") : "now graded with " + caption(now));
}

QString TLibraryPanel::RestoredMessage(const QString& file) {
    return "Brought \"" + QString::fromStdString(TReferenceLibrary::CaptionOf(ToStd(file))) + "\" back from the trash";
}

void TLibraryPanel::Trash(const QString& file) {
    const std::string name = ToStd(file);
    const std::string trashed = library_.Remove(name);
    if (!trashed.empty()) trashed_.emplace_back(name, trashed);
}

void TLibraryPanel::RestoreDeleted(const QString& file) {
    const std::string name = ToStd(file);
    const auto found =
        std::find_if(trashed_.rbegin(), trashed_.rend(),
                     [&](const std::pair<std::string, std::string>& entry) { return entry.first == name; });
    if (found == trashed_.rend())
        throw EError("The library image \"" + TReferenceLibrary::CaptionOf(name) + "\" cannot be brought back.");
    library_.Restore(name, found->second);
    trashed_.erase(std::next(found).base());
    {
        // Coming back chooses nothing; the look restored does.
        const QSignalBlocker quiet(lvwRefs_);
        lvwRefs_->addItem(NewItem(name, MakeThumbnail(name)));
    }
    SortList();
    emit ReferenceRestored(file);
}

void TLibraryPanel::DeleteAgain(const QString& file) {
    Trash(file);
    const QSignalBlocker quiet(lvwRefs_);
    for (int row = lvwRefs_->count() - 1; row >= 0; --row)
        if (choice_->FileOf(lvwRefs_->item(row)) == file) delete lvwRefs_->takeItem(row);
}

QListWidgetItem* TLibraryPanel::HighlightedItem() const {
    const QList<QListWidgetItem*> selected = lvwRefs_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TLibraryPanel::HighlightChanged() {
    QListWidgetItem* item = HighlightedItem();
    if (!item) {
        if (choice_->Empty()) return;
        choice_->Clear();
    } else if (IsLookDocumentName(QFile::encodeName(choice_->FileOf(item)).toStdString())) {
        const QString file = choice_->FileOf(item);
        emit LookChosen(QFile::decodeName(library_.PathOf(QFile::encodeName(file).toStdString()).c_str()));
        for (int row = 0; row < lvwRefs_->count(); ++row)
            if (choice_->FileOf(lvwRefs_->item(row)) == file) ShowItem(lvwRefs_->item(row));
        return;
    } else {
        choice_->Choose(choice_->FileOf(item));
        state_.EndPreviewLut();  // a reference's look takes over from a previewed LUT file
    }
    state_.Regrade();
}

void TLibraryPanel::ShowRestoredChoice() {
    if (!choice_->Item() && !TDocumentCells::IsDocumentReference(choice_->File())) choice_->Clear();
    choice_->Show();
}

void TLibraryPanel::ClearSelection() {
    choice_->Clear();
    choice_->Show();
}

void TLibraryPanel::Drop(const QStringList& files) {
    const TDroppedFiles dropped = SortDroppedFiles(files);
    if (!dropped.Pictures.isEmpty() || !dropped.Looks.isEmpty()) AddToLibrary(dropped.Pictures + dropped.Looks);
    const QStringList refused = dropped.Luts + dropped.Others;
    if (!refused.isEmpty())
        throw EError(ToStd(RefusedFilesMessage(
            "Only pictures and look documents can be added to the library. These files were not added:", refused)));
}

const TImage* TLibraryPanel::ChosenCell() const {
    QListWidgetItem* item = choice_->Item();
    if (!item) return nullptr;
    const int index = item->data(kImageIndexRole).toInt();
    if (index < 0 || index >= static_cast<int>(imlRefs_.size())) return nullptr;
    return &imlRefs_[index];
}

const TImage* TLibraryPanel::CellOf(const QString& file) const {
    for (int row = 0; row < lvwRefs_->count() && !file.isEmpty(); ++row) {
        if (choice_->FileOf(lvwRefs_->item(row)) != file) continue;
        const int index = lvwRefs_->item(row)->data(kImageIndexRole).toInt();
        return index >= 0 && index < static_cast<int>(imlRefs_.size()) ? &imlRefs_[index] : nullptr;
    }
    return nullptr;
}

QIcon TLibraryPanel::Thumbnail(int index, bool look) const {
    QImage picture = QImageFromImage(display_->Apply(imlRefs_[index]));
    if (look) DrawLookBadge(picture);
    return QIcon(QPixmap::fromImage(picture));
}

void TLibraryPanel::SetStrip(bool strip, bool vertical) {
    strip_ = strip;
    lvwRefs_->setWrapping(!strip);
    lvwRefs_->setFlow(strip && vertical ? QListView::TopToBottom : QListView::LeftToRight);
    lvwRefs_->setHorizontalScrollBarPolicy(strip && !vertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    lvwRefs_->setVerticalScrollBarPolicy(strip && !vertical ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    // The list forgets where it laid the items out for the other flow.
    lvwRefs_->doItemsLayout();
}

int TLibraryPanel::StripExtent(bool vertical) const {
    // A thumbnail, two lines of caption under it in a row, the spacing
    // around it, a scroll bar and the frame.
    const int scrollBar = lvwRefs_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, lvwRefs_);
    const int captions = vertical ? 0 : 2 * lvwRefs_->fontMetrics().height();
    return kThumbnailSize + captions + 4 * lvwRefs_->spacing() + scrollBar + 2 * lvwRefs_->frameWidth() + 8;
}

void TLibraryPanel::ShowThumbnails() {
    for (int row = 0; row < lvwRefs_->count(); ++row) {
        QListWidgetItem* item = lvwRefs_->item(row);
        const int index = item->data(kImageIndexRole).toInt();
        if (index >= 0 && index < static_cast<int>(imlRefs_.size()))
            item->setIcon(Thumbnail(index, IsLookDocumentName(ToStd(choice_->FileOf(item)))));
    }
}
