#include "NavigationButton.h"

#include "Resources.h"

#include <QPainter>

namespace host::ui {

NavigationButton::NavigationButton(int id, QWidget* parent)
    : QAbstractButton(parent), m_id(id), m_normal(Resources::pixmap(QString("NAV%1U").arg(id))),
      m_selected(Resources::pixmap(QString("NAV%1D").arg(id)))
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QString("Navigation%1").arg(id));
    resize(sizeHint());
}

QSize NavigationButton::sizeHint() const
{
    return m_normal.isNull() ? QSize(138, 30) : m_normal.size();
}

void NavigationButton::setSelected(bool selected)
{
    if (m_isSelected != selected) {
        m_isSelected = selected;
        update();
    }
}

void NavigationButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap& picture =
        (m_isSelected || isDown()) && !m_selected.isNull() ? m_selected : m_normal;
    if (!picture.isNull()) {
        painter.drawPixmap(rect(), picture);
        return;
    }
    // Without artwork the entry still reads as a button.
    painter.fillRect(rect(), m_isSelected ? QColor("#2f7be6") : QColor("#1a2333"));
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, QString::number(m_id));
}

} // namespace host::ui
