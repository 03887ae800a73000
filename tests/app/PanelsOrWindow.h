#pragma once
#include <QApplication>
#include <QString>
#include <memory>

#include "app/MainForm.h"
#include "tests/app/GradingRig.h"

// A fixture's panels over a grading session, or the whole window, for the
// suites that run most tests on the panels and a few on the window.
class TPanelsOrWindow {
protected:
    std::unique_ptr<TGradingRig> rig;
    std::unique_ptr<TfrmMain> window;

    // The panels over the library folder, or the window shown.
    void OpenOn(const QString& folder, bool wholeWindow) {
        if (!wholeWindow) {
            rig = std::make_unique<TGradingRig>(folder);
            return;
        }
        window = std::make_unique<TfrmMain>(folder.toStdString());
        window->show();
        QApplication::processEvents();
    }
    void CloseBoth() {
        window.reset();
        rig.reset();
    }
    TGradingSession& Grading() const { return window ? window->Grading() : rig->Grading(); }
    TPreviewPanel& Preview() const { return window ? window->Preview() : rig->Preview(); }
    TLibraryPanel& Library() const { return window ? window->Library() : rig->Library(); }
    TLookFiles& LookFiles() const { return window ? window->LookFiles() : rig->LookFiles(); }
    TStatusLine* StatusLine() const { return window ? window->StatusLine() : rig->StatusLine(); }
    // The top-level window: TfrmMain or the panels' host.
    QWidget* Root() const { return window ? static_cast<QWidget*>(window.get()) : &rig->Host(); }
};
