#include <common/ui/EntryDialog.h>
#include <platform/MessageBox.h>
#include <platform/Windows.h>

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace pageui {

namespace {

constexpr const char* OkText = "OK";
constexpr const char* CancelText = "Cancel";
constexpr int EditWidth = 220;

} // namespace

EntryDialog::EntryDialog(QWidget* parent, const char* caption, std::vector<Field> fields,
                         const char* group)
    : QDialog(parent)
{
    setWindowTitle(caption);
    setModal(true);
    auto* form = new QFormLayout;
    for (const Field& field : fields) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(field.editId));
        edit->setMinimumWidth(EditWidth);
        form->addRow(new QLabel(field.label, this), edit);
        m_edits.push_back(edit);
    }
    auto* ok = new QPushButton(OkText, this);
    ok->setObjectName(QString::number(IDOK));
    ok->setDefault(true);
    auto* cancel = new QPushButton(CancelText, this);
    cancel->setObjectName(QString::number(IDCANCEL));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    if (group != nullptr) {
        auto* frame = new QGroupBox(group, this);
        frame->setLayout(form);
        layout->addWidget(frame);
    } else {
        layout->addLayout(form);
    }
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
    attachWidget(this);
}

std::string EntryDialog::text(std::size_t index) const
{
    return m_edits.at(index)->text().toStdString();
}

void EntryDialog::setText(std::size_t index, const std::string& text)
{
    m_edits.at(index)->setText(QString::fromStdString(text));
}

void EntryDialog::setNumeric(std::size_t index, unsigned maxValue)
{
    const int digits = QString::number(maxValue).size();
    QLineEdit* edit = m_edits.at(index);
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QString("\\d{0,%1}").arg(digits)), edit));
}

void EntryDialog::setMaxLength(std::size_t index, int characters)
{
    m_edits.at(index)->setMaxLength(characters);
}

std::optional<std::vector<std::string>> EntryDialog::run(const std::vector<std::string>& initial)
{
    for (std::size_t i = 0; i < initial.size() && i < m_edits.size(); ++i) {
        setText(i, initial[i]);
    }
    if (exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    std::vector<std::string> out;
    for (std::size_t i = 0; i < m_edits.size(); ++i) {
        out.push_back(text(i));
    }
    return out;
}

LRESULT EntryDialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        accept();
        return 0;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        reject();
        return 0;
    }
    return Window::windowProc(message, wParam, lParam);
}

} // namespace pageui
