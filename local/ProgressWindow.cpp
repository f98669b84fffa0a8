#include "ProgressWindow.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>

namespace local {

namespace {

constexpr const char* PleaseWaitFont = "MS Serif";
constexpr int PleaseWaitPoints = 24;

bool widgetsAllowed()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

ProgressWindow::ProgressWindow(QWidget* parent) : m_parent(parent) {}

ProgressWindow::~ProgressWindow()
{
    delete m_window.data();
}

void ProgressWindow::open()
{
    if (!widgetsAllowed() || m_window) {
        return;
    }
    auto* window = new QWidget(m_parent, m_parent ? Qt::Widget : Qt::Tool);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(window);
    auto* title = new QLabel(PleaseWaitText, window);
    title->setFont(QFont(PleaseWaitFont, PleaseWaitPoints));
    title->setAlignment(Qt::AlignCenter);
    m_status = new QLabel(window);
    m_status->setObjectName(QString::number(StatusId));
    m_status->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    layout->addWidget(m_status);
    window->adjustSize();
    window->resize(std::max(window->width(), 320), window->height());
    if (m_parent) {
        // Centred over the window that asked for the run.
        window->move((m_parent->width() - window->width()) / 2,
                     (m_parent->height() - window->height()) / 2);
    }
    m_window = window;
    window->show();
    if (m_parent) {
        window->raise();
    }
    window->repaint();
}

void ProgressWindow::setStatus(const std::string& text)
{
    if (!m_window) {
        return;
    }
    m_status->setText(QString::fromStdString(text));
    m_window->repaint();
}

void ProgressWindow::close()
{
    if (!m_window) {
        return;
    }
    setStatus("");
    m_window->hide();
    delete m_window.data();
    m_status = nullptr;
}

} // namespace local
