#include "DeepPreviewSave.h"

#include <QFileInfo>

#include "DeepGrade.h"
#include "DeepImageFile.h"
#include "FootageLook.h"

namespace {
bool IsDeepPreview(const std::string& previewFile) {
    return !previewFile.empty() && IsDeepPictureFile(previewFile);
}
}  // namespace

QString OwnFormatFilter(const std::string& previewFile) {
    if (!IsDeepPreview(previewFile)) return QString();
    const QString extension = QFileInfo(QString::fromStdString(previewFile)).suffix();
    return "|the preview's own format and depth|*." + extension;
}

bool SaveGradedAtOwnDepth(const TLUT& lut, const std::string& previewFile, const std::string& target,
                          const TFootageConversion* footage) {
    if (!IsDeepPreview(previewFile) || !IsDeepOutputName(target)) return false;
    TDeepImage picture = LoadDeepImageFile(previewFile);
    const TPictureDepth depth = OutputDepthFor(target, picture.Depth);
    if (footage) ConvertFootageDeep(*footage, picture);
    GradeDeepImage(lut, picture);
    SaveDeepImageFile(target, picture, depth);
    return true;
}
