#include <common/ui/IpAddressEdit.h>

#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace pageui {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent)
{
    setObjectName("IpAddressEdit");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(0);
    setStyleSheet("#IpAddressEdit { background: white; border: 1px solid #c9cfdb;"
                  " border-radius: 4px; } QLineEdit { border: none; background: transparent; }");
    setAttribute(Qt::WA_StyledBackground);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QString("field%1").arg(i));
        field->setValidator(new QIntValidator(0, 255, field));
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(34);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { onEdited(static_cast<int>(i)); });
        m_fields[i] = field;
        layout->addWidget(field);
        if (i + 1 < m_fields.size()) {
            layout->addWidget(new QLabel(".", this));
        }
    }
    layout->addStretch();
}

int IpAddressEdit::address(DWORD& address) const
{
    address = 0;
    int filled = 0;
    for (const QLineEdit* field : m_fields) {
        bool ok = false;
        const uint value = field->text().toUInt(&ok);
        filled += ok ? 1 : 0;
        address = (address << 8) | (ok ? (value & 0xFF) : 0);
    }
    return filled;
}

void IpAddressEdit::setAddress(DWORD address)
{
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
    }
}

void IpAddressEdit::clear()
{
    for (QLineEdit* field : m_fields) {
        field->clear();
    }
}

void IpAddressEdit::onEdited(int index)
{
    // A full field, or one that can take no further digit, moves on to the next.
    const QString text = m_fields[static_cast<std::size_t>(index)]->text();
    if (index < 3 && (text.size() == 3 || text.toInt() > 25)) {
        m_fields[static_cast<std::size_t>(index) + 1]->setFocus();
        m_fields[static_cast<std::size_t>(index) + 1]->selectAll();
    }
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        for (std::size_t i = 0; i + 1 < m_fields.size(); ++i) {
            if (watched == m_fields[i] && key->key() == Qt::Key_Period) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace pageui
