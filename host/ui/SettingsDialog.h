#pragma once
// "General Settings" (dialog 103): the pages the loaded modules create through
// CreateTabDlg, one tab each, titled by the page's window text. OK and Cancel go to
// every page, which saves or discards its own values.

#include <platform/Window.h>

#include <QDialog>
#include <QPointer>
#include <QRect>

#include <vector>

class QTabBar;

namespace host {
class ModuleTable;
}

namespace host::ui {

class SettingsDialog : public QDialog, public platform::Window {
    Q_OBJECT
public:
    static constexpr int ResourceId = 103;
    static constexpr UINT TabControlId = 1000;
    static constexpr const char* Caption = "General Settings";

    SettingsDialog(const ModuleTable& modules, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    int pageCount() const;
    // The page of a tab (null when its module has destroyed it meanwhile).
    QWidget* page(int index) const;
    // The tab control: the parent of the module pages, its tab row on top.
    QWidget* tabControl() const { return m_tabControl; }
    QTabBar* tabBar() const { return m_tabBar; }
    // Where the pages sit inside the tab control.
    QRect pageRect() const;

    // OK and Cancel first send the command to every page, then close.
    void accept() override;
    void reject() override;

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void buildControls();
    void createPages(const ModuleTable& modules);
    void placePages();
    void showPage(int index);
    void sendToPages(WPARAM command) const;

    QWidget* m_tabControl = nullptr;
    QTabBar* m_tabBar = nullptr;
    // The modules own the pages; the tab control's destruction takes the ones still
    // there with it, so only weak pointers are kept here.
    std::vector<QPointer<QWidget>> m_pages;
};

} // namespace host::ui
