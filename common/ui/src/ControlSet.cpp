#include <common/ui/ControlSet.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace pageui {

QRect dialogUnits(int x, int y, int width, int height)
{
    return QRect(x * 7 / 5, y * 3 / 2, width * 7 / 5, height * 3 / 2);
}

void ControlSet::place(UINT id, QWidget* control, QRect units)
{
    control->setGeometry(dialogUnits(units));
    add(id, control);
}

void ControlSet::add(UINT id, QWidget* control)
{
    if (id != 0) {
        control->setObjectName(QString::number(id));
        m_controls[id] = control;
    }
}

QCheckBox* ControlSet::addCheckBox(UINT id, const char* text, QRect units)
{
    auto* box = new QCheckBox(text, &m_owner);
    place(id, box, units);
    m_window.bindCommand(box, id);
    return box;
}

QPushButton* ControlSet::addButton(UINT id, const char* text, QRect units)
{
    auto* pushButton = new QPushButton(text, &m_owner);
    place(id, pushButton, units);
    m_window.bindCommand(pushButton, id);
    return pushButton;
}

QGroupBox* ControlSet::addGroup(const char* text, QRect units)
{
    auto* group = new QGroupBox(text, &m_owner);
    place(0, group, units);
    // Groups frame the controls drawn over them.
    group->lower();
    return group;
}

QLabel* ControlSet::addLabel(const char* text, QRect units, UINT id)
{
    auto* label = new QLabel(text, &m_owner);
    place(id, label, units);
    return label;
}

QWidget* ControlSet::control(UINT id) const
{
    auto it = m_controls.find(id);
    return it != m_controls.end() ? it->second : nullptr;
}

QCheckBox* ControlSet::checkBox(UINT id) const
{
    return qobject_cast<QCheckBox*>(control(id));
}

QPushButton* ControlSet::button(UINT id) const
{
    return qobject_cast<QPushButton*>(control(id));
}

void ControlSet::enable(std::initializer_list<UINT> ids, bool enabled)
{
    for (UINT id : ids) {
        if (QWidget* found = control(id)) {
            found->setEnabled(enabled);
        }
    }
}

} // namespace pageui
