#include "CustomDirectoryDialog.h"

#include <platform/Environment.h>

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace local {

namespace {

constexpr const char* DirectoryLabel = "Directory";
constexpr const char* BrowseText = "Browse";
constexpr const char* OkText = "OK";
constexpr const char* CancelText = "Cancel";
constexpr const char* PickerTitle = "Browse for Folder";

// Dialog units of the 8-point dialog font, in pixels.
QRect dialogUnits(int x, int y, int width, int height)
{
    return QRect(x * 3 / 2, y * 13 / 8, width * 3 / 2, height * 13 / 8);
}

} // namespace

const CustomDirectoryDialog::Look CustomDirectoryDialog::PageLook{Title, DirectoryLabel, EditId};

CustomDirectoryDialog::CustomDirectoryDialog(QWidget* parent, const std::string& initialText,
                                             const Look& look)
    : QDialog(parent)
{
    setWindowTitle(look.title);
    setModal(true);
    setFixedSize(dialogUnits(0, 0, 276, 49).size());
    auto* label = new QLabel(look.label, this);
    const QRect labelArea = dialogUnits(7, 9, 40, 8);
    // A longer label (the wizard's "Directory :") takes what it needs from the edit.
    const int labelWidth = std::max(labelArea.width(), label->sizeHint().width());
    label->setGeometry(labelArea.x(), labelArea.y(), labelWidth, labelArea.height());
    QRect editArea = dialogUnits(45, 7, 170, 12);
    editArea.setLeft(std::max(editArea.left(), labelArea.x() + labelWidth + 4));
    m_edit = new QLineEdit(QString::fromStdString(initialText), this);
    m_edit->setObjectName(QString::number(look.editId));
    m_edit->setGeometry(editArea);
    m_browse = new QPushButton(BrowseText, this);
    m_browse->setObjectName(QString::number(BrowseId));
    m_browse->setGeometry(dialogUnits(219, 6, 50, 14));
    auto* ok = new QPushButton(OkText, this);
    ok->setGeometry(dialogUnits(165, 28, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(CancelText, this);
    cancel->setGeometry(dialogUnits(219, 28, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_browse, &QPushButton::clicked, this, &CustomDirectoryDialog::browse);
}

std::optional<std::string>
CustomDirectoryDialog::ask(QWidget* parent, const std::string& initialText, const Look& look)
{
    CustomDirectoryDialog dialog(parent, initialText, look);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.text();
}

std::string CustomDirectoryDialog::text() const
{
    return m_edit->text().toStdString();
}

void CustomDirectoryDialog::browse()
{
    // The picker has no owner window, as the system picker is opened.
    QFileDialog picker(nullptr, PickerTitle, QDir::currentPath());
    picker.setFileMode(QFileDialog::Directory);
    picker.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    picker.selectFile(QDir::currentPath());
    // The status line of the picker: the folder under selection.
    connect(&picker, &QFileDialog::currentChanged, &picker,
            [&picker](const QString& path) { picker.setLabelText(QFileDialog::LookIn, path); });
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) {
        return;
    }
    const QString picked = picker.selectedFiles().first();
    if (picked.isEmpty()) {
        return;
    }
    m_edit->setText(QString::fromStdString(
        platform::toDosPath(platform::HostPath(picked.toStdString())).str()));
}

} // namespace local
