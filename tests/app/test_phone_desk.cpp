// Phones choose on the real screen's rules: what a phone queues appears in the
// screen's queue at once, a refusal carries the screen's own words and opens
// no box on the screen, and one phone gets its share and no more.
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>

#include "app/attract_screen.h"
#include "app/phone_desk.h"
#include "covers/cover_cache.h"
#include "demo_folder.h"
#include "jukebox/phone_rules.h"
#include "jukebox/phone_settings.h"
#include "jukebox/title_selection.h"
#include "main_window_fixture.h"
#include "phones/phone_server.h"
#include "queue/tilu_playlist.h"
#include "support/raw_client.h"

namespace orvela::testing {
namespace {

namespace fs = std::filesystem;

const std::string kPhoneA(32, 'a');
const std::string kPhoneB(32, 'b');

class PhoneDeskTest : public MainWindowTest {
 protected:
  PhoneDeskTest() { UseManualOutput(); }
  // rows: the collection; the demo's twelve titles when empty.
  void Start(int max, int perPhone, int interval, bool duplicates = false, const std::string& moreIni = "",
             const std::vector<Row>& rows = {}) {
    folder.WriteAll(kPlainIni, rows);
    folder.Write("Jukebox.ini", std::string("[Programm]\r\nKiosk=0\r\nBildschirmschoner=0\r\nMaus=0\r\n"
                                            "Geburtstag=0\r\nAutomatik=0\r\nEinmalSpielen=0\r\nTitelausblenden=0\r\nTitelDoppel=") +
                                    (duplicates ? "1" : "0") + "\r\n[Abspielliste]\r\nmax=" + std::to_string(max) +
                                    "\r\n" + moreIni);
    if (rows.empty()) {
      fs::copy_file(DemoFolder() / "Musikliste.xml", folder.Path() + "Musikliste.xml",
                    fs::copy_options::overwrite_existing);
    }
    clock.now = 46000.875;  // a Saturday, 21:00
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
    TPhoneSettings settings;
    settings.enabled = true;
    settings.port = 0;
    settings.perPhone = perPhone;
    settings.intervalSeconds = interval;
    ASSERT_TRUE(form->StartPhones(settings, QHostAddress::LocalHost));
    desk = form->Phones();
  }
  std::string IdOf(const std::string& artistPart) {
    const TPhoneSearchAnswer found = desk->PhoneSearch(TSearchMode::Interpret, artistPart);
    EXPECT_EQ(found.titles.size(), 1u) << artistPart;
    return found.titles.empty() ? std::string() : found.titles[0].id;
  }
  void Later(double seconds) { clock.now += seconds / 86400.0; }
  int ScreenRows() const { return form->PlaylistView->topLevelItemCount(); }

  std::unique_ptr<TForm1> form;
  TPhoneDesk* desk = nullptr;
};

TEST_F(PhoneDeskTest, APhonesChoiceIsTheScreensRuleAndShowsOnTheScreenAtOnce) {
  Start(3, 10, 0);
  const std::string moehre = IdOf("K\xE4pt");
  TPhoneChoice choice = desk->PhoneChoose(kPhoneA, moehre);
  EXPECT_TRUE(choice.added);
  ASSERT_EQ(ScreenRows(), 1);
  EXPECT_NE(form->PlaylistView->topLevelItem(0)->text(0).indexOf(QStringLiteral("M\u00f6hre")), -1);
  EXPECT_NE(form->Player()->Items[0]->FilePath.find("Ahoi"), std::string::npos);

  // Refused as the screen refuses, in its words, without a box on the screen.
  dialogs.Clear();
  const struct {
    const char* name;
    std::string id;
    std::string message;
    bool added;
  } cases[] = {
      {"the same title again", moehre, kDuplicateText, false},
      {"another title", IdOf("Nordlicht"), "Titel ist in der Warteschlange.", true},
      {"a third", IdOf("M\xFChlbach"), "", true},
      {"past the queue's limit", IdOf("\xD6lwechsler"), kQueueFullText, false},
      {"an id no table gave", "99.1", kPhoneStaleText, false},
      {"nonsense", "../Musikliste.xml", kPhoneStaleText, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.id.empty()) continue;
    choice = desk->PhoneChoose(kPhoneA, c.id);
    EXPECT_EQ(choice.added, c.added);
    if (!c.message.empty()) EXPECT_EQ(choice.message, c.message);
  }
  EXPECT_TRUE(dialogs.Texts().empty());
  EXPECT_EQ(ScreenRows(), 3);
}

TEST_F(PhoneDeskTest, OnePhoneGetsItsShareAndTheScreenIsNotCounted) {
  Start(20, 2, 30, true);
  // A title waits already, so the phones' titles wait behind it.
  form->CollectionTable().SetRecNo(1);
  form->Abspielliste_uebernehmen_SpeedBtnClick();
  EXPECT_TRUE(desk->PhoneChoose(kPhoneA, IdOf("Nordlicht")).added);
  // The interval first: the second choice comes too soon.
  TPhoneChoice choice = desk->PhoneChoose(kPhoneA, IdOf("M\xFChlbach"));
  EXPECT_FALSE(choice.added);
  EXPECT_EQ(choice.message, TPhoneLedger::TooSoonText(30));
  EXPECT_EQ(choice.standing.waitSeconds, 30);
  // Another phone is not held back by the first one's choice.
  EXPECT_TRUE(desk->PhoneChoose(kPhoneB, IdOf("M\xFChlbach")).added);
  Later(31);
  EXPECT_TRUE(desk->PhoneChoose(kPhoneA, IdOf("Zwerge")).added);
  Later(31);
  choice = desk->PhoneChoose(kPhoneA, IdOf("\xDC" "berflieger"));
  EXPECT_FALSE(choice.added);
  EXPECT_EQ(choice.message, TPhoneLedger::TooManyText(2));
  EXPECT_EQ(choice.standing.waiting, 2);

  // The screen's guests choose on, unlimited.
  for (int recNo : {2, 3, 4}) {
    form->CollectionTable().SetRecNo(recNo);
    form->Abspielliste_uebernehmen_SpeedBtnClick();
  }
  EXPECT_EQ(ScreenRows(), 7);

  // The screen's title plays and makes way: the phone's first title starts,
  // and one of its two no longer waits.
  form->BtnPlayPauseClick();
  EXPECT_EQ(desk->PhoneStanding(kPhoneA).waiting, 2);
  form->BtnNextClick();
  EXPECT_EQ(desk->PhoneStanding(kPhoneA).waiting, 1);
  EXPECT_TRUE(desk->PhoneChoose(kPhoneA, IdOf("\xDC" "berflieger")).added);
}

TEST_F(PhoneDeskTest, IntoASilentEmptyJukeboxAPhonesTitleStarts) {
  Start(20, 2, 0);
  EXPECT_TRUE(desk->PhoneChoose(kPhoneA, IdOf("Nordlicht")).added);
  EXPECT_EQ(form->Player()->GetState(), audio::kPlaying);
  const TPhoneQueueView view = desk->PhoneQueue();
  EXPECT_EQ(view.status, "Play");
  EXPECT_NE(view.nowCaption.find("Polarkreis"), std::string::npos);

  // Stopped by the operator with titles waiting: a phone does not overrule that.
  EXPECT_TRUE(desk->PhoneChoose(kPhoneB, IdOf("M\xFChlbach")).added);
  form->BtnStopClick();
  ASSERT_NE(form->Player()->GetState(), audio::kPlaying);
  EXPECT_TRUE(desk->PhoneChoose(kPhoneB, IdOf("Zwerge")).added);
  EXPECT_NE(form->Player()->GetState(), audio::kPlaying);
}

TEST_F(PhoneDeskTest, TheQueueAsAPhoneSeesIt) {
  Start(20, 5, 0);
  for (const char* artist : {"Nordlicht", "M\xFChlbach", "Zwerge"}) EXPECT_TRUE(desk->PhoneChoose(kPhoneA, IdOf(artist)).added);
  const TPhoneQueueView view = desk->PhoneQueue();
  EXPECT_EQ(view.nextTotal, 2u);
  ASSERT_EQ(view.next.size(), 2u);
  EXPECT_NE(view.next[0].caption.find("Nachtcaf"), std::string::npos);
  // 21:00 plus the rest of the first title: still 21:00 for these short tunes.
  EXPECT_EQ(view.next[0].start, "ca. 21:00");
  EXPECT_EQ(view.nowLength, form->Player()->Items[0]->Duration);
}

TEST_F(PhoneDeskTest, AStaleIdAfterTheCollectionWasLoadedAgainQueuesNothing) {
  Start(20, 5, 0);
  const std::string id = IdOf("Nordlicht");
  form->CollectionTable().LoadFromFile(folder.Path() + "Musikliste.xml");
  const TPhoneChoice choice = desk->PhoneChoose(kPhoneA, id);
  EXPECT_FALSE(choice.added);
  EXPECT_EQ(choice.message, kPhoneStaleText);
  EXPECT_TRUE(desk->PhoneChoose(kPhoneA, IdOf("Nordlicht")).added);
}

TEST_F(PhoneDeskTest, OverTheNetworkFromSearchToTheScreensQueue) {
  Start(20, 2, 0);
  const int port = desk->Server().Port();
  const std::string code = desk->Server().AccessCode().toStdString();
  const RawReply page = WhileServing([=] {
    return Exchange(port, "GET /?k=" + code + " HTTP/1.1\r\nHost: j\r\n\r\n");
  });
  const std::size_t at = page.bytes.find("orvela_handy=");
  ASSERT_NE(at, std::string::npos);
  const std::string cookie = page.bytes.substr(at, 13 + 32);

  const RawReply found = WhileServing([=] {
    return Exchange(port, "GET /api/suche?k=" + code + "&modus=interpret&text=K%C3%A4pt HTTP/1.1\r\nHost: j\r\n\r\n");
  });
  const QJsonArray titles =
      QJsonDocument::fromJson(QByteArray::fromStdString(found.Body())).object()["titel"].toArray();
  ASSERT_EQ(titles.size(), 1);
  EXPECT_EQ(titles[0].toObject()["interpret"].toString(), QStringLiteral("K\u00e4pt'n M\u00f6hre"));
  const std::string body = R"({"id":")" + titles[0].toObject()["id"].toString().toStdString() + R"("})";
  const RawReply chosen = WhileServing([=] {
    return Exchange(port, "POST /api/waehlen?k=" + code + " HTTP/1.1\r\nHost: j\r\nCookie: " + cookie +
                              "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  });
  EXPECT_EQ(chosen.Status(), 200) << chosen.bytes;
  EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(chosen.Body())).object()["aufgenommen"].toBool());
  ASSERT_EQ(ScreenRows(), 1);
  EXPECT_NE(form->PlaylistView->topLevelItem(0)->text(0).indexOf(QStringLiteral("M\u00f6hre")), -1);
  // Not a byte of a path went out.
  EXPECT_EQ(found.bytes.find(".mp3"), std::string::npos);
  EXPECT_EQ(found.bytes.find("/tmp"), std::string::npos);
}

TEST_F(PhoneDeskTest, WithoutTheSectionNothingListens) {
  folder.WriteAll(kPlainIni, {});
  form = MakeForm();
  ASSERT_FALSE(form->StartFailed());
  EXPECT_EQ(form->Phones(), nullptr);
  EXPECT_TRUE(form->PhonePageAddress(QStringLiteral("192.168.1.2")).isEmpty());
  form->SwitchPhones(true);  // the section still says nothing
  EXPECT_EQ(form->Phones(), nullptr);
}

QImage Decoded(const TPhoneCover& cover) {
  return QImage::fromData(QByteArray::fromStdString(cover.jpeg), "JPEG");
}

QColor Middle(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 && std::abs(a.blue() - b.blue()) < 24;
}

TEST_F(PhoneDeskTest, ThePhonesSeeTheScreensCoversAndTilesByIdAndTheirChoiceEndsTheAttractScreen) {
  // Two demo files: one in a folder with its picture, one without.
  const fs::path demo = DemoFolder() / "Demo";
  const fs::path with = fs::path(folder.Path()) / "mit";
  const fs::path without = fs::path(folder.Path()) / "ohne";
  fs::create_directories(with);
  fs::create_directories(without);
  fs::copy_file(demo / fs::directory_iterator(demo)->path().filename(), with / "a.mp3");
  fs::copy_file(demo / fs::directory_iterator(demo)->path().filename(), without / "b.mp3");
  QImage red(300, 300, QImage::Format_RGB32);
  red.fill(QColor(200, 20, 20));
  ASSERT_TRUE(red.save(QString::fromStdString((with / "folder.jpg").string()), "JPEG", 95));
  Start(20, 2, 0, false, "[Cover]\r\nAktiv=1\r\nLeerlauf=1\r\n",
        {{"Rotk\xE4ppchen", "Im Wald", (with / "a.mp3").string(), "Pop", "1990", "00:01"},
         {"Ohnebild", "Grau", (without / "b.mp3").string(), "Pop", "1991", "00:01"}});
  ASSERT_NE(form->CoverCache(), nullptr);
  EXPECT_TRUE(desk->PhoneCovers());

  const std::string withId = IdOf("Rotk");
  const std::string withoutId = IdOf("Ohnebild");
  // Asked before it is read: the artist's tile stands in, and the page is told to ask again.
  TPhoneCover first = desk->PhoneCover(withId);
  ASSERT_TRUE(first.found);
  EXPECT_FALSE(first.settled);
  EXPECT_TRUE(Near(Middle(Decoded(first)), Middle(ArtistTile("Rotk\xE4ppchen", TCoverCache::kThumbnailPixels))));
  desk->PhoneCover(withoutId);
  QElapsedTimer waited;
  waited.start();
  while (form->CoverCache()->Pending() > 0 && waited.elapsed() < 20000) QCoreApplication::processEvents();
  ASSERT_EQ(form->CoverCache()->Pending(), 0u);

  const TPhoneCover cover = desk->PhoneCover(withId);
  EXPECT_TRUE(cover.settled);
  const QImage picture = Decoded(cover);
  EXPECT_EQ(picture.size(), QSize(TCoverCache::kThumbnailPixels, TCoverCache::kThumbnailPixels));
  EXPECT_TRUE(Near(Middle(picture), QColor(200, 20, 20))) << Middle(picture).name().toStdString();
  const TPhoneCover tile = desk->PhoneCover(withoutId);
  EXPECT_TRUE(tile.settled);
  EXPECT_TRUE(Near(Middle(Decoded(tile)), Middle(ArtistTile("Ohnebild", TCoverCache::kThumbnailPixels))));
  for (const char* id : {"99.1", "../mit/folder.jpg", ""}) EXPECT_FALSE(desk->PhoneCover(id).found) << id;

  // The attract screen shows after the idle minute; a phone's title starts and ends it.
  double idle = 0.0;
  form->SetIdleClock([&idle] { return idle; });
  form->show();
  idle = 61;
  form->TimerLeerlaufTimer();
  ASSERT_TRUE(form->AttractScreen->isVisible());
  EXPECT_TRUE(desk->PhoneChoose(kPhoneA, withId).added);
  EXPECT_EQ(form->Player()->GetState(), audio::kPlaying);
  form->TimerLeerlaufTimer();
  EXPECT_FALSE(form->AttractScreen->isVisible());
}

TEST_F(PhoneDeskTest, WithoutCoversOnTheScreenThePhonesGetNone) {
  Start(20, 2, 0);
  EXPECT_FALSE(desk->PhoneCovers());
  EXPECT_FALSE(desk->PhoneCover(IdOf("Nordlicht")).found);
}

}  // namespace
}  // namespace orvela::testing
