#include "RestartWindow.h"

#include "Resources.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace host::ui {

RestartWindow::RestartWindow(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setModal(false);
    setObjectName("RestartWindow");
    setFixedSize(340, 92);
    setStyleSheet("#RestartWindow { background: #131a26; border: 1px solid #2e3a52; }"
                  "QLabel { color: #e7ebf3; }"
                  "QLabel#second { color: #8e9ab0; }");
    auto* icon = new QLabel(this);
    icon->setPixmap(Resources::icon(Resources::MainIcon).pixmap(40, 40));
    icon->setFixedSize(44, 44);
    auto* first = new QLabel(FirstLine, this);
    QFont bold = first->font();
    bold.setBold(true);
    bold.setPixelSize(13);
    first->setFont(bold);
    auto* second = new QLabel(SecondLine, this);
    second->setObjectName("second");
    auto* text = new QVBoxLayout;
    text->addStretch();
    text->addWidget(first);
    text->addWidget(second);
    text->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 12, 18, 12);
    layout->setSpacing(14);
    layout->addWidget(icon);
    layout->addLayout(text, 1);
    attachWidget(this);
}

void RestartWindow::showNow()
{
    if (parentWidget() != nullptr) {
        const QRect owner = parentWidget()->window()->geometry();
        move(owner.center() - rect().center());
    }
    show();
    raise();
    repaint();
    // Let the window system map and draw it: the caller blocks the loop next.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace host::ui
