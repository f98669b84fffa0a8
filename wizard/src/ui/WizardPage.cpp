#include "WizardPage.h"

#include <common/ui/BitmapButton.h>
#include <common/ui/Resources.h>
#include <common/ui/SettingsPage.h>
#include <common/ui/SortedListBox.h>
#include <platform/MessageBox.h>

#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

namespace wizard::ui {

namespace {

// The page font: the dialog-unit conversion of the suite's pages is made for it.
constexpr int PageFontPixels = 11;
// The header picture across the top of every page, and where the buttons sit.
constexpr int HeaderHeight = 64;
constexpr int CornerRadius = 14;
constexpr QSize ButtonSize{96, 28};
constexpr int ButtonGap = 8;
constexpr int ButtonMargin = 16;

struct PageButtonRow {
    UINT id;
    const char* picture; // U (up), D (down) and X (disabled) are appended
    const char* text;    // drawn only when the picture is missing
};
constexpr PageButtonRow PageButtons[] = {
    {BackButton, "BACK", "< Back"},
    {NextButton, "NEXT", "Next >"},
    {FinishButton, "FINISH", "Finish"},
    {CancelButton, "CANCEL", "Cancel"},
};

// The header when its picture is missing: still readable, plainly unfinished.
QPixmap plainHeader(int width, const char* heading)
{
    QPixmap picture(width, HeaderHeight);
    picture.fill(QColor("#101726"));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    painter.drawText(picture.rect().adjusted(20, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QString("%1 - %2").arg(WizardTitle, heading));
    return picture;
}

} // namespace

std::string fillIn(const char* pattern, const std::string& text)
{
    std::string out(pattern);
    if (const std::size_t at = out.find("%s"); at != std::string::npos) {
        out.replace(at, 2, text);
    }
    return out;
}

QSize pagePixels()
{
    return pageui::dialogUnits(0, 0, PageUnits.width(), PageUnits.height()).size();
}

WizardPage::WizardPage(WizardPage* previous, Session& session, int resourceId, const char* heading)
    : QDialog(previous, Qt::Dialog | Qt::FramelessWindowHint), m_session(session),
      m_previous(previous), m_resourceId(resourceId), m_controls(*this, *this)
{
    setWindowTitle(WizardTitle);
    setModal(true);
    QFont pageFont = font();
    pageFont.setPixelSize(PageFontPixels);
    setFont(pageFont);
    setFixedSize(pagePixels());
    platform::paintPageWhite(*this);
    // The rounded window region (the page's size never changes).
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), CornerRadius, CornerRadius);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));

    auto* header = new QLabel(this);
    header->setObjectName("header");
    QPixmap picture = pageui::Resources::pixmap(QString("PAGE%1").arg(resourceId));
    header->setPixmap(picture.isNull() ? plainHeader(width(), heading) : picture);
    header->setGeometry(0, 0, width(), HeaderHeight);
    addPageButtons();
    attachWidget(this);
}

WizardPage::~WizardPage() = default;

void WizardPage::addPageButtons()
{
    // Back and Next side by side, Cancel apart on the right; Finish takes Next's place.
    const int y = height() - ButtonMargin - ButtonSize.height();
    const int cancelX = width() - ButtonMargin - ButtonSize.width();
    const int nextX = cancelX - 2 * ButtonGap - ButtonSize.width();
    const int backX = nextX - ButtonSize.width() - ButtonGap / 2;
    for (const PageButtonRow& row : PageButtons) {
        const QString name(row.picture);
        auto* drawn = new pageui::BitmapButton(name + "U", name + "D", this, name + "X");
        drawn->setText(row.text);
        drawn->setFixedSize(ButtonSize);
        const int x = row.id == BackButton ? backX : row.id == CancelButton ? cancelX : nextX;
        drawn->move(x, y);
        m_controls.add(row.id, drawn);
        bindCommand(drawn, row.id);
    }
    pageButton(FinishButton)->hide();
    pageButton(BackButton)->setEnabled(m_previous != nullptr);
}

pageui::BitmapButton* WizardPage::pageButton(UINT id) const
{
    return dynamic_cast<pageui::BitmapButton*>(m_controls.control(id));
}

void WizardPage::useFinishButton()
{
    m_finishes = true;
    pageButton(NextButton)->hide();
    pageButton(FinishButton)->show();
}

LRESULT WizardPage::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COMMAND) {
        return Window::windowProc(message, wParam, lParam);
    }
    const UINT id = LOWORD(wParam);
    // A command for a page button counts only while the button can be clicked (a posted
    // Back on the first page does nothing).
    if (pageui::BitmapButton* pressed = pageButton(id)) {
        const bool shown = id == FinishButton ? m_finishes : id == NextButton ? !m_finishes : true;
        if (!pressed->isEnabled() || !shown) {
            return 0;
        }
    }
    switch (id) {
    case BackButton:
        goBack();
        return 0;
    case NextButton:
    case FinishButton:
        onNext();
        return 0;
    case CancelButton:
        askLeave();
        return 0;
    default:
        onCommand(id, HIWORD(wParam));
        return 0;
    }
}

int WizardPage::run()
{
    setWindowModality(Qt::ApplicationModal);
    show();
    QEventLoop loop;
    m_loop = &loop;
    const int outcome = loop.exec(QEventLoop::DialogExec);
    m_loop = nullptr;
    return outcome;
}

void WizardPage::finish(int outcome)
{
    hide();
    if (m_loop != nullptr) {
        m_loop->exit(outcome);
    }
}

void WizardPage::goBack()
{
    onBack();
    finish(WentBack);
}

void WizardPage::openNext(std::unique_ptr<WizardPage> next)
{
    next->move(pos());
    hide();
    const int outcome = next->run();
    const QPoint there = next->pos();
    next.reset();
    if (outcome == WentBack) {
        move(there);
        show();
        return;
    }
    finish(outcome == Finished ? Finished : Left);
}

void WizardPage::removeSelectedAsking(pageui::SortedListBox& list, const char* question)
{
    const int row = list.selectedRow();
    if (row < 0) {
        return;
    }
    const std::string text = fillIn(question, list.entry(row));
    if (MessageBox(hwnd(), text.c_str(), WizardTitle, MB_YESNOCANCEL | MB_ICONQUESTION) == IDYES) {
        list.removeAt(row);
    }
}

bool WizardPage::askLeave()
{
    if (MessageBox(hwnd(), LeaveQuestion, WizardTitle, MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES) {
        return false;
    }
    endWizard(Left);
    return true;
}

void WizardPage::reject()
{
    askLeave();
}

void WizardPage::mousePressEvent(QMouseEvent* event)
{
    // Without a frame the header is where the page is dragged.
    m_dragging = event->button() == Qt::LeftButton && event->position().y() < HeaderHeight;
    m_dragOffset = event->globalPosition().toPoint() - pos();
    QDialog::mousePressEvent(event);
}

void WizardPage::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
    }
    QDialog::mouseMoveEvent(event);
}

} // namespace wizard::ui
