#pragma once

class QToolButton;
class QWidget;
class TScopesPanel;

// The window's tool strip: the buttons of the main actions in one row over
// a silver line, the scopes' toggle among them and About at the far right.
struct TToolStrip {
    QWidget* Strip = nullptr;
    QToolButton* OpenPreviewImage = nullptr;
    QToolButton* CreateLUT = nullptr;
    QToolButton* AddToLib = nullptr;
    QToolButton* ShowOriginal = nullptr;
    QToolButton* SplitView = nullptr;
    QToolButton* About = nullptr;
};

TToolStrip CreateToolStrip(QWidget* parent, TScopesPanel& scopes);
