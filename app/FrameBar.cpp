#include "app/FrameBar.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDockWidget>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QStringList>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "clip/ClipPlayback.h"
#include "clip/FrameCache.h"
#include "clip/StepAhead.h"
#include "engine/base/Error.h"
#include "engine/picture/ImageResize.h"
#include "imageio/PixelBudget.h"

namespace {

// The longest wait for the frames decoded ahead before play starts, in ms.
constexpr qint64 kMostPreroll = 500;

// The playing sign: the direction, and the speed when faster than the clip's rate.
QString PlaySignText(int direction, int speed) {
    const QString sign = direction < 0 ? QStringLiteral("\u25C0") : QStringLiteral("\u25B6");
    return speed > 1 ? sign + QString(" %1x").arg(speed) : sign;
}

// The widest of the texts, each with its '#' standing for every digit in turn.
int WidestText(const QFontMetrics& metrics, const QStringList& patterns) {
    int widest = 0;
    for (const QString& pattern : patterns)
        for (char digit = '0'; digit <= '9'; ++digit)
            widest = std::max(widest, metrics.horizontalAdvance(QString(pattern).replace('#', QChar(digit))));
    return widest;
}

// A widget that takes the frame keys for typing.
bool IsTextField(const QObject* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QTextEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget);
}

// The window a widget's keys belong to: a panel undocked into a window of
// its own still belongs to the main window it came from.
const QWidget* KeyWindow(const QWidget* widget) {
    const QWidget* window = widget->window();
    if (qobject_cast<const QDockWidget*>(window) && window->parentWidget()) return window->parentWidget()->window();
    return window;
}

}  // namespace

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
    playSign_ = new QLabel(this);
    playSign_->setObjectName("lblPlaying");
    playRate_ = new QLabel(this);
    playRate_->setObjectName("lblPlayRate");
    playRate_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    playDropped_ = new QLabel(this);
    playDropped_->setObjectName("lblDropped");
    playDropped_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(slider_, 1);
    layout->addWidget(timecode_);
    layout->addWidget(number_);
    layout->addWidget(playSign_);
    layout->addWidget(playRate_);
    layout->addWidget(playDropped_);
    layout->addWidget(problem_);
    player_ = new QTimer(this);
    player_->setTimerType(Qt::PreciseTimer);
    connect(player_, &QTimer::timeout, this, &TFrameBar::PlayNext);
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (!settingSlider_) ShowFrame(value);
    });
    hide();
}

TFrameBar::~TFrameBar() { qApp->removeEventFilter(this); }

const TClipInfo& TFrameBar::Info() const { return clip_->Info(); }

TImage TFrameBar::CurrentPicture() {
    if (const auto frame = cache_->Find(current_)) return frame->Picture.Clone();
    return ClipFrameToImage(clip_->Frame(current_));
}

void TFrameBar::SetPreviewBox(int width, int height, std::function<bool()> wanted) {
    boxWidth_ = width;
    boxHeight_ = height;
    previewWanted_ = std::move(wanted);
}

TImage TFrameBar::Open(const std::string& fileName) {
    auto clip = std::make_unique<TClip>(fileName);
    TImage first = ClipFrameToImage(clip->Frame(0));
    StopPlayback();
    speed_ = 1;
    playedShown_ = false;
    stepAhead_.reset();
    clip_ = std::move(clip);
    fileName_ = fileName;
    played_ = 0;
    dropped_ = 0;
    current_ = 0;
    frames_ = std::max<std::int64_t>(1, clip_->Info().Frames);
    cachedSizes_ = SteppedSizes();
    // A stepped frame at most: the picture, the preview box and the copy.
    const std::uint64_t frameBytes =
        3 * (std::uint64_t(first.Width()) * first.Height() + std::uint64_t(boxWidth_) * boxHeight_ +
             std::uint64_t(cachedSizes_.CopyWidth) * cachedSizes_.CopyHeight);
    cache_ = std::make_unique<TFrameCache>(TFrameCache::CapacityFor(frameBytes, PicturePixelBudget().Capacity()));
    stepAhead_ = std::make_unique<TStepAhead>(fileName_, frames_, *cache_);
    stepAhead_->Request(0, 0, cachedSizes_);
    settingSlider_ = true;
    slider_->setRange(0, static_cast<int>(std::min<std::int64_t>(frames_ - 1, std::numeric_limits<int>::max())));
    slider_->setValue(0);
    slider_->setPageStep(FramesPerSecond());
    settingSlider_ = false;
    problem_->clear();
    FixLabelWidths();
    ShowPosition();
    show();
    slider_->setFocus();
    // The frame keys are the bar's wherever the focus is.
    qApp->installEventFilter(this);
    return first;
}

void TFrameBar::Close() {
    StopPlayback();
    speed_ = 1;
    playedShown_ = false;
    stepAhead_.reset();
    cache_.reset();
    clip_.reset();
    fileName_.clear();
    current_ = -1;
    frames_ = 0;
    qApp->removeEventFilter(this);
    hide();
}

int TFrameBar::FramesPerSecond() const {
    const TClipInfo& info = clip_->Info();
    return std::max(1, static_cast<int>(std::ceil(double(info.RateNumerator) / info.RateDenominator - 1e-9)));
}

void TFrameBar::ShowFrame(std::int64_t number) {
    if (!clip_) return;
    // A frame chosen by hand ends playing.
    if (Playing()) {
        StopPlayback();
        speed_ = 1;
    }
    number = std::clamp<std::int64_t>(number, 0, frames_ - 1);
    if (number == current_) {
        ShowExactFrame();
        return;
    }
    try {
        const std::int64_t from = current_;
        const auto frame = SteppedFrame(number, number - from != 1 && number - from != -1);
        Present(frame);
        StepAround(from, number);
    } catch (const EError& error) {
        // The count was estimated too high: the clip ends before it.
        problem_->setText(QString::fromStdString(error.what()));
        SetPlaying(false);
        ShowPosition();
    }
}

TSteppedSizes TFrameBar::SteppedSizes() const {
    const QSize copy = PlaySize();
    const TClipInfo& info = clip_->Info();
    const bool fitted = !previewWanted_ || previewWanted_();
    // The copy as the viewer's working copy makes it: within the frame.
    return {fitted ? boxWidth_ : 0, fitted ? boxHeight_ : 0, std::clamp(copy.width(), 1, std::max(1, info.Width)),
            std::clamp(copy.height(), 1, std::max(1, info.Height))};
}

std::shared_ptr<const TSteppedFrame> TFrameBar::SteppedFrame(std::int64_t number, bool jumped) {
    cache_->SetCentre(number);
    const TSteppedSizes sizes = SteppedSizes();
    if (std::tie(sizes.BoxWidth, sizes.BoxHeight, sizes.CopyWidth, sizes.CopyHeight) !=
        std::tie(cachedSizes_.BoxWidth, cachedSizes_.BoxHeight, cachedSizes_.CopyWidth, cachedSizes_.CopyHeight)) {
        // The viewer changed size: the copies made ahead are of no use.
        stepAhead_->Cancel();
        cache_->Clear();
        cachedSizes_ = sizes;
    }
    // A frame jumped to in a clip whose frames depend on others is decoded
    // from its key frame: the thread does it, keeping the frames it passes
    // just before it for the steps back.
    if (jumped && !clip_->Info().FramesStandAlone && !cache_->Has(number))
        stepAhead_->Request(number, 0, sizes, true);
    if (auto frame = stepAhead_->Wait(number)) return frame;
    // Made here in the memory of a frame the cache let go, when there is one.
    TSteppedFrame made = cache_->TakeSpare();
    RemakeSteppedFrame(made, number, clip_->Frame(number), sizes);
    return cache_->Put(std::move(made));
}

void TFrameBar::StepAround(std::int64_t from, std::int64_t number) {
    const std::int64_t step = number - from;
    stepAhead_->Request(number, step == 1 || step == -1 ? static_cast<int>(step) : 0, cachedSizes_);
}

void TFrameBar::Present(std::shared_ptr<const TSteppedFrame> frame) {
    current_ = frame->Number;
    playedShown_ = false;
    problem_->clear();
    ShowPosition();
    emit FrameShown(std::move(frame));
}

void TFrameBar::ShowExactFrame() {
    if (!playedShown_ || !clip_) return;
    try {
        Present(SteppedFrame(current_));
        StepAround(current_, current_);
    } catch (const EError& error) {
        problem_->setText(QString::fromStdString(error.what()));
    }
}

void TFrameBar::FixLabelWidths() {
    const QString digits(QString::number(frames_).size(), '#');
    // A pixel or two more than the text, which some styles ask for.
    const auto fix = [&](QLabel* label, const QStringList& patterns) {
        label->setFixedWidth(WidestText(label->fontMetrics(), patterns) + 2 * label->margin() + 2);
    };
    fix(timecode_, {"##:##:##:##"});
    fix(number_, {"frame " + digits + " / " + QString::number(frames_)});
    fix(playSign_, {PlaySignText(1, 8), PlaySignText(-1, 8)});
    fix(playRate_, {"###.# fps"});
    fix(playDropped_, {digits + " dropped"});
}

void TFrameBar::ShowPlayState() {
    if (!playback_) {
        playSign_->clear();
        playRate_->clear();
        playDropped_->clear();
        return;
    }
    const double seconds = clock_.isValid() ? clock_.nsecsElapsed() * 1e-9 : 0.0;
    playSign_->setText(PlaySignText(direction_, speed_));
    playRate_->setText(seconds > 0 ? QString::number(std::min(999.9, playback_->Shown() / seconds), 'f', 1) + " fps"
                                   : QString());
    playDropped_->setText(QString("%1 dropped").arg(playback_->Dropped()));
}

void TFrameBar::ShowPosition() {
    settingSlider_ = true;
    slider_->setValue(static_cast<int>(current_));
    settingSlider_ = false;
    timecode_->setText(QString::fromStdString(FrameTimecode(current_, clip_->Info())));
    number_->setText(QString("frame %1 / %2").arg(current_).arg(frames_));
}

bool TFrameBar::TakeKey(const QKeyEvent& key) {
    if (!clip_ || (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) return false;
    const bool shift = key.modifiers() & Qt::ShiftModifier;
    const std::int64_t step = shift ? FramesPerSecond() : 1;
    switch (key.key()) {
        case Qt::Key_Left:
            ShowFrame(current_ - step);
            return true;
        case Qt::Key_Right:
            ShowFrame(current_ + step);
            return true;
        case Qt::Key_Home:
            ShowFrame(0);
            return true;
        case Qt::Key_End:
            ShowFrame(frames_ - 1);
            return true;
        case Qt::Key_Space:
            if (Playing())
                SetPlaying(false);
            else
                Shuttle(1);
            return true;
        case Qt::Key_L:
            Shuttle(1);
            return true;
        case Qt::Key_J:
            Shuttle(-1);
            return true;
        case Qt::Key_K:
            SetPlaying(false);
            return true;
        default:
            return false;
    }
}

void TFrameBar::WatchKeys(QWidget* widget) {
    if (!watched_.contains(widget)) watched_.push_back(widget);
}

bool TFrameBar::KeyIsOurs(QObject* receiver) const {
    if (!receiver->isWidgetType() || IsTextField(QApplication::focusWidget())) return false;
    const QWidget* window = KeyWindow(static_cast<QWidget*>(receiver));
    if (window == this->window()) return true;
    for (const QPointer<QWidget>& widget : watched_)
        if (widget && KeyWindow(widget) == window) return true;
    return false;
}

// Installed on the application while a clip is open: every key press passes
// here before its widget sees it.
bool TFrameBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && KeyIsOurs(watched) && TakeKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool TFrameBar::Playing() const { return playback_ != nullptr; }

void TFrameBar::StopPlayback() {
    player_->stop();
    if (playback_) {
        played_ += playback_->Shown();
        dropped_ += playback_->Dropped();
    }
    playback_.reset();
    ShowPlayState();
}

QSize TFrameBar::PlaySize() const {
    const QSize frame(clip_->Info().Width, clip_->Info().Height);
    QSize size = playSize_ ? playSize_(frame) : QSize();
    if (size.isEmpty()) {
        int width = 0, height = 0;
        FitToBox(frame.width(), frame.height(), boxWidth_, boxHeight_, width, height);
        size = QSize(width, height);
    }
    return size;
}

void TFrameBar::SetPlaying(bool playing) {
    StopPlayback();
    if (playing && stepAhead_) stepAhead_->Cancel();
    if (!playing || !clip_) {
        speed_ = 1;
        ShowExactFrame();
        return;
    }
    const TClipInfo& info = clip_->Info();
    const double rate = double(info.RateNumerator) / info.RateDenominator;
    const QSize size = PlaySize();
    playback_ = std::make_unique<TClipPlayback>(fileName_, current_, direction_, speed_, frames_, rate,
                                                TFrameAhead::Displayed(size.width(), size.height()));
    clock_.invalidate();
    preroll_.start();
    ShowPlayState();
    // Looked at four times a frame, so a frame ready late is shown soon after.
    player_->start(std::max(1, static_cast<int>(std::lround(250.0 / rate))));
}

void TFrameBar::Shuttle(int direction) {
    if (!clip_) return;
    const bool faster = Playing() && direction == direction_;
    speed_ = faster ? std::min(speed_ * 2, 8) : 1;
    direction_ = direction;
    SetPlaying(true);
}

void TFrameBar::PlayNext() {
    if (!playback_) return;
    // Play starts once the frames decoded ahead fill their queue (or after
    // kMostPreroll at the latest): opening the clip and going to the frame
    // take a while, and the first frames would come late and be dropped.
    if (!clock_.isValid()) {
        if (!playback_->Primed() && preroll_.elapsed() < kMostPreroll) return;
        clock_.start();
    }
    TAheadFrame frame;
    if (playback_->FrameDue(clock_.nsecsElapsed() * 1e-9, frame)) {
        current_ = frame.Number;
        playedShown_ = true;
        problem_->clear();
        ShowPosition();
        ShowPlayState();
        emit FramePlayed(frame.Picture);
        return;
    }
    if (!playback_->Finished()) return;
    const std::string problem = playback_->Problem();
    SetPlaying(false);
    if (!problem.empty()) problem_->setText(QString::fromStdString(problem));
}
