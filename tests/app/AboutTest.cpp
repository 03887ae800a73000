#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/About.h"
#include "app/ProductInfo.h"

namespace {

// Collects the addresses the about box hands to the desktop.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Urls;
public slots:
    void Open(const QUrl& url) { Urls << url; }
};

// Installs the catcher for the schemes the about box can use and removes it
// again at the end of the test.
class TUrlHandlerScope {
public:
    explicit TUrlHandlerScope(TUrlCatcher* catcher) {
        for (const char* scheme : {"http", "https", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), catcher, "Open");
    }
    ~TUrlHandlerScope() {
        for (const char* scheme : {"http", "https", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
};

template <class T>
T* Child(QWidget& form, const char* name) {
    T* child = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// The program's icon as installed, from the sources' packaging folder.
QString ProductIconFile(int size) { return QStringLiteral(PACKAGING_DIR "/icons/%1x%1/ombrane.png").arg(size); }

TProductInfo InfoNamed(const QString& name) {
    TProductInfo info = ProductInfo();
    info.ProductName = name;
    return info;
}

// Width and height of a text in the label's font at a given point size.
QSize TextSizeAt(const QLabel& label, int points) {
    QFont font = label.font();
    font.setPointSize(points);
    const QFontMetrics metrics(font);
    return {metrics.horizontalAdvance(label.text()), metrics.height()};
}

}  // namespace

TEST(ProductInfoTest, NameAndVersionOfTheProduct) {
    EXPECT_EQ(ProductInfo().ProductName, QStringLiteral("Quor Ombrane"));
    EXPECT_EQ(ProductInfo().Version, QStringLiteral("1.00"));
    EXPECT_TRUE(QUrl(ProductInfo().WebSite).isValid());
    EXPECT_FALSE(QUrl(ProductInfo().WebSite).scheme().isEmpty());
    EXPECT_FALSE(ProductInfo().Copyright.isEmpty());
}

TEST(ProductInfoTest, IconComesInEveryInstalledSize) {
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QImage icon(ProductIconFile(size));
        ASSERT_FALSE(icon.isNull()) << size;
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel()) << size;
        // Transparent corners, an opaque middle.
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << size;
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;
    }
}

TEST(AboutTest, ShowsTheProductRecordInTheFixedLayout) {
    const QIcon before = QApplication::windowIcon();
    QApplication::setWindowIcon(QIcon(ProductIconFile(32)));
    TAboutForm form(ProductInfo());
    QApplication::setWindowIcon(before);
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(form.size(), QSize(352, 243));

    auto* product = Child<QLabel>(form, "lblProduct");
    EXPECT_EQ(product->text(), QStringLiteral("Quor Ombrane"));
    EXPECT_EQ(product->pos(), QPoint(70, 16));
    EXPECT_TRUE(product->font().bold());
    EXPECT_TRUE(product->font().underline());
    // The short name keeps its first size of 27 px where it fits 260 x 35
    // at that size; where the machine's font for it is wider, it takes the
    // largest point size that fits.
    QLabel probe(product->text());
    QFont start = product->font();
    start.setPixelSize(27);
    probe.setFont(start);
    probe.adjustSize();
    if (probe.width() <= 260 && probe.height() <= 35) {
        EXPECT_EQ(QFontInfo(product->font()).pixelSize(), 27);
    } else {
        EXPECT_LT(QFontInfo(product->font()).pixelSize(), 27);
        EXPECT_LE(product->width(), 260);
        EXPECT_LE(product->height(), 35);
        QFont larger = product->font();
        larger.setPointSize(product->font().pointSize() + 1);
        probe.setFont(larger);
        probe.adjustSize();
        EXPECT_TRUE(probe.width() > 260 || probe.height() > 35);
    }

    EXPECT_EQ(Child<QLabel>(form, "lblVersion")->text(), QStringLiteral("Version: 1.00"));
    EXPECT_EQ(Child<QLabel>(form, "lblVersion")->pos(), QPoint(70, 58));
    EXPECT_EQ(Child<QLabel>(form, "Label2")->text(), QStringLiteral("Contacts:"));
    EXPECT_TRUE(Child<QLabel>(form, "Label2")->isVisible());
    EXPECT_EQ(Child<QLabel>(form, "lblMail")->text(), ProductInfo().ContactsPage);
    EXPECT_EQ(Child<QLabel>(form, "lblMail")->pos(), QPoint(130, 117));
    EXPECT_EQ(Child<QLabel>(form, "Label3")->text(), QStringLiteral("Website:"));
    EXPECT_EQ(Child<QLabel>(form, "lblSite")->text(), ProductInfo().WebSite);
    EXPECT_EQ(Child<QLabel>(form, "lblSite")->pos(), QPoint(130, 142));
    EXPECT_EQ(Child<QLabel>(form, "lblSite")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Child<QFrame>(form, "Bevel1")->geometry(), QRect(26, 167, 300, 2));
    auto* copyright = Child<QLabel>(form, "lblCopyright");
    EXPECT_EQ(copyright->text(), ProductInfo().Copyright);
    EXPECT_EQ(copyright->x(), 0);
    EXPECT_EQ(copyright->width(), 352);
    EXPECT_TRUE(copyright->alignment() & Qt::AlignHCenter);
    auto* close = Child<QPushButton>(form, "btnClose");
    EXPECT_EQ(close->geometry(), QRect(139, 206, 75, 25));
    EXPECT_TRUE(close->isDefault());
    EXPECT_EQ(Child<QLabel>(form, "ProductImage")->geometry(), QRect(18, 16, 32, 32));

    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    EXPECT_TRUE(form.grab().save(QStringLiteral(SCREENSHOT_DIR "/about-box.png")));
}

TEST(AboutTest, ShowsTheApplicationIcon) {
    const QIcon before = QApplication::windowIcon();
    QPixmap red(32, 32);
    red.fill(QColor(200, 10, 10));
    QApplication::setWindowIcon(QIcon(red));
    TAboutForm form(ProductInfo());
    QApplication::setWindowIcon(before);
    const QPixmap shown = Child<QLabel>(form, "ProductImage")->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.toImage().pixelColor(16, 16), QColor(200, 10, 10));
}

TEST(AboutTest, LongProductNameShrinksUntilItFits) {
    const QString longName = QStringLiteral("Quor Ombrane Studio Colour Grading Suite");
    TAboutForm form(InfoNamed(longName));
    auto* product = Child<QLabel>(form, "lblProduct");
    EXPECT_EQ(product->text(), longName);  // smaller, not cut
    EXPECT_LE(product->width(), TAboutForm::kProductNameMaxWidth);
    EXPECT_LE(product->height(), TAboutForm::kProductNameMaxHeight);
    const int points = product->font().pointSize();
    ASSERT_GT(points, 1);
    EXPECT_LT(QFontInfo(product->font()).pixelSize(), 27);
    // Shrunk only as far as needed: one point larger would not fit.
    const QSize larger = TextSizeAt(*product, points + 1);
    EXPECT_TRUE(larger.width() > TAboutForm::kProductNameMaxWidth ||
                larger.height() > TAboutForm::kProductNameMaxHeight);
    // And the text really fits at the size chosen.
    EXPECT_LE(TextSizeAt(*product, points).width(), TAboutForm::kProductNameMaxWidth);

    // A name too long for any size stays inside the box, whole in the tool tip.
    const QString endless = QString(QStringLiteral("Ombrane ")).repeated(200);
    TAboutForm endlessForm(InfoNamed(endless));
    auto* endlessLabel = Child<QLabel>(endlessForm, "lblProduct");
    EXPECT_LE(endlessLabel->width(), TAboutForm::kProductNameMaxWidth);
    EXPECT_LE(endlessLabel->height(), TAboutForm::kProductNameMaxHeight);
    EXPECT_EQ(endlessLabel->toolTip(), endless);
}

TEST(AboutTest, EmptyContactsPageHidesTheContactsLabel) {
    TProductInfo info = ProductInfo();
    info.ContactsPage.clear();
    TAboutForm form(info);
    form.show();
    EXPECT_FALSE(Child<QLabel>(form, "Label2")->isVisible());
    EXPECT_TRUE(Child<QLabel>(form, "Label3")->isVisible());
    EXPECT_TRUE(Child<QLabel>(form, "lblSite")->isVisible());

    // Clicking the empty contacts line opens nothing.
    TUrlCatcher catcher;
    TUrlHandlerScope scope(&catcher);
    form.lblMailClick();
    EXPECT_TRUE(catcher.Urls.isEmpty());
}

TEST(AboutTest, ClickingALinkOpensItAndKeepsTheBoxOpen) {
    TUrlCatcher catcher;
    TUrlHandlerScope scope(&catcher);
    TProductInfo info = ProductInfo();
    info.WebSite = QStringLiteral("https://site.example.net/start");
    info.ContactsPage = QStringLiteral("people@example.net");
    TAboutForm form(info);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    auto* site = Child<QLabel>(form, "lblSite");
    QTest::mouseClick(site, Qt::LeftButton, {}, QPoint(5, site->height() / 2));
    ASSERT_EQ(catcher.Urls.size(), 1);
    EXPECT_EQ(catcher.Urls[0], QUrl(QStringLiteral("https://site.example.net/start")));
    EXPECT_TRUE(form.isVisible());

    auto* mail = Child<QLabel>(form, "lblMail");
    QTest::mouseClick(mail, Qt::LeftButton, {}, QPoint(5, mail->height() / 2));
    ASSERT_EQ(catcher.Urls.size(), 2);
    EXPECT_EQ(catcher.Urls[1], QUrl(QStringLiteral("mailto:people@example.net")));
    EXPECT_TRUE(form.isVisible());

    // An address too long for the box is shown shortened but opened whole.
    info.WebSite = QStringLiteral("https://site.example.net/") + QString(QStringLiteral("long/")).repeated(40);
    TAboutForm longForm(info);
    longForm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&longForm));
    auto* longSite = Child<QLabel>(longForm, "lblSite");
    EXPECT_LE(longSite->geometry().right(), longForm.width());
    QTest::mouseClick(longSite, Qt::LeftButton, {}, QPoint(5, longSite->height() / 2));
    ASSERT_EQ(catcher.Urls.size(), 3);
    EXPECT_EQ(catcher.Urls[2], QUrl(info.WebSite));
    longForm.close();

    // The other labels are not links.
    QTest::mouseClick(Child<QLabel>(form, "Label3"), Qt::LeftButton);
    EXPECT_EQ(catcher.Urls.size(), 3);
}

TEST(AboutTest, ShowAboutBoxClosesWithEscapeAndWithEnter) {
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        QString seenTitle;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            seenTitle = modal->windowTitle();
            QTest::keyClick(modal, key);
        });
        // Should the key not close the box, this closes it so the test ends.
        bool forced = false;
        QTimer fallback;
        fallback.setSingleShot(true);
        QObject::connect(&fallback, &QTimer::timeout, [&] {
            forced = true;
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        fallback.start(5000);
        ShowAboutBox(ProductInfo(), nullptr);
        EXPECT_EQ(seenTitle, QStringLiteral("About")) << key;
        EXPECT_FALSE(forced) << key;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

#include "AboutTest.moc"
