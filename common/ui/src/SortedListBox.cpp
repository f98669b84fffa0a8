#include <common/ui/SortedListBox.h>
#include <platform/Window.h>
#include <platform/Windows.h>

#include <QKeyEvent>

namespace pageui {

SortedListBox::SortedListBox(UINT id, QWidget* page) : QListWidget(page), m_id(id)
{
    setObjectName(QString::number(id));
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { notifyPage(DoubleClick); });
}

int SortedListBox::addSorted(const QString& text)
{
    int row = 0;
    while (row < count() && item(row)->text().compare(text, Qt::CaseInsensitive) <= 0) {
        ++row;
    }
    insertItem(row, text);
    return row;
}

int SortedListBox::findPrefix(const QString& text) const
{
    for (int row = 0; row < count(); ++row) {
        if (item(row)->text().startsWith(text, Qt::CaseInsensitive)) {
            return row;
        }
    }
    return -1;
}

int SortedListBox::findExact(const QString& text) const
{
    for (int row = 0; row < count(); ++row) {
        if (item(row)->text().compare(text, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return -1;
}

int SortedListBox::selectedRow() const
{
    const int row = currentRow();
    if (row < 0 || currentItem() == nullptr || !currentItem()->isSelected()) {
        return -1;
    }
    return row;
}

void SortedListBox::replaceAt(int row, const QString& text)
{
    // The new text keeps the old entry's place until the page is opened again.
    delete takeItem(row);
    insertItem(row, text);
    setCurrentRow(row);
}

void SortedListBox::removeAt(int row)
{
    delete takeItem(row);
}

bool SortedListBox::editSelected(
    const std::function<std::optional<std::string>(const std::string&)>& ask)
{
    const int row = selectedRow();
    if (row < 0) {
        return false;
    }
    const std::optional<std::string> text = ask(entry(row));
    if (!text) {
        return false;
    }
    replaceAt(row, QString::fromStdString(*text));
    return true;
}

bool SortedListBox::removeSelected()
{
    const int row = selectedRow();
    if (row < 0) {
        return false;
    }
    removeAt(row);
    return true;
}

std::string SortedListBox::entry(int row) const
{
    const QListWidgetItem* found = item(row);
    return found != nullptr ? found->text().toStdString() : std::string();
}

std::vector<std::string> SortedListBox::entries() const
{
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(count()));
    for (int row = 0; row < count(); ++row) {
        out.push_back(item(row)->text().toStdString());
    }
    return out;
}

void SortedListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) {
        notifyPage(DeleteKey);
        return;
    }
    QListWidget::keyPressEvent(event);
}

void SortedListBox::notifyPage(WORD code)
{
    if (const HWND page = platform::hwndOf(parentWidget())) {
        SendMessage(page, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(m_id), code), 0);
    }
}

} // namespace pageui
