#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSettings>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>
#include <memory>

#include "app/MainForm.h"
#include "app/ScopesPanel.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"

// Every text of the window fits its widget, measured with the font the
// widget has on this machine (so it holds whatever the fonts are): at the
// window's first size and at its minimum size, with the scopes closed and
// open. It builds the whole window: what it measures is the room the
// window's layout leaves every panel's texts.

namespace {

QString Shown(QString text) {
    text.replace("&&", "\x01");
    text.remove('&');
    return text.replace('\x01', '&');
}

int Widest(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split('\n')) widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// The width the widget's text needs and the width it has, or {0, 0} for a
// widget without a text to measure.
std::pair<int, int> NeedAndRoom(const QWidget* widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty() || label->wordWrap()) return {0, 0};
        QString text = label->text();
        if (label->textFormat() == Qt::RichText || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
            QTextDocument document;
            document.setHtml(text);
            text = document.toPlainText();
        }
        const int room = label->contentsRect().width() - 2 * label->margin() - std::max(0, label->indent());
        return {Widest(metrics, text), room};
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        if (combo->currentText().isEmpty()) return {0, 0};
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        option.currentText = combo->currentText();
        option.currentIcon = combo->itemIcon(combo->currentIndex());
        option.iconSize = combo->iconSize();
        const QRect field =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        const int icon = option.currentIcon.isNull() ? 0 : option.iconSize.width() + 4;
        return {metrics.horizontalAdvance(option.currentText) + icon, field.width()};
    }
    if (const auto* push = qobject_cast<const QPushButton*>(widget)) {
        if (push->text().isEmpty()) return {0, 0};
        QStyleOptionButton option;
        option.initFrom(push);
        option.text = push->text();
        option.icon = push->icon();
        option.iconSize = push->iconSize();
        if (push->isFlat()) option.features |= QStyleOptionButton::Flat;
        const QRect contents = push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push);
        const int icon = push->icon().isNull() ? 0 : push->iconSize().width() + 4;
        return {metrics.horizontalAdvance(Shown(push->text())) + icon, contents.width()};
    }
    if (const auto* tool = qobject_cast<const QToolButton*>(widget)) {
        if (tool->text().isEmpty() || tool->toolButtonStyle() == Qt::ToolButtonIconOnly) return {0, 0};
        return {tool->sizeHint().width(), tool->width()};
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {  // check and radio boxes
        if (button->text().isEmpty()) return {0, 0};
        return {button->sizeHint().width(), button->width()};
    }
    return {0, 0};
}

// The part of the widget's width its parents leave visible. A scroll area
// that scrolls only up and down cuts nothing across: what it hides can be
// scrolled into view.
int VisibleWidth(const QWidget* widget) {
    QRect rect = widget->rect();
    bool scrolls = false;
    for (const QWidget* w = widget; w->parentWidget() && !w->isWindow(); w = w->parentWidget()) {
        rect.translate(w->pos());
        const auto* area = qobject_cast<const QScrollArea*>(w->parentWidget()->parentWidget());
        scrolls = scrolls || (area && area->viewport() == w->parentWidget() &&
                              area->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff);
        QRect parent = w->parentWidget()->rect();
        if (scrolls) parent = QRect(parent.left(), rect.top(), parent.width(), rect.height());
        rect = rect.intersected(parent);
    }
    return std::max(0, rect.width());
}

QString TextOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) return combo->currentText();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    return QString();
}

// One line per text that does not fit: cut, elided or hidden by a parent.
QStringList TextsThatDoNotFit(const QWidget* window, int& measured) {
    QStringList unfit;
    measured = 0;
    for (const QWidget* widget : window->findChildren<QWidget*>()) {
        // The status line names the user's files, which no width holds at
        // every length; it elides them and its tool tip shows them whole.
        if (!widget->isVisible() || widget->objectName() == "lblStatusLine") continue;
        const auto [need, room] = NeedAndRoom(widget);
        if (need == 0) continue;
        ++measured;
        const QString text = TextOf(widget);
        const int visible = std::min(room, VisibleWidth(widget) - (widget->width() - room));
        if (need > visible || text.contains(QChar(0x2026)))
            unfit << QString("%1 %2 \"%3\": needs %4 px, has %5")
                         .arg(widget->metaObject()->className(), widget->objectName(), text)
                         .arg(need)
                         .arg(visible);
    }
    return unfit;
}

class TextsFitTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        QDir().mkpath(dir.filePath("lib"));
        SaveJpegFile(dir.filePath("lib/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        SaveImageFile(dir.filePath("frame.bmp").toStdString(), ColourfulPicture(640, 320));
        window = std::make_unique<TfrmMain>(dir.filePath("lib").toStdString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        dialogs.PicturesToOpen.push_back(dir.filePath("frame.bmp"));
        window->Preview().OpenClick();
        window->Library().List()->item(0)->setSelected(true);
        QApplication::processEvents();
    }
    void TearDown() override { window.reset(); }

    void ExpectAllFit(const char* layout) {
        QApplication::processEvents();
        int measured = 0;
        const QStringList unfit = TextsThatDoNotFit(window.get(), measured);
        EXPECT_TRUE(unfit.isEmpty()) << layout << " (" << window->width() << " x " << window->height() << "):\n"
                                     << unfit.join('\n').toStdString();
        EXPECT_GE(measured, 20) << layout;  // the captions, switches, buttons and combos were measured
    }
};

}  // namespace

TEST_F(TextsFitTest, EveryTextFitsItsWidget) {
    ExpectAllFit("first size");
    window->resize(window->minimumSize());
    ExpectAllFit("minimum size");
    window->Scopes()->toggleViewAction()->trigger();
    ASSERT_TRUE(window->Scopes()->isVisible());
    ExpectAllFit("scopes open");
    window->resize(window->minimumSize());
    ExpectAllFit("scopes open, minimum size");

    // The measure itself finds a cut text, an elided one and one hidden by
    // its parent.
    int measured = 0;
    auto* cut = new QLabel("A caption far too long for its place", window->centralWidget());
    cut->setGeometry(0, 0, cut->fontMetrics().horizontalAdvance(cut->text()) / 2, 20);
    cut->show();
    auto* elided = new QCheckBox(QString("Short") + QChar(0x2026), window->centralWidget());
    elided->setGeometry(0, 30, 400, 20);
    elided->show();
    auto* hidden = new QPushButton("Defaults", window->centralWidget());
    hidden->setGeometry(window->centralWidget()->width() - 10, 60, 200, 30);
    hidden->show();
    const QStringList unfit = TextsThatDoNotFit(window.get(), measured);
    EXPECT_EQ(unfit.filter("far too long").size(), 1) << unfit.join('\n').toStdString();
    EXPECT_EQ(unfit.filter(QString("Short") + QChar(0x2026)).size(), 1);
    EXPECT_EQ(unfit.filter("\"Defaults\": needs").size(), 1);  // the panels' own Defaults fit
}
