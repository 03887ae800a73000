#pragma once
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

// Runs `act` on the next modal dialog that opens (waiting up to five
// seconds for it); closes it if `act` left it open. For the handlers that
// show a dialog with exec().
inline void OnNextModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal && ++*tries < 500) return;
        timer->stop();
        timer->deleteLater();
        if (!modal) return;
        act(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal.data()); dialog && dialog->isVisible()) dialog->reject();
    });
    timer->start(10);
}
