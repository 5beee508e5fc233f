// The settings menu's switch of the phones' page: loaded from [Handy] Aktiv,
// and a tap writes the key and opens or closes the page at once.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTcpServer>

#include "app/collection_builder_window.h"
#include "app/phone_desk.h"
#include "app/qr_code_label.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "common/codepage.h"
#include "jukebox/jukebox_ini.h"
#include "jukebox/phone_settings.h"
#include "main_window_fixture.h"
#include "phones/phone_server.h"

namespace orvela::testing {
namespace {

class FixedAddress : public NetworkAddress {
 public:
  std::string Current() override { return "192.168.178.23"; }
};

// A port nobody listens on just now.
int FreePort() {
  QTcpServer probe;
  EXPECT_TRUE(probe.listen(QHostAddress::Any, 0));
  return probe.serverPort();
}

class SettingsMenuPhonesTest : public MainWindowTest {
 protected:
  SettingsMenuPhonesTest() {
    UseManualOutput();
    networkAddress = &address;
  }
  ~SettingsMenuPhonesTest() override {
    menu.reset();
    formFilter.reset();
    formMenu.reset();
    form.reset();
  }
  void Start(const std::string& handy) {
    port = FreePort();
    folder.WriteAll(std::string(kPlainIni) + handy + "Port=" + std::to_string(port) + "\r\n",
                    {{"ABBA", "Waterloo", "/m/a.mp3", "Pop", "1974", "02:42"}});
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    formMenu = std::make_unique<TFormMenu>(*form);
    formFilter = std::make_unique<TFormFilter>(*form);
    menu = std::make_unique<THauptmenu>(*form, *formMenu, *formFilter);
    menu->show();
  }
  TIniFile Ini() const { return TIniFile(folder.Path() + "Jukebox.ini"); }
  bool Listening() { return form->Phones() != nullptr && form->Phones()->Server().IsListening(); }

  FixedAddress address;
  int port = 0;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<TFormMenu> formMenu;
  std::unique_ptr<TFormFilter> formFilter;
  std::unique_ptr<THauptmenu> menu;
};

TEST_F(SettingsMenuPhonesTest, TheBoxShowsTheFilesSwitch) {
  struct Case {
    const char* section;
    bool ticked;
  };
  for (const Case& c : {Case{"[Handy]\r\nAktiv=1\r\n", true}, Case{"[Handy]\r\nAktiv=0\r\n", false},
                        Case{"[Handy]\r\n", false}}) {
    SCOPED_TRACE(c.section);
    Start(c.section);
    EXPECT_EQ(menu->CheckBoxHandy->text(), QString::fromUtf8("Auswahl mit dem Handy"));
    EXPECT_EQ(menu->CheckBoxHandy->isChecked(), c.ticked);
    EXPECT_EQ(Listening(), c.ticked) << "the program started as the file says";
    menu.reset();
    formFilter.reset();
    formMenu.reset();
    form.reset();
  }
}

TEST_F(SettingsMenuPhonesTest, ATapSwitchesThePageAndWritesTheKeyAtOnce) {
  Start("[Handy]\r\nAktiv=0\r\n");
  ASSERT_FALSE(Listening());
  EXPECT_FALSE(form->QrCodeHandy->isVisibleTo(form.get()));
  menu->CheckBoxHandy->click();
  EXPECT_TRUE(Ini().ReadBool("Handy", "Aktiv", false));
  ASSERT_TRUE(Listening()) << "without closing the menu";
  EXPECT_EQ(form->Phones()->Server().Port(), port);
  EXPECT_TRUE(form->QrCodeHandy->isVisibleTo(form.get()));
  EXPECT_TRUE(form->QrCodeHandy->Text().startsWith(QStringLiteral("http://192.168.178.23:%1/").arg(port)));
  EXPECT_TRUE(dialogs.Texts().empty());

  menu->CheckBoxHandy->click();
  EXPECT_FALSE(Ini().ReadBool("Handy", "Aktiv", true));
  EXPECT_FALSE(Listening());
  EXPECT_FALSE(form->QrCodeHandy->isVisibleTo(form.get()));
  // The port is free again.
  QTcpServer again;
  EXPECT_TRUE(again.listen(QHostAddress::Any, static_cast<quint16>(port)));

  // The closing keeps what the tap wrote.
  menu->CheckBoxHandy->click();
  menu->BitBtnSchliessen->click();
  EXPECT_TRUE(Ini().ReadBool("Handy", "Aktiv", false));
}

TEST_F(SettingsMenuPhonesTest, AFailedSwitchIsToldAndTheBoxShowsTheFile) {
  Start("[Handy]\r\nAktiv=0\r\n");
  {
    SCOPED_TRACE("the port is taken");
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::Any, static_cast<quint16>(port)));
    menu->CheckBoxHandy->click();
    EXPECT_FALSE(Listening());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{Utf8ToCp1252(
                                   "Die Seite für die Handys kann Port " + std::to_string(port) +
                                   " nicht öffnen (schon belegt?).")});
    EXPECT_TRUE(Ini().ReadBool("Handy", "Aktiv", false)) << "the next start tries again";
    menu->CheckBoxHandy->click();
    dialogs.Clear();
  }
  {
    SCOPED_TRACE("the file cannot be written");
    std::filesystem::permissions(folder.Path() + "Jukebox.ini", std::filesystem::perms::owner_read);
    menu->CheckBoxHandy->click();
    std::filesystem::permissions(folder.Path() + "Jukebox.ini",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Error);
    EXPECT_FALSE(menu->CheckBoxHandy->isChecked());
    EXPECT_FALSE(Listening());
    EXPECT_FALSE(Ini().ReadBool("Handy", "Aktiv", true));
    dialogs.Clear();
  }
  {
    SCOPED_TRACE("the file is gone");
    folder.Remove("Jukebox.ini");
    menu->CheckBoxHandy->click();
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{Utf8ToCp1252(
                                   "Kann Jukebox.ini nicht finden! Orvela Jukebox wird nicht "
                                   "ordnungsgemäß ausgeführt.")});
    EXPECT_FALSE(menu->CheckBoxHandy->isChecked());
    EXPECT_FALSE(Listening());
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "Jukebox.ini")) << "the tap created the file";
  }
}

// The package's kiosk folder starts from the delivered file (its maintainer
// script changes only the kiosk keys), so both open the page.
TEST(DeliveredSettings, SwitchThePhonesPageOn) {
  const TIniFile delivered(std::string(ORVELA_SOURCE_DIR) + "/assets/data/Jukebox.ini");
  ASSERT_TRUE(delivered.FileExists());
  const TPhoneSettings settings = ReadPhoneSettings(delivered);
  EXPECT_TRUE(settings.enabled);
  EXPECT_EQ(settings.port, 8080);
}

}  // namespace
}  // namespace orvela::testing
