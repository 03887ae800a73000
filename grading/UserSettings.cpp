#include "grading/UserSettings.h"

#include <QCoreApplication>

QSettings UserSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, kSettingsApplication);
}

void NameProgramAsSettings() {
    QCoreApplication::setOrganizationName(kSettingsOrganisation);
    QCoreApplication::setApplicationName(kSettingsApplication);
}
