#pragma once
// The activity page of the main window (dialog 153): the requests seen from recognised
// programs, newest first, with Clear and Export.

#include "ActivityEntry.h"

#include <platform/Environment.h>
#include <platform/Window.h>

#include <QIcon>
#include <QSize>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>

class QFileDialog;
class QTreeWidget;

namespace pageui {
class BitmapButton;
}

namespace host::ui {

using pageui::BitmapButton;

class ActivityPage : public QWidget, public platform::Window {
    Q_OBJECT
public:
    static constexpr int ResourceId = 153;
    static constexpr UINT ClearLogId = 1027;
    static constexpr UINT ExportId = 1028;
    // The page's window text, which outside programs find it by.
    static constexpr const char* WindowTitle = "Activity";
    // Column titles (string table 107, 104, 105, 106).
    static constexpr const char* RequestNumberTitle = "Request Number";
    static constexpr const char* ProgramNameTitle = "Program Name";
    static constexpr const char* PortTitle = "Port";
    static constexpr const char* DestinationTitle = "Destination";

    // Asks where to export; nothing when the user cancels. The default is a Qt save
    // dialog; tests put their own answer here.
    using SaveFileChooser = std::function<std::optional<platform::DosPath>(QWidget* owner)>;
    static void setSaveFileChooser(SaveFileChooser chooser);
    // The export's save dialog: "*.log" preset as name and extension, the log filter,
    // the overwrite prompt.
    static void prepareSaveDialog(QFileDialog& dialog);
    // The program images of the list.
    static constexpr QSize ImageSize{60, 40};

    explicit ActivityPage(QWidget* parent = nullptr);
    ~ActivityPage() override;

    // 1 when the entry was listed or skipped for an empty program name, 0 when refused.
    int addEntry(const ActivityEntry& entry);
    // The main window's handler of 1225, given the last-request texts: count entries
    // for as many requests (the proxy counts requests while notifications wait).
    void onNewRequest(const std::string& userAgent, const std::string& clientPort,
                      const std::string& destination, unsigned count = 1);
    void clearLog();
    void exportLog();
    // Writes the export file; false when it could not be written completely.
    bool writeLog(const platform::DosPath& path) const;

    int counter() const { return m_counter; }
    QTreeWidget* list() const { return m_list; }

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void removeAll();

    // The image list, in the order 220, 223, 224, 222, 226, 221, 225, 219, then today's
    // browsers (ProgramType).
    std::array<QIcon, ProgramImageCount> m_images;
    QTreeWidget* m_list = nullptr;
    BitmapButton* m_clearButton = nullptr;
    BitmapButton* m_exportButton = nullptr;
    int m_counter = 0;     // entries since creation or the last clear; the next entry's number
    bool m_asking = false; // the 1000-entry question is open
};

} // namespace host::ui
