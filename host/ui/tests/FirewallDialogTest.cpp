// The firewall proxy dialog (address control, "Invalid IP", the port check, loading and
// saving) and the restart window.

#include "ui/FirewallDialog.h"

#include "UiTestSupport.h"
#include "ui/RestartWindow.h"

#include <common/Settings.h>
#include <common/ui/IpAddressEdit.h>
#include <platform/MessageBox.h>

#include <QLabel>
#include <QLineEdit>

using host::ui::FirewallDialog;

namespace {

class FirewallDialogTest : public testsupport::PrefixTest {
protected:
    static settings::Key mainKey()
    {
        return settings::Key::create(HKEY_LOCAL_MACHINE, settings::MainKey);
    }
    static void type(FirewallDialog& dialog, std::vector<QString> fields, const QString& port)
    {
        for (std::size_t i = 0; i < 4; ++i) {
            dialog.addressEdit()
                ->field(static_cast<int>(i))
                ->setText(i < fields.size() ? fields[i] : "");
        }
        dialog.portEdit()->setText(port);
    }

    platform::ScopedScriptedPresenter m_boxes;
};

TEST_F(FirewallDialogTest, OpensEmptyWithoutStoredValues)
{
    FirewallDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Proxy Settings");
    DWORD address = 1;
    EXPECT_EQ(dialog.addressEdit()->address(address), 0);
    EXPECT_EQ(dialog.portEdit()->text(), "");
    EXPECT_NE(dialog.findChild<QLabel*>(), nullptr);
}

TEST_F(FirewallDialogTest, LoadsTheStoredAddressFirstFieldMostSignificant)
{
    ASSERT_EQ(mainKey().writeDword("ProxyFirewall", 0xC0A80A01), ERROR_SUCCESS);
    ASSERT_EQ(mainKey().writeDword("ProxyFirePort", 3128), ERROR_SUCCESS);
    FirewallDialog dialog;
    EXPECT_EQ(dialog.addressEdit()->field(0)->text(), "192");
    EXPECT_EQ(dialog.addressEdit()->field(1)->text(), "168");
    EXPECT_EQ(dialog.addressEdit()->field(2)->text(), "10");
    EXPECT_EQ(dialog.addressEdit()->field(3)->text(), "1");
    EXPECT_EQ(dialog.portEdit()->text(), "3128");
}

TEST_F(FirewallDialogTest, ThreeFieldsAreRefusedWithInvalidIp)
{
    FirewallDialog dialog;
    dialog.show();
    type(dialog, {"10", "0", "0"}, "8080");
    SendMessage(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_EQ(m_boxes->calls().size(), 1u);
    EXPECT_EQ(m_boxes->calls()[0].text, "Invalid IP");
    EXPECT_EQ(m_boxes->calls()[0].caption, "Error"); // a box without a caption of its own
    EXPECT_EQ(m_boxes->calls()[0].flags, MB_OK);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
}

TEST_F(FirewallDialogTest, AllZeroAddressTypedInFullIsAccepted)
{
    FirewallDialog dialog;
    dialog.show();
    type(dialog, {"0", "0", "0", "0"}, "8080");
    dialog.accept();
    EXPECT_TRUE(m_boxes->calls().empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.address(), 0u);
    EXPECT_EQ(dialog.port(), 8080u);
}

TEST_F(FirewallDialogTest, PortThatIsNotANumberKeepsTheDialogOpen)
{
    FirewallDialog dialog;
    dialog.show();
    type(dialog, {"10", "1", "2", "3"}, "80a");
    dialog.accept();
    type(dialog, {"10", "1", "2", "3"}, "70000");
    dialog.accept();
    EXPECT_EQ(m_boxes->texts(),
              (std::vector<std::string>{"Please enter an integer.",
                                        "Please enter a port number between 1 and 65535."}));
    EXPECT_TRUE(dialog.isVisible());
    type(dialog, {"10", "1", "2", "3"}, " 3128 ");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.address(), 0x0A010203u);
    EXPECT_EQ(dialog.port(), 3128u);
}

TEST_F(FirewallDialogTest, OkSavesBothValuesAndCancelLeavesThemAlone)
{
    ASSERT_EQ(mainKey().writeDword("ProxyFirewall", 0x01020304), ERROR_SUCCESS);
    ASSERT_EQ(mainKey().writeDword("ProxyFirePort", 81), ERROR_SUCCESS);
    {
        FirewallDialog dialog;
        type(dialog, {"172", "16", "0", "9"}, "8000");
        SendMessage(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(mainKey().readDword("ProxyFirewall"), 0x01020304u);
    EXPECT_EQ(mainKey().readDword("ProxyFirePort"), 81u);

    FirewallDialog dialog;
    type(dialog, {"172", "16", "0", "9"}, "8000");
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.saveSettings());
    EXPECT_EQ(mainKey().readDword("ProxyFirewall"), 0xAC100009u);
    EXPECT_EQ(mainKey().readDword("ProxyFirePort"), 8000u);
}

TEST_F(FirewallDialogTest, AddressControlCountsFilledFields)
{
    pageui::IpAddressEdit edit;
    DWORD address = 0;
    edit.field(0)->setText("255");
    edit.field(3)->setText("7");
    EXPECT_EQ(edit.address(address), 2);
    EXPECT_EQ(address, 0xFF000007u);
    edit.setAddress(0x7F000001);
    EXPECT_EQ(edit.address(address), 4);
    EXPECT_EQ(address, 0x7F000001u);
    edit.clear();
    EXPECT_EQ(edit.address(address), 0);
}

TEST_F(FirewallDialogTest, RestartWindowShowsItsTwoLinesWithoutCaption)
{
    QWidget owner;
    owner.resize(640, 440);
    owner.show();
    host::ui::RestartWindow window(&owner);
    window.showNow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(window.isModal());
    std::vector<QString> texts;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            texts.push_back(label->text());
        }
    }
    EXPECT_EQ(texts, (std::vector<QString>{"Re-Starting Proxy server...", "Please Wait ..."}));
    EXPECT_TRUE(IsWindow(window.hwnd()));
}

} // namespace

int main(int argc, char** argv)
{
    return uitest::runTests(argc, argv);
}
