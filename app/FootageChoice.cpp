#include "app/FootageChoice.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>

#include "app/Application.h"
#include "engine/base/Error.h"
#include "engine/footage/FootageLook.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"
#include "grading/GradingSession.h"
#include "grading/UserSettings.h"
#include "imageio/DeepImageFile.h"

namespace {

// The settings key of the chosen footage space (its key in the list).

std::string ConfiguredPath() {
    return FootageConfigPath(UserSettings().value(kOcioConfigKey).toString().toStdString());
}

}  // namespace

TFootageChoice::TFootageChoice(QComboBox* combo, TGradingSession& session) : combo_(combo), session_(session) {
    TFootageSpaces spaces(ConfiguredPath());
    if (!spaces.ConfigError().empty()) combo_->setToolTip(QString::fromStdString(spaces.ConfigError()));
    spaces.ChooseKept(UserSettings().value(kFootageKey).toString().toStdString());
    const QSignalBlocker quiet(combo_);
    for (const TFootageSpaceEntry& space : spaces.Entries()) combo_->addItem(QString::fromStdString(space.Label));
    combo_->setCurrentIndex(spaces.Chosen());
    session_.SetFootageSpaces(std::move(spaces));
}

void TFootageChoice::ShowIn(QStatusBar* bar) {
    status_ = new QLabel(bar);
    status_->setObjectName("lblFootageStatus");
    bar->addPermanentWidget(status_);
    ShowChoice();
}

void TFootageChoice::ShowChoice() {
    const TFootageSpaces& footage = session_.Footage();
    if (status_) status_->setText("Footage: " + QString::fromStdString(footage.Entries()[footage.Chosen()].Label));
}

void TFootageChoice::Choose() {
    const int index = combo_->currentIndex();
    if (index < 0 || index >= static_cast<int>(session_.Footage().Entries().size())) return;
    TBusyCursor busy;
    try {
        session_.ChooseFootage(index);
    } catch (...) {
        const QSignalBlocker quiet(combo_);
        combo_->setCurrentIndex(session_.Footage().Chosen());
        throw;
    }
}

void TFootageChoice::Follow(int entry) {
    const QSignalBlocker quiet(combo_);
    combo_->setCurrentIndex(entry);
    UserSettings().setValue(kFootageKey, QString::fromStdString(session_.Footage().Entries()[entry].Key));
    ShowChoice();
}
