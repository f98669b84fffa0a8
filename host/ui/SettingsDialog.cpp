#include "SettingsDialog.h"

#include "DialogCommands.h"
#include "ModulePages.h"

#include <common/PluginContract.h>
#include <platform/MessageBox.h>

#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include <core/ModuleTable.h>

#include <algorithm>

namespace host::ui {

namespace {

constexpr const char* OkText = "OK";
constexpr const char* CancelText = "Cancel";
constexpr const char* TabControlText = "Tab1";

// The tab row over the pages; the display area starts this far below its top edge.
constexpr int TabRowHeight = 22;
constexpr int TabRowOffset = 20;
// Width of the tab control's frame around the display area.
constexpr int FrameWidth = 4;
// Pages are shown at least at the size of the main window's page area.
constexpr QSize MinimumPage{468, 333};

} // namespace

SettingsDialog::SettingsDialog(const ModuleTable& modules, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Caption);
    setModal(true);
    buildControls();
    attachWidget(this);
    createPages(modules);
    placePages();
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::buildControls()
{
    m_tabControl = new QWidget(this);
    m_tabControl->setObjectName(QString::number(TabControlId));
    m_tabControl->setWindowTitle(TabControlText);
    // The frame of the display area, behind the pages.
    auto* pane = new QFrame(m_tabControl);
    pane->setObjectName("pane");
    pane->setFrameShape(QFrame::StyledPanel);
    m_tabBar = new QTabBar(m_tabControl);
    m_tabBar->setDrawBase(false);
    m_tabBar->setExpanding(false);
    m_tabBar->setFixedHeight(TabRowHeight);
    connect(m_tabBar, &QTabBar::currentChanged, this, &SettingsDialog::showPage);

    auto* ok = new QPushButton(OkText, this);
    ok->setObjectName(QString::number(IDOK));
    ok->setDefault(true);
    bindCommand(ok, IDOK);
    auto* cancel = new QPushButton(CancelText, this);
    cancel->setObjectName(QString::number(IDCANCEL));
    bindCommand(cancel, IDCANCEL);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(m_tabControl);
    layout->addLayout(buttons);
}

void SettingsDialog::createPages(const ModuleTable& modules)
{
    // Every module is counted first, then each creates its pages in slot order.
    for (const PageOffer& offer : offerPages(modules, m_tabControl)) {
        for (PageWindow* page : ui::createPages(offer, m_tabControl)) {
            if (page != nullptr) {
                m_pages.emplace_back(page);
            }
        }
    }
}

QRect SettingsDialog::pageRect() const
{
    QRect display = m_tabControl->rect().adjusted(FrameWidth, FrameWidth, -FrameWidth, -FrameWidth);
    display.setTop(display.top() + TabRowOffset);
    return display;
}

void SettingsDialog::placePages()
{
    QSize pageSize = MinimumPage;
    for (const QPointer<QWidget>& page : m_pages) {
        pageSize = pageSize.expandedTo(page->size().expandedTo(page->sizeHint()));
    }
    m_tabControl->setFixedSize(pageSize.width() + 2 * FrameWidth,
                               pageSize.height() + 2 * FrameWidth + TabRowOffset);
    m_tabBar->setGeometry(FrameWidth, 0, m_tabControl->width() - 2 * FrameWidth, TabRowHeight);
    m_tabControl->findChild<QFrame*>("pane")->setGeometry(
        0, TabRowHeight - 1, m_tabControl->width(), m_tabControl->height() - TabRowHeight + 1);

    const QRect area = pageRect();
    const QSignalBlocker quiet(m_tabBar);
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        QWidget* page = m_pages[i];
        page->setGeometry(area);
        page->raise();
        m_tabBar->insertTab(static_cast<int>(i), page->windowTitle());
    }
    m_tabBar->setCurrentIndex(0);
    showPage(0);
}

void SettingsDialog::showPage(int index)
{
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        if (QWidget* page = m_pages[i]) {
            page->setVisible(static_cast<int>(i) == index);
        }
    }
}

int SettingsDialog::pageCount() const
{
    return static_cast<int>(m_pages.size());
}

QWidget* SettingsDialog::page(int index) const
{
    if (index < 0 || index >= pageCount()) {
        return nullptr;
    }
    return m_pages[static_cast<std::size_t>(index)];
}

void SettingsDialog::sendToPages(WPARAM command) const
{
    for (const QPointer<QWidget>& page : m_pages) {
        if (const HWND window = page ? platform::hwndOf(page) : 0) {
            SendMessage(window, WM_COMMAND, command, 0);
        }
    }
}

void SettingsDialog::accept()
{
    sendToPages(IDOK);
    QDialog::accept();
}

void SettingsDialog::reject()
{
    // Escape and the close box end the dialog as Cancel does.
    sendToPages(IDCANCEL);
    QDialog::reject();
}

LRESULT SettingsDialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (answerDialogCommand(*this, message, wParam)) {
        return 0;
    }
    return Window::windowProc(message, wParam, lParam);
}

} // namespace host::ui
