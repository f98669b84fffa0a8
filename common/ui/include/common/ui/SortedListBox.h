#pragma once
// A sorted list box as the suite's pages use it: entries kept in alphabetical order
// without regard to case, prefix and exact searches without case, and the list box's
// notifications sent to the page as WM_COMMAND with the list's id: a double click
// (LBN_DBLCLK) and the Delete key (ListDeleteKey).

#include <platform/WinTypes.h>

#include <QListWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pageui {

class SortedListBox : public QListWidget {
public:
    static constexpr WORD DoubleClick = 2; // LBN_DBLCLK
    // The Delete key pressed in the list (the pages remove the selected entry on it).
    static constexpr WORD DeleteKey = 0x0100;

    SortedListBox(UINT id, QWidget* page);

    // Inserts before the first entry that sorts after text; returns its row.
    int addSorted(const QString& text);
    int addSorted(const std::string& text) { return addSorted(QString::fromStdString(text)); }
    // The first row whose entry begins with text (without case), or -1.
    int findPrefix(const QString& text) const;
    // The first row whose entry equals text (without case), or -1.
    int findExact(const QString& text) const;
    // The selected row, or -1 when nothing is selected.
    int selectedRow() const;
    void replaceAt(int row, const QString& text);
    void removeAt(int row);
    // The selected entry edited in place: ask gets its text and gives the new one, or
    // nothing to leave it. True when the entry changed.
    bool editSelected(const std::function<std::optional<std::string>(const std::string&)>& ask);
    // True when an entry was selected and is gone.
    bool removeSelected();
    std::string entry(int row) const;
    // Every entry in list order.
    std::vector<std::string> entries() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void notifyPage(WORD code);

    UINT m_id;
};

} // namespace pageui
