#include "app/DeepPreviewSave.h"

#include <QFileInfo>
#include <QStringList>

#include "app/Dialogs.h"
#include "app/FileFilters.h"
#include "engine/base/Error.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/GradingRoad.h"
#include "engine/picture/DeepGrade.h"
#include "imageio/ColourProfile.h"
#include "imageio/DeepImageFile.h"
#include "imageio/PictureFormats.h"

namespace {

// Clip frames deeper than this are offered the 16-bit types.
constexpr int kEightBits = 8;
const QString kDeepClipFilter = "the clip frame at 16 bits|*.tif;*.tiff;*.png";

bool IsDeepPreview(const std::string& previewFile) { return !previewFile.empty() && IsDeepPictureFile(previewFile); }

// A target the picture codec writes, 8-bit ones (JPEG, BMP) included.
bool IsWrittenName(const std::string& target) { return IsPictureName(target, TPictureRole::Written); }

}  // namespace

QString OwnFormatFilter(const std::string& previewFile) {
    if (!IsDeepPreview(previewFile)) return QString();
    const QString extension = QFileInfo(QString::fromStdString(previewFile)).suffix();
    return "|the preview's own format and depth|*." + extension;
}

TGradedSaveOffer GradedSaveOffer(const std::string& previewFile, int clipBits) {
    const QString written = GradedPictureFilter();
    if (clipBits > kEightBits) return {kDeepClipFilter + '|' + written, "tif"};
    const QString own = OwnFormatFilter(previewFile);
    if (own.isEmpty()) return {written, "jpeg"};
    return {own.mid(1) + '|' + written, QFileInfo(QString::fromStdString(previewFile)).suffix()};
}

QString GradedPictureName(const std::string& previewFile, const QString& lookName, const QString& extension) {
    QStringList parts;
    if (!previewFile.empty()) parts << QFileInfo(QString::fromStdString(previewFile)).completeBaseName();
    if (!lookName.isEmpty()) parts << lookName;
    if (parts.isEmpty()) parts << "graded";
    return SafeFileName(parts.join(" - ")) + '.' + extension;
}

void CheckGradedTarget(const std::string& target) {
    if (IsWrittenName(target)) return;
    throw EError("Cannot write pictures like \"" + target + "\": use " +
                 ListOfExtensions(PictureExtensions(TPictureRole::Written), ".") + ".");
}
