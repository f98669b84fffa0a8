#include "ActivityPage.h"

#include "BitmapButton.h"
#include "Resources.h"
#include "core/RuntimeSettings.h"

#include <common/ui/SettingsPage.h>
#include <platform/Files.h>
#include <platform/MessageBox.h>

#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace host::ui {

namespace {

constexpr const char* AppCaption = "Umbravia";
constexpr const char* FullListQuestion = "Activity list has 1000 items or more, clear it now";
constexpr const char* ClearQuestion = "Are you sure you want to clear the activity log list";
constexpr const char* ExportFailed = "The activity log could not be written to ";
constexpr const char* GroupTitle = "Programs Currently using Umbravia";
constexpr const char* LogFilter = "Log Files (*.log)";
constexpr const char* LogPattern = "*.log";
constexpr int FullListStep = 1000;

// Images of the list in image-list order; the entry's program type is the index.
constexpr std::array<const char*, ProgramImageCount> ProgramImages{
    "220", "223",     "224",    "222",      "226",  "221",   "225",
    "219", "FIREFOX", "CHROME", "CHROMIUM", "EDGE", "SAFARI"};

ActivityPage::SaveFileChooser& saveFileChooser()
{
    static ActivityPage::SaveFileChooser chooser;
    return chooser;
}

// UMBRAVIA_SAVEFILE_ANSWER answers the save dialog without showing it: a host path, or
// "cancel". Scripts and end-to-end tests use it; a program without a screen that has no
// answer cancels rather than wait for a dialog nobody can see.
std::optional<std::optional<platform::DosPath>> scriptedAnswer()
{
    const char* answer = std::getenv("UMBRAVIA_SAVEFILE_ANSWER");
    if (answer == nullptr || *answer == '\0') {
        if (QGuiApplication::platformName() == "offscreen") {
            return std::optional<platform::DosPath>{};
        }
        return std::nullopt;
    }
    if (std::string_view(answer) == "cancel") {
        return std::optional<platform::DosPath>{};
    }
    return std::optional<platform::DosPath>{platform::toDosPath(answer)};
}

std::optional<platform::DosPath> askWithQtDialog(QWidget* owner)
{
    if (std::optional<std::optional<platform::DosPath>> answer = scriptedAnswer()) {
        return *answer;
    }
    QFileDialog dialog(owner);
    ActivityPage::prepareSaveDialog(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return platform::toDosPath(dialog.selectedFiles().first().toStdString());
}

} // namespace

void ActivityPage::prepareSaveDialog(QFileDialog& dialog)
{
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("log");
    dialog.setNameFilter(LogFilter);
    // The file name starts as "*.log", as the default extension.
    dialog.selectFile(LogPattern);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::ReadOnly, false);
}

namespace {

QString fromText(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void ActivityPage::setSaveFileChooser(SaveFileChooser chooser)
{
    saveFileChooser() = std::move(chooser);
}

ActivityPage::ActivityPage(QWidget* parent) : QWidget(parent)
{
    setObjectName("ActivityPage");
    setWindowTitle(WindowTitle);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);
    resize(pageui::PageSize);
    for (std::size_t i = 0; i < m_images.size(); ++i) {
        m_images[i] = Resources::icon(ProgramImages[i]);
    }

    auto* group = new QGroupBox(GroupTitle, this);
    group->setGeometry(10, 6, 448, 280);
    group->setStyleSheet(
        "QGroupBox { font-weight: bold; color: #3a4256; border: 1px solid #dde1ea;"
        " border-radius: 6px; margin-top: 10px; padding-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }");
    m_list = new QTreeWidget(group);
    m_list->setObjectName("ActivityList");
    m_list->setGeometry(10, 24, 428, 246);
    m_list->setRootIsDecorated(false);
    m_list->setWordWrap(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setIconSize(ImageSize);
    QFont listFont = m_list->font();
    listFont.setPixelSize(11);
    m_list->setFont(listFont);
    m_list->header()->setFont(listFont);
    m_list->setHeaderLabels({RequestNumberTitle, ProgramNameTitle, PortTitle, DestinationTitle});
    const std::array<int, 4> widths{100, 100, 40, 120};
    for (int column = 0; column < 4; ++column) {
        m_list->setColumnWidth(column, widths[column]);
    }
    m_list->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    m_list->headerItem()->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    m_list->header()->setStretchLastSection(true);
    // The list is sorted by request number, newest on top, by construction: numbers only
    // grow until the list is emptied, and each entry goes in at the top. Keeping Qt's
    // sorting off spares a sort of the whole list for every entry, which a busy browser
    // makes thousands of a second. The headers do not re-sort.
    m_list->header()->setSectionsClickable(false);
    m_list->header()->setSortIndicatorShown(false);
    m_list->setStyleSheet("QTreeWidget { border: 1px solid #e3e6ee; border-radius: 4px;"
                          " outline: 0; }"
                          "QHeaderView::section { background: #f4f5fa; color: #4a5369;"
                          " border: none; border-bottom: 1px solid #e3e6ee; padding: 4px; }");

    m_clearButton = new BitmapButton("CLEARLOGU", "CLEARLOGD", this);
    m_clearButton->setText("Clear Log");
    m_clearButton->move(256, 296);
    m_exportButton = new BitmapButton("EXPORTU", "EXPORTD", this);
    m_exportButton->setText("Export");
    m_exportButton->move(362, 296);

    attachWidget(this);
    bindCommand(m_clearButton, ClearLogId);
    bindCommand(m_exportButton, ExportId);
}

ActivityPage::~ActivityPage() = default;

int ActivityPage::addEntry(const ActivityEntry& entry)
{
    if (entry.programName.empty()) {
        return 1;
    }
    // While the question waits for an answer, new entries keep arriving through the
    // box's own loop: they are listed without asking again.
    if (m_counter != 0 && m_counter % FullListStep == 0 && !m_asking) {
        m_asking = true;
        const int answer =
            MessageBox(hwnd(), FullListQuestion, AppCaption, MB_YESNO | MB_ICONQUESTION);
        m_asking = false;
        if (answer == IDYES) {
            removeAll();
        }
    }
    char number[16];
    std::snprintf(number, sizeof number, "%04d", m_counter);
    auto* item = new QTreeWidgetItem;
    item->setText(0, number);
    item->setText(1, fromText(entry.programName));
    item->setText(2, fromText(entry.port));
    item->setText(3, fromText(entry.destination));
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    if (entry.type >= 0 && entry.type < static_cast<int>(m_images.size())) {
        item->setIcon(0, m_images[static_cast<std::size_t>(entry.type)]);
    }
    m_list->insertTopLevelItem(0, item);
    ++m_counter;
    return 1;
}

void ActivityPage::onNewRequest(const std::string& userAgent, const std::string& clientPort,
                                const std::string& destination, unsigned count)
{
    const ActivityEntry entry =
        activityEntryFor(userAgent, clientPort, destination, host::modernBrowsersOn);
    if (entry.programName.empty() || count == 0) {
        return;
    }
    for (unsigned i = 0; i < count; ++i) {
        if (addEntry(entry) == 0) {
            break;
        }
    }
}

void ActivityPage::clearLog()
{
    if (MessageBox(hwnd(), ClearQuestion, AppCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        removeAll();
    }
}

void ActivityPage::removeAll()
{
    m_list->clear();
    m_counter = 0;
}

void ActivityPage::exportLog()
{
    const SaveFileChooser& chooser = saveFileChooser();
    const std::optional<platform::DosPath> path = chooser ? chooser(this) : askWithQtDialog(this);
    if (!path || path->empty()) {
        return;
    }
    if (!writeLog(*path)) {
        // The user asked for a file: say so when it did not come about.
        const std::string text = ExportFailed + path->str();
        MessageBox(hwnd(), text.c_str(), AppCaption, MB_OK | MB_ICONERROR);
    }
}

bool ActivityPage::writeLog(const platform::DosPath& path) const
{
    auto file = platform::TextFile::open(path, "w+");
    if (!file) {
        return false;
    }
    const std::string rule(79, '-');
    bool ok = file->write(rule + "\n") &&
              file->write("Request ID\tProgram Name\t\tPort\t\tDestination\n") &&
              file->write(rule + "\n");
    for (int row = 0; ok && row < m_list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = m_list->topLevelItem(row);
        const std::string line = item->text(0).toLocal8Bit().toStdString() + "\t\t" +
                                 item->text(1).toLocal8Bit().toStdString() + "\t" +
                                 item->text(2).toLocal8Bit().toStdString() + "\t\t" +
                                 item->text(3).toLocal8Bit().toStdString() + "\n";
        ok = file->write(line);
    }
    return file->close().ok() && ok;
}

LRESULT ActivityPage::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case ClearLogId:
            clearLog();
            return 0;
        case ExportId:
            exportLog();
            return 0;
        default:
            break;
        }
    }
    return Window::windowProc(message, wParam, lParam);
}

} // namespace host::ui
