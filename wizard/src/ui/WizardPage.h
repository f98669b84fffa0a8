#pragma once
// The base of the wizard's pages: a modal dialog titled "Umbravia Settings Wizard" (so
// that the host, waiting for the wizard, finds it), 434 x 274 dialog units, white, with a
// rounded window region, the page's header picture and the bitmap buttons Back, Next (or
// Finish) and Cancel.
//
// Pages nest: Next hides this page and runs the next one modally on top of it; Back ends
// the current page and shows the previous one again where the current one stood; Cancel
// asks, and on Yes every page ends at once. A page runs modally in a loop of its own
// (run), which returns its Outcome.
//
// Every button and control answers WM_COMMAND with its id, also posted from another
// process through the window table: BackButton, NextButton, FinishButton, IDCANCEL.

#include "Session.h"

#include <common/ui/ControlSet.h>
#include <platform/Window.h>

#include <QDialog>
#include <QRect>
#include <QSize>

#include <memory>
#include <string>

class QEventLoop;
class QLabel;

namespace pageui {
class BitmapButton;
class SortedListBox;
} // namespace pageui

namespace wizard::ui {

// The wizard's button ids (those of the system's wizard pages).
inline constexpr UINT BackButton = 0x3023;
inline constexpr UINT NextButton = 0x3024;
inline constexpr UINT FinishButton = 0x3025;
inline constexpr UINT CancelButton = 2; // IDCANCEL

inline constexpr const char* WizardTitle = "Umbravia Settings Wizard";
inline constexpr const char* LeaveQuestion = "Are You Sure You Want To Leave The Wizaed?";

// The page template in dialog units, and in pixels as the suite converts dialog units
// (607 x 411).
inline constexpr QSize PageUnits{434, 274};
QSize pagePixels();

// The pattern with its "%s" replaced by text (the question boxes that name an entry).
std::string fillIn(const char* pattern, const std::string& text);

class WizardPage : public QDialog, public platform::Window {
public:
    // How a page ended (its exec result).
    enum Outcome : int {
        WentBack = 100, // Back: the previous page shows again
        Left,           // Cancel answered Yes: every page ends, nothing saved
        Finished,       // Finish: the model was saved
    };

    // Where a page's controls start below the header, in dialog units.
    static constexpr int ContentTop = 50;

    // previous: the page under this one (null for the first).
    WizardPage(WizardPage* previous, Session& session, int resourceId, const char* heading);
    ~WizardPage() override;

    int resourceId() const { return m_resourceId; }
    Session& session() const { return m_session; }
    SettingsModel& model() const { return m_session.model; }
    WizardPage* previousPage() const { return m_previous; }

    // The page's controls and buttons by id.
    QWidget* control(UINT id) const { return m_controls.control(id); }
    QCheckBox* checkBox(UINT id) const { return m_controls.checkBox(id); }
    QPushButton* button(UINT id) const { return m_controls.button(id); }
    pageui::BitmapButton* pageButton(UINT id) const;

    // Shows the page modally and returns how it ended.
    int run();

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Escape and the window's close ask Cancel's question.
    void reject() override;

protected:
    // Next: store the page into the model and open the next page (openNext).
    virtual void onNext() = 0;
    // Back: the finish page keeps its box; the others drop nothing.
    virtual void onBack() {}
    // Clicks on the page's own controls.
    virtual void onCommand(UINT id, WORD code) {}

    // Hides this page and runs next modally where this page stands. When next went back,
    // this page shows again at next's last place; when it ended the wizard, so does this.
    void openNext(std::unique_ptr<WizardPage> next);
    // Ends the wizard from this page: this page and every one below it close.
    void endWizard(Outcome outcome) { finish(outcome); }
    // Cancel's question; true when the wizard was left.
    bool askLeave();
    // Replaces Next by Finish (the last page).
    void useFinishButton();
    // Removes the list's selected entry when the question (naming it for "%s") is
    // answered Yes.
    void removeSelectedAsking(pageui::SortedListBox& list, const char* question);

    pageui::ControlSet& controls() { return m_controls; }

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void addPageButtons();
    void goBack();
    // Hides the page and ends its loop with outcome. A loop of our own, because a hidden
    // QDialog ignores done() and its exec() would never return.
    void finish(int outcome);

    Session& m_session;
    WizardPage* m_previous;
    int m_resourceId;
    pageui::ControlSet m_controls;
    bool m_finishes = false; // Finish stands in Next's place
    QEventLoop* m_loop = nullptr;
    QPoint m_dragOffset;
    bool m_dragging = false;
};

} // namespace wizard::ui
