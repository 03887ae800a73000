#pragma once
#include <QDockWidget>
#include <QImage>
#include <functional>

#include "engine/colour/ColorSpace.h"
#include "engine/picture/Image.h"
#include "engine/scopes/Scopes.h"
#include "scopeview/ScopeDrawing.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;
class QToolButton;
class TScopeView;

// What the scopes show: the picture on screen (the graded preview, the
// original while it is asked for, or in split view the two sides with the
// divider between them) and, while a reference is selected, its thumbnail
// cell and statistics for the vectorscope.
struct TScopeSource {
    TScopeInput Picture;
    const TImage* Reference = nullptr;
    const TColorStats* ReferenceStats = nullptr;
};

// The picture inside a reference's thumbnail cell: the cell without the
// white rows and columns it is padded with (the whole cell when it is all
// white).
TImage PictureOfCell(const TImage& cell);

// The "Scopes" panel: a dock beside the window's controls with the
// waveform (or RGB parade), the vectorscope and the histogram of the
// picture on screen, one of them or all at once, filling the panel with
// labelled scales. Shown and hidden by its toggle action (tool bar button,
// Ctrl+K); its visibility, scope and parade choice are kept in the
// settings. While it is shown, the window grows by the panel's width as far
// as the screen has room, so the preview side keeps its size.
class TScopesPanel : public QDockWidget {
    Q_OBJECT
public:
    // The width the panel asks for, and the least it can be made.
    static constexpr int kPanelWidth = 340;
    static constexpr int kMinimumPanelWidth = 220;
    // Rows measured per picture at most; taller pictures are measured on
    // every n-th row. Of a wider picture than the waveform's columns one
    // picture column per waveform column is measured, so a regrade of a
    // large view costs the scopes no more than a small one.
    static constexpr int kMeasuredRows = 600;
    static constexpr int kMeasuredColumns = kScopeMaxColumns;

    explicit TScopesPanel(QMainWindow* window);

    // Docks the panel, takes the source that every refresh asks for the
    // pictures, and restores the panel's settings.
    void Attach(std::function<TScopeSource()> source);
    // A tool bar button for the toggle action.
    QToolButton* MakeToolButton(QWidget* parent);

    // The pictures on screen changed: the scopes follow once the current
    // event is done (several changes in one event cost one measurement).
    // Nothing is measured while the panel is hidden.
    void Refresh();
    // Measures and draws at once.
    void RefreshNow();

    TScopeKind Kind() const;
    void SetKind(TScopeKind kind);
    bool Parade() const;
    const TScopeData& Data() const { return data_; }
    const QImage& Drawing() const { return drawing_; }
    bool HasReference() const { return hasReference_; }
    // The reference's statistics the vectorscope shows: those of the picture
    // in its cell, without the padding.
    const TColorStats& ShownReferenceStats() const { return referenceStats_; }
    // The legend of the reference's marks, shown with the vectorscope while
    // a reference is selected.
    const QLabel* Legend() const { return legend_; }
    int MeasureCount() const { return measureCount_; }

protected:
    void showEvent(QShowEvent* event) override;
    // The panel's own close button.
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* CreateControls();
    void Redraw();
    void ShowLegend();
    void SaveSettings() const;
    void FitWindow(bool shown);

    std::function<TScopeSource()> source_;
    // The reference's cell as last measured: a regrade of the same
    // reference measures it no more.
    void MeasureReference(const TImage& cell);

    TScopeData data_, cloud_;
    TImage measuredCell_;
    TColorStats referenceStats_{};
    bool hasReference_ = false;
    bool stale_ = true;
    bool restoring_ = false;
    int measureCount_ = 0;
    bool grown_ = false;
    int grownBy_ = 0;
    int baseMinimumWidth_ = 0;
    QImage drawing_;
    QComboBox* cbxScope_ = nullptr;
    QCheckBox* cbxParade_ = nullptr;
    QLabel* legend_ = nullptr;
    TScopeView* view_ = nullptr;
    QTimer* pending_ = nullptr;
};
