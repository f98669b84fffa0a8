#include "WaitBox.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace wizard::ui {

namespace {

constexpr int MinimumWidth = 380;

} // namespace

WaitBox::WaitBox(QWidget* owner, const char* caption, const char* text) : QDialog(owner)
{
    setWindowTitle(caption);
    platform::paintPageWhite(*this);
    auto* layout = new QVBoxLayout(this);
    auto* fixed = new QLabel(text, this);
    fixed->setObjectName("text");
    fixed->setAlignment(Qt::AlignCenter);
    QFont large = fixed->font();
    large.setPointSize(large.pointSize() + 2);
    large.setBold(true);
    fixed->setFont(large);
    m_status = new QLabel(this);
    m_status->setObjectName("status");
    m_status->setAlignment(Qt::AlignCenter);
    layout->addWidget(fixed);
    layout->addWidget(m_status);
    setMinimumWidth(MinimumWidth);
    attachWidget(this);
}

void WaitBox::present()
{
    adjustSize();
    if (QWidget* owner = parentWidget()) {
        move(QRect(owner->pos(), owner->size()).center() - rect().center());
    }
    show();
    raise();
    repaint();
    // The box is painted before the work blocks this thread.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void WaitBox::setStatus(const std::string& text)
{
    m_status->setText(QString::fromStdString(text));
    m_status->repaint();
}

} // namespace wizard::ui
