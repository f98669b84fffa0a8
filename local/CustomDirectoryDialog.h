#pragma once
// The custom folder dialog ("Custom directory"): the folder text in edit box 1000, a
// Browse button (1001) that opens the folder picker, OK and Cancel. The settings wizard
// shows the same dialog under its own title and ids.

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace local {

class CustomDirectoryDialog : public QDialog {
public:
    // The dialog's title, label and edit id: the settings page's own, or the wizard's.
    struct Look {
        const char* title;
        const char* label;
        int editId;
    };
    static const Look PageLook;

    CustomDirectoryDialog(QWidget* parent, const std::string& initialText,
                          const Look& look = PageLook);

    // Runs the dialog modally: the edit text when closed with OK, nothing on Cancel.
    static std::optional<std::string> ask(QWidget* parent, const std::string& initialText,
                                          const Look& look = PageLook);

    std::string text() const;
    QLineEdit* edit() const { return m_edit; }
    QPushButton* browseButton() const { return m_browse; }

    static constexpr int EditId = 1000;
    static constexpr int BrowseId = 1001;
    static constexpr const char* Title = "Custom directory";

private:
    // The folder picker: file-system folders only, starting at the current directory.
    // A picked folder replaces the edit text; a cancelled picker leaves it alone.
    void browse();

    QLineEdit* m_edit = nullptr;
    QPushButton* m_browse = nullptr;
};

} // namespace local
