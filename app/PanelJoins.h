#pragma once
#include <QObject>

#include "app/SessionPanels.h"

// The joins between a grading session and its panels, made once when the
// panels stand: a moved control regrades, the library's highlight chooses
// the reference, looks are built from the library's cells, a deleted
// reference is one step of the history, a LUT previewed takes the choice of
// a reference away, a look dropped or chosen in the list opens, the display
// profile chosen draws the viewer and the thumbnails, and a snapshot chosen
// for comparison splits the view. The window and the panel tests make their
// joins here. Qt calls a signal's slots in the order they were joined: the
// order here is part of the behaviour.
class TPanelJoins : public QObject {
    Q_OBJECT
public:
    // A child of the panels' window: the joins last as long as the window.
    explicit TPanelJoins(const TSessionPanels& panels);

private:
    void ShareDisplay();
    void JoinToolStrip();
    void JoinLook();
    void JoinLibrary();
    void JoinSnapshots();

    TSessionPanels panels_;
};
