#include "FrameBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>

#include "ClipFile.h"
#include "ClipPicture.h"
#include "Error.h"

TFrameBar::TFrameBar(QWidget* parent) : QWidget(parent) {
    setObjectName("FrameBar");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName("sldFrame");
    slider_->setFocusPolicy(Qt::StrongFocus);
    timecode_ = new QLabel(this);
    timecode_->setObjectName("lblTimecode");
    number_ = new QLabel(this);
    number_->setObjectName("lblFrameNumber");
    problem_ = new QLabel(this);
    problem_->setObjectName("lblFrameProblem");
    problem_->setStyleSheet("color: #c00000");
    layout->addWidget(slider_, 1);
    layout->addWidget(timecode_);
    layout->addWidget(number_);
    layout->addWidget(problem_);
    player_ = new QTimer(this);
    player_->setTimerType(Qt::PreciseTimer);
    connect(player_, &QTimer::timeout, this, &TFrameBar::PlayNext);
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (!settingSlider_) ShowFrame(value);
    });
    slider_->installEventFilter(this);
    hide();
}

TFrameBar::~TFrameBar() = default;

const TClipInfo& TFrameBar::Info() const { return clip_->Info(); }

TImage TFrameBar::CurrentPicture() { return ClipFrameToImage(clip_->Frame(current_)); }

TImage TFrameBar::Open(const std::string& fileName) {
    auto clip = std::make_unique<TClip>(fileName);
    TImage first = ClipFrameToImage(clip->Frame(0));
    SetPlaying(false);
    clip_ = std::move(clip);
    current_ = 0;
    frames_ = std::max<std::int64_t>(1, clip_->Info().Frames);
    settingSlider_ = true;
    slider_->setRange(0, static_cast<int>(std::min<std::int64_t>(frames_ - 1, std::numeric_limits<int>::max())));
    slider_->setValue(0);
    slider_->setPageStep(FramesPerSecond());
    settingSlider_ = false;
    problem_->clear();
    ShowPosition();
    show();
    slider_->setFocus();
    return first;
}

void TFrameBar::Close() {
    SetPlaying(false);
    clip_.reset();
    current_ = -1;
    frames_ = 0;
    hide();
}

int TFrameBar::FramesPerSecond() const {
    const TClipInfo& info = clip_->Info();
    return std::max(1, static_cast<int>(std::ceil(double(info.RateNumerator) / info.RateDenominator - 1e-9)));
}

void TFrameBar::ShowFrame(std::int64_t number) {
    if (!clip_) return;
    number = std::clamp<std::int64_t>(number, 0, frames_ - 1);
    if (number == current_) return;
    try {
        TImage frame = ClipFrameToImage(clip_->Frame(number));
        current_ = number;
        problem_->clear();
        ShowPosition();
        emit FrameShown(frame);
    } catch (const EError& error) {
        // The count was estimated too high: the clip ends before it.
        problem_->setText(QString::fromStdString(error.what()));
        SetPlaying(false);
        ShowPosition();
    }
}

void TFrameBar::ShowPosition() {
    settingSlider_ = true;
    slider_->setValue(static_cast<int>(current_));
    settingSlider_ = false;
    timecode_->setText(QString::fromStdString(FrameTimecode(current_, clip_->Info())));
    number_->setText(QString("frame %1 / %2").arg(current_).arg(frames_));
}

bool TFrameBar::TakeKey(const QKeyEvent& key) {
    if (!clip_) return false;
    const bool shift = key.modifiers() & Qt::ShiftModifier;
    const std::int64_t step = shift ? FramesPerSecond() : 1;
    switch (key.key()) {
        case Qt::Key_Left: ShowFrame(current_ - step); return true;
        case Qt::Key_Right: ShowFrame(current_ + step); return true;
        case Qt::Key_Home: ShowFrame(0); return true;
        case Qt::Key_End: ShowFrame(frames_ - 1); return true;
        case Qt::Key_Space:
            if (Playing()) SetPlaying(false);
            else Shuttle(1);
            return true;
        case Qt::Key_L: Shuttle(1); return true;
        case Qt::Key_J: Shuttle(-1); return true;
        case Qt::Key_K: SetPlaying(false); return true;
        default: return false;
    }
}

void TFrameBar::WatchKeys(QWidget* widget) { widget->installEventFilter(this); }

bool TFrameBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && TakeKey(*static_cast<QKeyEvent*>(event))) return true;
    return QWidget::eventFilter(watched, event);
}

bool TFrameBar::Playing() const { return player_->isActive(); }

void TFrameBar::SetPlaying(bool playing) {
    if (!playing || !clip_) {
        player_->stop();
        speed_ = 1;
        return;
    }
    const TClipInfo& info = clip_->Info();
    player_->start(std::max(1, static_cast<int>(std::lround(1000.0 * info.RateDenominator / info.RateNumerator / speed_))));
}

void TFrameBar::Shuttle(int direction) {
    if (!clip_) return;
    const bool faster = Playing() && direction == direction_;
    speed_ = faster ? std::min(speed_ * 2, 8) : 1;
    direction_ = direction;
    SetPlaying(true);
}

void TFrameBar::PlayNext() {
    const std::int64_t next = current_ + direction_;
    if (next < 0 || next >= frames_) {
        SetPlaying(false);
        return;
    }
    ShowFrame(next);
}
