#pragma once
// An IP address control: four fields of 0 to 255. It reports how many fields are filled,
// and the address with the first field in the most significant byte.

#include <platform/WinTypes.h>

#include <QWidget>

#include <array>

class QLineEdit;

namespace pageui {

class IpAddressEdit : public QWidget {
    Q_OBJECT
public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    // The number of filled fields (0 to 4); address gets the value, empty fields as 0.
    int address(DWORD& address) const;
    void setAddress(DWORD address);
    void clear();
    QLineEdit* field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onEdited(int index);

    std::array<QLineEdit*, 4> m_fields{};
};

} // namespace pageui
