#pragma once
#include <QImage>
#include <QWidget>
#include <functional>

// Shows a drawing of the scopes centred on a dark ground and tells its
// owner when its size changed, so that the drawing can be made anew.
class TScopeView : public QWidget {
    Q_OBJECT
public:
    explicit TScopeView(QWidget* parent = nullptr);
    void SetDrawing(const QImage& drawing);
    // Room for the scopes stacked in a panel of the preferred width.
    QSize sizeHint() const override { return QSize(330, 640); }

    std::function<void()> OnResize;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage drawing_;
};
