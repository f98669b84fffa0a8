#include "LedButton.h"

#include "Resources.h"

#include <QPainter>

namespace host::ui {

namespace {
constexpr int TextGap = 6;
}

LedButton::LedButton(QWidget* parent)
    : QAbstractButton(parent), m_strip(Resources::bitmap(Resources::LedStrip))
{
    setFocusPolicy(Qt::NoFocus);
}

void LedButton::setState(int state)
{
    if (state == m_state) {
        return;
    }
    m_state = state;
    update();
}

QSize LedButton::sizeHint() const
{
    return {FrameWidth + TextGap + fontMetrics().horizontalAdvance(text()), 20};
}

void LedButton::paintEvent(QPaintEvent*)
{
    ++m_paintCount;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const int frameHeight = m_strip.isNull() ? FrameWidth : m_strip.height();
    const int top = (height() - frameHeight) / 2;
    const int frames = m_strip.isNull() ? 0 : m_strip.width() / FrameWidth;
    if (m_state >= 0 && m_state < frames) {
        painter.drawPixmap(QPoint(0, top), m_strip,
                           QRect(m_state * FrameWidth, 0, FrameWidth, frameHeight));
    } else {
        // No artwork: a plain lamp still tells the state.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(m_state != 0 ? QColor(0x3e, 0xe0, 0x8a) : QColor(0x6b, 0x73, 0x83));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QRect(1, top + 1, FrameWidth - 2, FrameWidth - 2));
    }
    painter.setPen(QColor(0x3a, 0x42, 0x56));
    const QRect textArea(FrameWidth + TextGap, 0, width() - FrameWidth - TextGap, height());
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text());
}

} // namespace host::ui
