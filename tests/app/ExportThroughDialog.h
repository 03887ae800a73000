#pragma once
#include <QComboBox>
#include <QLineEdit>
#include <QString>

#include "app/LutSaveForm.h"
#include "tests/app/NextModal.h"

// "Export LUT..." of a dialog that fits a look, answered as a user would:
// the profile, a grid size and the file typed into the export dialog, then
// "Save".
template <typename TDialog>
void ExportThroughDialog(TDialog& dialog, const QString& profile, int size, const QString& file) {
    OnNextModal([&](QWidget* modal) {
        auto* save = qobject_cast<TfrmSaveLut*>(modal);
        ASSERT_NE(save, nullptr);
        auto* formats = save->findChild<QComboBox*>("cbxOutFormat");
        formats->setCurrentIndex(formats->findText(profile, Qt::MatchStartsWith));
        save->cbxOutFormatChange();
        save->findChild<QComboBox*>("cbxDimSize")->setCurrentText(QString::number(size));
        save->findChild<QLineEdit*>("edtLUTFile")->setText(file);
        save->btnSaveClick();
    });
    dialog.btnExportClick();
}
