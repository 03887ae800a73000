#pragma once
#include <QObject>
#include <functional>

class QAction;
class QDockWidget;
class QMainWindow;
class TLibraryPanel;

// The library panel's place in the window: docked at the bottom or left,
// shown as a strip (one row of thumbnails, or one column when docked left)
// or as a grid the user sizes, shown or closed. The place is kept in the
// settings and restored with the window.
class TLibraryDock : public QObject {
    Q_OBJECT
public:
    explicit TLibraryDock(QMainWindow& window);

    QDockWidget* Dock() const { return dock_; }
    // The library's list goes into the dock.
    void SetPanel(TLibraryPanel* library);
    // "Show Library" (Ctrl+Shift+B) and "Library as Grid" (Ctrl+Shift+G).
    QAction* ShowAction() const;
    QAction* GridAction() const { return grid_; }

    bool Strip() const;
    bool Left() const;
    void SetStrip(bool strip);
    void SetArea(Qt::DockWidgetArea area);
    // The place as the settings keep it; the user moves the panel from then on.
    void Restore();
    void Save() const;
    // The window is shown for the first time: a grid takes its kept size.
    void WindowShown();

    // The panel moved or changed its form (for the window's tab order).
    std::function<void()> OnLayoutChanged;

private:
    void Apply();
    void SizeGrid();

    QMainWindow& window_;
    QDockWidget* dock_;
    QAction* grid_;
    TLibraryPanel* library_ = nullptr;
    bool shown_ = false;
};
