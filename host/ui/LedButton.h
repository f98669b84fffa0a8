#pragma once
// The indicator button (LED): owner-drawn on white, the frame of the LED strip (bitmap
// 152, frames 15 pixels wide) that matches its state at the left, the caption to the
// right of it, word-wrapped and centred vertically.

#include <QAbstractButton>
#include <QPixmap>

namespace host::ui {

class LedButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int FrameWidth = 15;

    explicit LedButton(QWidget* parent = nullptr);

    int state() const { return m_state; }
    // 0 dark, 1 lit; repaints only when the state changes.
    void setState(int state);
    // How many times the button has been painted (tests).
    int paintCount() const { return m_paintCount; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_strip;
    int m_state = 0;
    int m_paintCount = 0;
};

} // namespace host::ui
