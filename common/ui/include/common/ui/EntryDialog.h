#pragma once
// A small modal dialog of labelled edit fields with "OK" (1) and "Cancel" (2), for the
// pages' entry dialogs: one list entry, one pair of texts, a few numbers.

#include <platform/Window.h>

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QLineEdit;

namespace pageui {

class EntryDialog : public QDialog, public platform::Window {
public:
    struct Field {
        const char* label;
        UINT editId;
    };

    // group: the caption of a frame around the fields, or null for none.
    EntryDialog(QWidget* parent, const char* caption, std::vector<Field> fields,
                const char* group = nullptr);

    QLineEdit* edit(std::size_t index) const { return m_edits.at(index); }
    std::string text(std::size_t index) const;
    void setText(std::size_t index, const std::string& text);
    // The field takes digits only, up to maxValue.
    void setNumeric(std::size_t index, unsigned maxValue);
    // The field takes at most this many characters.
    void setMaxLength(std::size_t index, int characters);

    // Opens the dialog with these texts; the texts at OK, nothing at Cancel.
    std::optional<std::vector<std::string>> run(const std::vector<std::string>& initial);

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<QLineEdit*> m_edits;
};

} // namespace pageui
