#pragma once
// One entry of the main window's navigation column: the picture "NAV<id>U", or
// "NAV<id>D" while its page is shown (selected) or while it is pressed. A click does
// not select it: the main window selects the entries of the page it shows.

#include <QAbstractButton>
#include <QPixmap>

namespace host::ui {

class NavigationButton : public QAbstractButton {
    Q_OBJECT
public:
    NavigationButton(int id, QWidget* parent = nullptr);

    int id() const { return m_id; }
    bool isSelected() const { return m_isSelected; }
    void setSelected(bool selected);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_id;
    QPixmap m_normal;
    QPixmap m_selected;
    bool m_isSelected = false;
};

} // namespace host::ui
