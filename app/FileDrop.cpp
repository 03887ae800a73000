#include "app/FileDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "clip/ClipFile.h"
#include "clip/ImageSequence.h"
#include "formats/LutConvert.h"
#include "grading/LookDocument.h"
#include "imageio/PictureFormats.h"

namespace {

bool IsPictureName(const QString& file) {
    const std::string name = QFile::encodeName(file).toStdString();
    return ::IsPictureName(name, TPictureRole::Read) || IsClipName(name);
}

bool IsLutFile(const QString& file) {
    if (!QFileInfo(file).isFile()) return false;
    try {
        return FindReaderFormat(QFile::encodeName(file).toStdString()) >= 0;
    } catch (const std::exception&) {
        return false;  // a file the formats cannot even look at is no LUT
    }
}

QStringList LocalFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

}  // namespace

TDroppedFiles SortDroppedFiles(const QStringList& files) {
    TDroppedFiles sorted;
    for (const QString& file : files) {
        if (IsPictureName(file))
            sorted.Pictures << file;
        else if (IsLookDocumentName(QFile::encodeName(file).toStdString()))
            sorted.Looks << file;
        else if (IsLutFile(file))
            sorted.Luts << file;
        else
            sorted.Others << file;
    }
    return sorted;
}

QString DroppedPreview(const QStringList& pictures) {
    if (pictures.size() < 2) return pictures.value(0);
    const auto run = [](const QString& file) { return RunPatternOf(QFile::encodeName(file).toStdString()); };
    const auto pattern = run(pictures.first());
    if (!pattern) return pictures.first();
    for (const QString& file : pictures)
        if (run(file) != pattern) return pictures.first();
    return QFile::decodeName(QByteArray::fromStdString(*pattern));
}

QString RefusedFilesMessage(const QString& what, const QStringList& files) {
    QStringList names;
    for (const QString& file : files) names << QFileInfo(file).fileName();
    return what + "\n" + names.join("\n");
}

TFileDropTarget::TFileDropTarget(QWidget* widget, std::function<void(const QStringList&)> onDrop)
    : QObject(widget), widget_(widget), onDrop_(std::move(onDrop)) {
    widget_->setAcceptDrops(true);
    widget_->installEventFilter(this);
}

bool TFileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != widget_) return false;
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (LocalFiles(drag->mimeData()).isEmpty()) return false;
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = LocalFiles(drop->mimeData());
            if (files.isEmpty()) return false;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            onDrop_(files);
            return true;
        }
        default:
            return false;
    }
}
