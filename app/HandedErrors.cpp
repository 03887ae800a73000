#include "app/HandedErrors.h"

#include <QTimer>
#include <QWidget>

#include "app/Dialogs.h"

namespace {

// The reasons a summary lists; the rest are counted.
constexpr qsizetype kListedErrors = 10;

}  // namespace

THandedErrors::THandedErrors(QWidget* window) : QObject(window), window_(window) {}

void THandedErrors::Add(const QString& message) {
    pending_ << message;
    if (showing_ || scheduled_) return;
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] { ShowPending(); });
}

void THandedErrors::ShowPending() {
    scheduled_ = false;
    showing_ = true;
    while (!pending_.isEmpty()) {
        const QString text = Summary(pending_);
        pending_.clear();
        Dialogs().ShowError(window_, text);
    }
    showing_ = false;
}

QString THandedErrors::Summary(const QStringList& errors) {
    if (errors.size() == 1) return errors.front();
    QString text = QStringLiteral("%1 files could not be opened:").arg(errors.size());
    for (qsizetype i = 0; i < errors.size() && i < kListedErrors; ++i) text += "\n" + errors[i];
    if (errors.size() > kListedErrors) text += QStringLiteral("\n... and %1 more").arg(errors.size() - kListedErrors);
    return text;
}
