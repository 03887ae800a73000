#pragma once
#include <QObject>
#include <QStringList>
#include <functional>

class QWidget;

// The files dropped on the window, sorted by what the window can do with
// them: pictures (by the picture loader's extensions), look documents (by
// their extension), LUT files (any file a LUT format of the library
// recognises) and the rest.
struct TDroppedFiles {
    QStringList Pictures;
    QStringList Looks;
    QStringList Luts;
    QStringList Others;
};
TDroppedFiles SortDroppedFiles(const QStringList& files);

// The preview the dropped pictures give: several numbered files of one run
// (the frames of a scan selected together) give the image sequence of that
// run, as its pattern; otherwise the first picture.
QString DroppedPreview(const QStringList& pictures);

// The message for files that cannot be used where they were dropped:
// `what` followed by their names, one a line.
QString RefusedFilesMessage(const QString& what, const QStringList& files);

// Lets a widget take local files dragged onto it: a drag that carries
// file addresses is accepted, and the drop hands their paths to onDrop.
// Installed as an event filter on the widget, which it makes accept drops.
class TFileDropTarget : public QObject {
public:
    TFileDropTarget(QWidget* widget, std::function<void(const QStringList&)> onDrop);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget_;
    std::function<void(const QStringList&)> onDrop_;
};
