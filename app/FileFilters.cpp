#include "app/FileFilters.h"

#include <QStringList>

#include "formats/FormatRegistry.h"
#include "grading/LookDocument.h"
#include "imageio/PictureFormats.h"

QString ReferencePictureFilter() {
    return QString::fromStdString("Image Files|" + PicturePatterns(TPictureRole::Read) + "|" + PictureTypeFilters()) +
           "|" + LookDocumentFilter() + "|All Files|*.*";
}

QString PreviewPictureFilter() {
    return QString::fromStdString("All pictures|" + PicturePatterns(TPictureRole::Written) + "|" +
                                  PictureTypeFilters()) +
           "|Clips|*.mov;*.mp4;*.mkv;*.mxf;*.avi|All Files|*.*";
}

QString LookDocumentFilter() { return "Look Documents|*" + QString::fromLatin1(kLookDocumentExtension); }

QString GradedPictureFilter() {
    const TPictureFormat& jpeg = *FindPictureFormatByLibrary("jpeg");
    QStringList patterns;
    for (const std::string& extension : PictureExtensionsOf(jpeg)) patterns << "*." + QString::fromStdString(extension);
    return "Jpeg Files|" + patterns.join("; ") + "|" +
           QString::fromStdString(PictureTypeFilters(TPictureRole::Written, jpeg.Library)) + "|All Files|*.*";
}

QString LutFileFilter() {
    QStringList patterns;
    for (const auto& format : LutFormats()) {
        const TLutFormatInfo& info = format->Info();
        if (!info.Reads) continue;
        for (const std::string& extension : info.Extensions) {
            const QString pattern = "*." + QString::fromStdString(LowerAscii(extension));
            if (!patterns.contains(pattern)) patterns << pattern;
        }
    }
    return "LUT Files|" + patterns.join(';') + "|All Files|*.*";
}
