#pragma once
// A button drawn from two pictures of the resource set: one when up, one while pressed
// (for example "CLEARLOGU" / "CLEARLOGD"). A third, optional picture shows it disabled;
// without one a disabled button is drawn faded.

#include <QAbstractButton>
#include <QPixmap>
#include <QString>

namespace pageui {

class BitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    BitmapButton(const QString& up, const QString& down, QWidget* parent = nullptr,
                 const QString& disabled = QString());
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_up;
    QPixmap m_down;
    QPixmap m_disabled;
};

} // namespace pageui
