// Message boxes as QMessageBox, always shown on the UI thread.

#include <platform/MessageBox.h>
#include <platform/QtMessageBox.h>
#include <platform/Window.h>

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

#include <utility>
#include <vector>

namespace platform {

namespace {

QMessageBox::Icon iconOf(UINT flags)
{
    switch (flags & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButton buttonFor(int id)
{
    static const std::pair<int, QMessageBox::StandardButton> buttons[] = {
        {IDOK, QMessageBox::Ok},         {IDCANCEL, QMessageBox::Cancel},
        {IDABORT, QMessageBox::Abort},   {IDRETRY, QMessageBox::Retry},
        {IDIGNORE, QMessageBox::Ignore}, {IDYES, QMessageBox::Yes},
        {IDNO, QMessageBox::No}};
    for (const auto& [known, button] : buttons) {
        if (known == id) {
            return button;
        }
    }
    return QMessageBox::NoButton;
}

// The ids of the box's buttons in Windows order.
std::vector<int> buttonIds(UINT flags)
{
    std::vector<int> ids;
    for (int id : {IDYES, IDNO, IDABORT, IDRETRY, IDIGNORE, IDOK, IDCANCEL}) {
        if (hasButton(flags, id)) {
            ids.push_back(id);
        }
    }
    return ids;
}

// Runs on the UI thread.
int showBox(const MessageBoxCall& call)
{
    QWidget* owner = call.owner != 0 ? widgetOf(call.owner) : nullptr;
    QMessageBox box(iconOf(call.flags), QString::fromStdString(call.caption),
                    QString::fromStdString(call.text), QMessageBox::NoButton,
                    owner != nullptr ? owner : QApplication::activeWindow());
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    for (int id : buttonIds(call.flags)) {
        buttons.emplace_back(box.addButton(buttonFor(id)), id);
    }
    const int preferred = defaultAnswer(call.flags);
    for (const auto& [button, id] : buttons) {
        if (id == preferred) {
            box.setDefaultButton(static_cast<QPushButton*>(button));
        }
        // Closing the box (Esc, the title bar) answers Cancel where there is one, as on
        // Windows, else the only button.
        if (id == IDCANCEL || buttons.size() == 1) {
            box.setEscapeButton(button);
        }
    }
    if (call.flags & (MB_TOPMOST | MB_SETFOREGROUND)) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint, (call.flags & MB_TOPMOST) != 0);
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const auto& [button, id] : buttons) {
        if (button == clicked) {
            return id;
        }
    }
    return hasButton(call.flags, IDCANCEL) ? IDCANCEL : preferred;
}

class QtPresenter : public MessageBoxPresenter {
public:
    int present(const MessageBoxCall& call) override
    {
        // Without a widget application (gone already, or a console one) no box can show.
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (app == nullptr) {
            return HeadlessPresenter().present(call);
        }
        if (QThread::currentThread() == app->thread()) {
            return showBox(call);
        }
        int answer = defaultAnswer(call.flags);
        QMetaObject::invokeMethod(
            app, [&call, &answer] { answer = showBox(call); }, Qt::BlockingQueuedConnection);
        return answer;
    }
};

} // namespace

void installQtMessageBoxPresenter()
{
    setDisplayMessageBoxPresenter(std::make_shared<QtPresenter>());
}

} // namespace platform
