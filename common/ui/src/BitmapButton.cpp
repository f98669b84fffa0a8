#include <common/ui/BitmapButton.h>
#include <common/ui/Resources.h>

#include <QPainter>

namespace pageui {

BitmapButton::BitmapButton(const QString& up, const QString& down, QWidget* parent,
                           const QString& disabled)
    : QAbstractButton(parent), m_up(Resources::pixmap(up)), m_down(Resources::pixmap(down))
{
    if (!disabled.isEmpty()) {
        m_disabled = Resources::pixmap(disabled);
    }
    setAccessibleName(up);
    setCursor(Qt::PointingHandCursor);
    resize(sizeHint());
}

QSize BitmapButton::sizeHint() const
{
    return m_up.isNull() ? QSize(96, 28) : m_up.size();
}

void BitmapButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!isEnabled() && !m_disabled.isNull()) {
        painter.drawPixmap(0, 0, m_disabled);
        return;
    }
    if (!isEnabled()) {
        painter.setOpacity(0.45);
    }
    const QPixmap& picture = isDown() && !m_down.isNull() ? m_down : m_up;
    if (picture.isNull()) {
        // The artwork is missing: still a usable button.
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.drawText(rect(), Qt::AlignCenter, text());
        return;
    }
    painter.drawPixmap(0, 0, picture);
}

} // namespace pageui
