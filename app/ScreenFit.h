#pragma once

class QWidget;

// A window larger than its screen's free area shrinks to it (never below its
// minimum size), and one past the area's edges moves back in; a maximised or
// full-screen window is left as it is.
void FitWindowToScreen(QWidget& window);
