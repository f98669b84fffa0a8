#pragma once
// The custom folder dialog ("Custom directory"): the folder text in edit box 1000, a
// Browse button (1001) that opens the folder picker, OK and Cancel.

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace local {

class CustomDirectoryDialog : public QDialog {
public:
    CustomDirectoryDialog(QWidget* parent, const std::string& initialText);

    // Runs the dialog modally: the edit text when closed with OK, nothing on Cancel.
    static std::optional<std::string> ask(QWidget* parent, const std::string& initialText);

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
