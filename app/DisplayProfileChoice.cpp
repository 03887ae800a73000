#include "app/DisplayProfileChoice.h"

#include <xcb/xcb.h>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

#include <cstdlib>
#include <memory>

#include "app/Dialogs.h"
#include "engine/base/Error.h"
#include "grading/UserSettings.h"
#include "imageio/IccProfile.h"

namespace {

// The combo's fixed entries; a chosen file follows them.
enum TEntry { kScreen = 0, kNone = 1, kAskFile = 2, kFile = 3 };

TDisplayTransform ScreenTransform() {
    try {
        const std::string icc = TDisplayProfileChoice::ScreenProfile();
        return icc.empty() ? TDisplayTransform() : TDisplayTransform(TColourProfile::FromIcc(icc));
    } catch (const EError& error) {
        throw EError(std::string("The screen's display profile: ") + error.what());
    }
}

TDisplayTransform FileTransform(const std::string& file) {
    const TColourProfile profile = TColourProfile::FromIccFile(file);  // its messages name the file
    try {
        return TDisplayTransform(profile);
    } catch (const EError& error) {
        throw EError("\"" + file + "\": " + error.what());
    }
}

}  // namespace

TDisplayProfileChoice::TDisplayProfileChoice(QComboBox* combo) : combo_(combo) {
    combo_->addItems({"Screen", "None", "Profile File..."});
    combo_->setToolTip("The colour profile of the monitor the pictures are drawn through");
    const QString saved = UserSettings().value(kDisplayProfileKey).toString();
    const int entry = saved == "none" ? kNone : saved.isEmpty() ? kScreen : kFile;
    const std::string problem = TryApply(entry, entry == kFile ? saved.toStdString() : std::string());
    if (problem.empty()) return;
    // A remembered file no longer usable gives way to the screen's profile,
    // an unusable screen profile to none; the first problem is told once the
    // window is up.
    if (entry == kScreen || !TryApply(kScreen, std::string()).empty())
        Show(kScreen, std::string(), TDisplayTransform());
    QTimer::singleShot(0, combo_,
                       [combo, text = QString::fromStdString(problem)] { Dialogs().ShowError(combo->window(), text); });
}

void TDisplayProfileChoice::Choose(QWidget* parent) {
    const int entry = combo_->currentIndex();
    if (entry == chosen_) return;
    const int before = chosen_;
    try {
        if (entry != kAskFile) {
            Apply(entry, entry == kFile ? file_ : std::string());
        } else {
            const QString file = Dialogs().OpenFiles(parent, "Display Profile", "ICC profiles (*.icc *.icm)").value(0);
            if (file.isEmpty()) {
                combo_->setCurrentIndex(before);
                return;
            }
            Apply(kFile, file.toStdString());
        }
    } catch (...) {
        combo_->setCurrentIndex(before);
        throw;
    }
    Remember();
}

void TDisplayProfileChoice::Apply(int entry, const std::string& file) {
    if (entry == kScreen) return Show(entry, file, ScreenTransform());
    if (entry == kFile) return Show(entry, file, FileTransform(file));
    Show(entry, file, TDisplayTransform());
}

std::string TDisplayProfileChoice::TryApply(int entry, const std::string& file) {
    try {
        Apply(entry, file);
    } catch (const EError& error) {
        return error.what();
    }
    return std::string();
}

void TDisplayProfileChoice::Show(int entry, const std::string& file, TDisplayTransform transform) {
    transform_ = std::move(transform);
    chosen_ = entry;
    if (entry == kFile) {
        file_ = file;
        const QString name = QFileInfo(QString::fromStdString(file)).fileName();
        if (combo_->count() == kFile) combo_->addItem(name);
        combo_->setItemText(kFile, name);
    }
    const QSignalBlocker quiet(combo_);
    combo_->setCurrentIndex(entry);
}

void TDisplayProfileChoice::Remember() const {
    UserSettings().setValue(kDisplayProfileKey, chosen_ == kNone   ? QString("none")
                                                : chosen_ == kFile ? QString::fromStdString(file_)
                                                                   : QString());
}

std::string TDisplayProfileChoice::ScreenProfile() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) return std::string();
    const char name[] = "_ICC_PROFILE";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr), std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE) return std::string();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (screen == nullptr) return std::string();
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, screen->root, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                                kMaxIccProfileBytes / 4),
                               nullptr),
        std::free);
    if (!property || property->format != 8) return std::string();
    if (property->bytes_after > 0) RaiseProfileTooLarge();
    const int length = xcb_get_property_value_length(property.get());
    if (length <= 0) return std::string();
    return std::string(static_cast<const char*>(xcb_get_property_value(property.get())),
                       static_cast<std::size_t>(length));
}
