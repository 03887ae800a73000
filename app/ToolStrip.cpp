#include "app/ToolStrip.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ScopesPanel.h"

namespace {

constexpr int kToolHintTime = 5000;

QIcon ButtonIcon(const QString& normal, const QString& disabled = QString()) {
    QIcon icon(normal);
    if (!disabled.isEmpty()) icon.addFile(disabled, QSize(), QIcon::Disabled);
    return icon;
}

}  // namespace

TToolStrip CreateToolStrip(QWidget* parent, TScopesPanel& scopes) {
    TToolStrip tools;
    auto* strip = new QWidget(parent);
    strip->setObjectName("pnlTools");
    strip->setFixedHeight(34);
    strip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* column = new QVBoxLayout(strip);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 1, 4, 1);
    row->setSpacing(2);

    auto makeButton = [&](const char* name, const QIcon& icon, const QString& caption, const QString& hint) {
        auto* button = new QToolButton(strip);
        button->setObjectName(name);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);  // flat buttons never take the focus
        button->setIcon(icon);
        button->setIconSize(QSize(24, 24));
        button->setToolTip(hint);
        button->setToolTipDuration(kToolHintTime);
        if (!caption.isEmpty()) {
            button->setText(caption);
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
        row->addWidget(button);
        return button;
    };
    tools.OpenPreviewImage = makeButton("sbnOpenPreviewImage", ButtonIcon(":/icons/open.png"), "Open Preview Image",
                                        "Open a preview image (Ctrl+O)");
    tools.CreateLUT = makeButton("sbnCreateLUT", ButtonIcon(":/icons/lut.png", ":/icons/lut_disabled.png"),
                                 "Create 3D LUT", "Create the 3D LUT file (Ctrl+E)");
    tools.CreateLUT->setEnabled(false);
    tools.AddToLib =
        makeButton("sbnAddToLib", ButtonIcon(":/icons/add.png"), QString(), "Add reference images to the library");
    tools.ShowOriginal = makeButton("sbnShowOriginal", ButtonIcon(":/icons/original.png"), QString(),
                                    "Show the ungraded preview image (\\)");
    tools.ShowOriginal->setCheckable(true);
    tools.ShowOriginal->setEnabled(false);
    tools.SplitView = makeButton("sbnSplitView", ButtonIcon(":/icons/split.png"), "Split View",
                                 "Show the ungraded preview left and the graded preview right of a divider");
    tools.SplitView->setCheckable(true);
    row->addWidget(scopes.MakeToolButton(strip));
    row->addStretch(1);
    tools.About = makeButton("sbnAbout", ButtonIcon(":/icons/about.png"), QString(), "About");

    auto* line = new QFrame(strip);
    line->setObjectName("bvlTools");
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette silver = line->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    line->setPalette(silver);
    column->addLayout(row, 1);
    column->addWidget(line);
    tools.Strip = strip;
    return tools;
}
