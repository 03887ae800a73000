#include "app/About.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kClientWidth = 352;
constexpr int kClientHeight = 243;
constexpr int kProductNameStartPixels = 27;
constexpr int kSmallestPoints = 1;
constexpr int kLinkRightMargin = 8;

// A contacts entry may be a web page or a bare mail address.
QUrl LinkTarget(const QString& address) {
    const QUrl url(address);
    if (!url.scheme().isEmpty()) return url;
    if (address.contains('@')) return QUrl(QStringLiteral("mailto:") + address);
    return QUrl::fromUserInput(address);
}

void OpenAddress(const QString& address) {
    if (address.trimmed().isEmpty()) return;
    // The answer of the desktop is of no use here: a browser that does not
    // start shows its own complaint.
    QDesktopServices::openUrl(LinkTarget(address));
}
}  // namespace

TAboutForm::TAboutForm(const TProductInfo& info, QWidget* parent) : QDialog(parent), info_(info) {
    CreateComponents();
    Fill();
}

QLabel* TAboutForm::AddLabel(const char* name, int left, int top) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    return label;
}

void TAboutForm::MakeLink(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
}

void TAboutForm::CreateComponents() {
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(QFont(QStringLiteral("Arial"), 9));

    ProductImage = AddLabel("ProductImage", 18, 16);
    ProductImage->resize(32, 32);

    lblProduct = AddLabel("lblProduct", 70, 16);
    QFont productFont = font();
    productFont.setBold(true);
    productFont.setUnderline(true);
    lblProduct->setFont(productFont);

    lblVersion = AddLabel("lblVersion", 70, 58);
    QFont versionFont = font();
    versionFont.setBold(true);
    lblVersion->setFont(versionFont);

    Label2 = AddLabel("Label2", 70, 117);
    Label2->setText(QStringLiteral("Contacts:"));
    lblMail = AddLabel("lblMail", 130, 117);
    MakeLink(lblMail);
    Label3 = AddLabel("Label3", 70, 142);
    Label3->setText(QStringLiteral("Website:"));
    lblSite = AddLabel("lblSite", 130, 142);
    MakeLink(lblSite);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(26, 167, 300, 2);

    lblCopyright = AddLabel("lblCopyright", 0, 174);
    lblCopyright->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(139, 206, 75, 25);
    btnClose->setDefault(true);
    btnClose->setAutoDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::Fill() {
    ProductImage->setPixmap(QApplication::windowIcon().pixmap(32, 32));

    lblProduct->setText(info_.ProductName);
    FitProductName();

    lblVersion->setText(QStringLiteral("Version: ") + info_.Version);
    lblVersion->adjustSize();

    SetLinkText(lblSite, info_.WebSite);
    SetLinkText(lblMail, info_.ContactsPage);
    Label2->adjustSize();
    Label3->adjustSize();
    if (info_.ContactsPage.isEmpty()) Label2->hide();

    lblCopyright->setText(info_.Copyright);
    lblCopyright->resize(kClientWidth, lblCopyright->sizeHint().height());
}

// The name starts 27 px high and shrinks one point at a time until the label
// fits 260 x 35 px. A name too long even for the smallest size is cut with an
// ellipsis (the whole name stays in the tool tip) instead of running over the
// rest of the box.
void TAboutForm::FitProductName() {
    QFont font = lblProduct->font();
    font.setPixelSize(kProductNameStartPixels);
    lblProduct->setFont(font);
    lblProduct->adjustSize();
    auto fits = [this] {
        return lblProduct->width() <= kProductNameMaxWidth && lblProduct->height() <= kProductNameMaxHeight;
    };
    int points = static_cast<int>(std::lround(kProductNameStartPixels * 72.0 / logicalDpiY()));
    while (!fits() && points > kSmallestPoints) {
        --points;
        font.setPointSize(points);
        lblProduct->setFont(font);
        lblProduct->adjustSize();
    }
    if (fits()) return;
    const QFontMetrics metrics(font);
    lblProduct->setToolTip(info_.ProductName);
    lblProduct->setText(metrics.elidedText(info_.ProductName, Qt::ElideRight, kProductNameMaxWidth - 8));
    lblProduct->adjustSize();
    lblProduct->resize(std::min(lblProduct->width(), kProductNameMaxWidth),
                       std::min(lblProduct->height(), kProductNameMaxHeight));
}

// An address longer than the room left in the box is shown shortened; the
// click still opens the whole address, which the tool tip shows.
void TAboutForm::SetLinkText(QLabel* label, const QString& address) {
    const int room = kClientWidth - label->x() - kLinkRightMargin;
    const QFontMetrics metrics(label->font());
    if (metrics.horizontalAdvance(address) > room) {
        label->setText(metrics.elidedText(address, Qt::ElideMiddle, room));
        label->setToolTip(address);
    } else {
        label->setText(address);
    }
    label->adjustSize();
}

void TAboutForm::lblSiteClick() { OpenAddress(info_.WebSite); }

void TAboutForm::lblMailClick() { OpenAddress(info_.ContactsPage); }

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == lblSite) {
            lblSiteClick();
            return true;
        }
        if (watched == lblMail) {
            lblMailClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ShowAboutBox(const TProductInfo& info, QWidget* parent) {
    TAboutForm form(info, parent);
    form.exec();
}
