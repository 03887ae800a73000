#include "app/LookFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QWidget>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/FileFilters.h"
#include "app/LibraryPanel.h"
#include "app/LutSaveForm.h"
#include "app/StdText.h"
#include "engine/base/Error.h"
#include "grading/GradingSession.h"
#include "grading/ReferenceHash.h"
#include "grading/UserSettings.h"
#include "library/ReferenceLibrary.h"

namespace {

// The settings key of Recent Looks, latest first.

// The hash of a library file; empty when it cannot be read (gone meanwhile).
std::string LibraryFileHash(const std::string& folder, const QString& file) {
    try {
        return ReferenceFileHash(TReferenceLibrary(folder).PathOf(FileNameToStd(file)));
    } catch (const std::exception&) {
        return std::string();
    }
}

}  // namespace

TLookFiles::TLookFiles(TGradingSession& state, TLibraryPanel& library, QWidget* window)
    : QObject(window), state_(state), library_(library), window_(window) {
    recentMenu_ = new QMenu("Recent Looks", window);
    recentMenu_->setObjectName("mnuRecentLooks");
    connect(recentMenu_, &QMenu::aboutToShow, this, &TLookFiles::FillRecent);
    FillRecent();
}

const TImage* TLookFiles::CellOf(const QString& reference) const {
    if (TDocumentCells::IsDocumentReference(reference)) return cells_.Find(reference);
    return library_.CellOf(reference);
}

QString TLookFiles::Caption(const QString& reference) {
    if (reference.isEmpty()) return QString();
    const QString caption =
        QString::fromStdString(TReferenceLibrary::CaptionOf(FileNameToStd(TDocumentCells::NameOf(reference))));
    return TDocumentCells::IsDocumentReference(reference) ? caption + " (from the look)" : caption;
}

TReferenceSource TLookFiles::Sources() const {
    TReferenceSource sources;
    sources.CellOf = [this](const QString& reference) { return CellOf(reference); };
    sources.HashOf = [this](const QString& reference) {
        if (TDocumentCells::IsDocumentReference(reference)) return cells_.HashOf(reference);
        return LibraryFileHash(library_.Folder(), reference);
    };
    return sources;
}

TLookDocument TLookFiles::Document() const {
    TLookDocument document = DocumentOfLooks(state_.CurrentLook(), state_.SnapshotLooks(), state_, Sources());
    document.ProgramVersion = LookProgramVersion();
    document.Date = LookDocumentDate();
    return document;
}

void TLookFiles::Save(const QString& file) {
    SaveLookDocument(Document(), FileNameToStd(file));
    Remember(file);
    recentMenu_->menuAction()->setEnabled(true);
    emit Opened(file);
}

void TLookFiles::Open(const QString& file) {
    const TLookDocument document = LoadLookDocument(FileNameToStd(file));
    Apply(document);
    Remember(file);
    recentMenu_->menuAction()->setEnabled(true);
    emit Opened(file);
}

void TLookFiles::Apply(const TLookDocument& document) {
    auto reference = [this](const TLookRecipe& recipe) { return ReferenceOf(recipe); };
    // Every look is converted before any is put in place: a look this
    // window cannot show leaves the looks held as they were.
    const TLook current = LookOfRecipe(document.Look, state_.Footage(), reference);
    TSnapshotLooks snapshots;
    for (std::size_t slot = 0; slot < snapshots.size(); ++slot)
        if (document.Snapshots[slot])
            snapshots[slot] = LookOfRecipe(*document.Snapshots[slot], state_.Footage(), reference);
    state_.RestoreDocument(current, snapshots);
}

QString TLookFiles::ReferenceOf(const TLookRecipe& recipe) {
    QListWidget* list = library_.List();
    for (int row = 0; row < list->count() && !recipe.ReferenceHash.empty(); ++row) {
        const QString file = library_.Choice().FileOf(list->item(row));
        if (!IsLookDocumentName(FileNameToStd(file)) &&
            LibraryFileHash(library_.Folder(), file) == recipe.ReferenceHash)
            return file;
    }
    const QString name = QString::fromStdString(recipe.ReferenceName);
    const TImage* cell = library_.CellOf(name);
    if (cell && !IsLookDocumentName(recipe.ReferenceName) && cell->SamePixels(recipe.ReferenceCell)) return name;
    return cells_.Add(recipe.ReferenceName, recipe.ReferenceHash, recipe.ReferenceCell);
}

// ---- the dialogs ------------------------------------------------------------

void TLookFiles::SaveClick() {
    const QString name = LookName(state_);
    const QString file = SaveFileOfKind(TFileKind::Look, window_, "Save Look",
                                        name.isEmpty() ? QString() : SafeFileName(name) + kLookDocumentExtension,
                                        LookDocumentFilter(), QString(kLookDocumentExtension).mid(1));
    if (file.isEmpty()) return;
    TBusyCursor busy;
    Save(file);
    ShowSaved(window_, file);
}

void TLookFiles::OpenClick() {
    const QString file = OpenFileOfKind(TFileKind::Look, window_, "Open Look", LookDocumentFilter());
    if (file.isEmpty()) return;
    TBusyCursor busy;
    Open(file);
}

// ---- recent looks -------------------------------------------------------------

QStringList TLookFiles::Recent() { return UserSettings().value(kRecentLooksKey).toStringList(); }

void TLookFiles::Remember(const QString& file) {
    QStringList recent = Recent();
    const QString path = QFileInfo(file).absoluteFilePath();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > kMaxRecent) recent.removeLast();
    UserSettings().setValue(kRecentLooksKey, recent);
}

void TLookFiles::Forget(const QString& file) {
    QStringList recent = Recent();
    recent.removeAll(file);
    UserSettings().setValue(kRecentLooksKey, recent);
}

void TLookFiles::OpenRecent(const QString& file) {
    if (!QFileInfo(file).isFile()) {
        // The menu is filled afresh when it opens next: the entry chosen
        // is still being handled here.
        Forget(file);
        recentMenu_->menuAction()->setEnabled(!Recent().isEmpty());
        throw EError("\"" + FileNameToStd(file) + "\" is no longer there; it was taken off Recent Looks.");
    }
    Open(file);
}

void TLookFiles::FillRecent() {
    recentMenu_->clear();
    const QStringList recent = Recent();
    for (const QString& file : recent) {
        QAction* action = recentMenu_->addAction(QFileInfo(file).fileName());
        action->setToolTip(file);
        connect(action, &QAction::triggered, this, [this, file] { RunHandler([this, file] { OpenRecent(file); }); });
    }
    recentMenu_->menuAction()->setEnabled(!recent.isEmpty());
}
