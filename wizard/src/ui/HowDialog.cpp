#include "HowDialog.h"

#include <common/ui/Resources.h>

#include <QLabel>
#include <QVBoxLayout>

namespace wizard::ui {

HowDialog::HowDialog(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setWindowTitle(Caption);
    setModal(true);
    platform::paintPageWhite(*this);
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName("picture");
    picture->setPixmap(pageui::Resources::bitmap(ResourceId));
    picture->setAlignment(Qt::AlignCenter);
    auto* escape = new QLabel(EscapeText, this);
    escape->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    layout->addWidget(escape);
    setFixedSize(sizeHint());
    attachWidget(this);
}

} // namespace wizard::ui
