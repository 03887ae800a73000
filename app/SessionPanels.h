#pragma once

class QMainWindow;
class TGradingSession;
class TLibraryPanel;
class TLookFiles;
class TLookPanel;
class TPreviewPanel;
struct TToolStrip;

// One grading session, the panels that show it and send it commands, and
// the window they stand in (the parent of their dialogs).
struct TSessionPanels {
    QMainWindow& Window;
    TGradingSession& Session;
    TPreviewPanel& Preview;
    TLibraryPanel& Library;
    TLookPanel& Look;
    TLookFiles& Files;
    const TToolStrip& Strip;
};
