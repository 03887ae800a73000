#include "app/PictureSlot.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/FileDrop.h"
#include "engine/picture/ImageResize.h"
#include "imageio/QtImage.h"

TPictureSlot::TPictureSlot(const QString& caption, const QString& filter, std::function<void(const QString&)> chosen,
                           QWidget* parent)
    : QGroupBox(caption, parent) {
    thumbnail_ = new QLabel("Drop a picture here", this);
    thumbnail_->setFixedSize(kThumbnailWidth, kThumbnailHeight);
    thumbnail_->setAlignment(Qt::AlignCenter);
    thumbnail_->setFrameShape(QFrame::StyledPanel);
    name_ = new QLabel(this);
    auto* choose = new QPushButton("...", this);
    connect(choose, &QPushButton::clicked, this, [this, chosen, caption, filter] {
        RunHandler([this, &chosen, &caption, &filter] {
            const QString file = OpenFileOfKind(TFileKind::LearnPair, this, caption, filter);
            if (!file.isEmpty()) chosen(file);
        });
    });
    new TFileDropTarget(thumbnail_, [chosen](const QStringList& files) {
        RunHandler([&chosen, &files] {
            if (!files.isEmpty()) chosen(files.first());
        });
    });
    row_ = new QHBoxLayout;
    row_->addWidget(name_, 1);
    row_->addWidget(choose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(thumbnail_);
    layout->addLayout(row_);
}

void TPictureSlot::Show(const TImage& picture, const QString& name) {
    name_->setText(name);
    ShowThumbnail(FitImage(picture, kThumbnailWidth, kThumbnailHeight));
}

void TPictureSlot::ShowThumbnail(const TImage& thumbnail) {
    thumbnail_->setPixmap(QPixmap::fromImage(QImageFromImage(thumbnail)));
}
