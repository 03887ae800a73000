#pragma once
#include <QDialog>

#include "app/ProductInfo.h"

class QFrame;
class QLabel;
class QPushButton;

// The about box: the application's icon, the product name and version, the
// maker's two web addresses (clickable) and the copyright line.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    // The longest and highest the product name may be drawn, in pixels.
    static constexpr int kProductNameMaxWidth = 260;
    static constexpr int kProductNameMaxHeight = 35;

    explicit TAboutForm(const TProductInfo& info, QWidget* parent = nullptr);

    // Open the web site or the contacts page in the user's browser.
    void lblSiteClick();
    void lblMailClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void Fill();
    void FitProductName();
    QLabel* AddLabel(const char* name, int left, int top);
    void MakeLink(QLabel* label);
    void SetLinkText(QLabel* label, const QString& address);

    TProductInfo info_;
    QLabel* ProductImage = nullptr;
    QLabel* lblProduct = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblMail = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* lblSite = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* lblCopyright = nullptr;
    QPushButton* btnClose = nullptr;
};

// Shows the about box modally until it is closed.
void ShowAboutBox(const TProductInfo& info, QWidget* parent);
