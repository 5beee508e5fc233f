// The jukebox automatic on the real screen: start-up, the refusal on a small
// collection, the top-ups after "Vor", and a guest's search left alone.
#include <QCheckBox>
#include <QLabel>
#include <QTreeWidget>
#include <set>

#include "app/collection_builder_window.h"
#include "app/lamp_label.h"
#include "app/restriction_filter_window.h"
#include "app/settings_menu.h"
#include "jukebox/jukebox_automatic.h"
#include "main_window_fixture.h"
#include "queue/tilu_playlist.h"

namespace orvela::testing {
namespace {

// Titles "Song 1" .. "Song n" by "Band k" at /music/k.mp3 (files that need not
// exist: the queue takes them with their default values, and on a machine
// without sound nothing opens, so none is passed over as missing).
std::vector<Row> Titles(int count) {
  std::vector<Row> rows;
  for (int k = 1; k <= count; ++k) {
    const std::string n = std::to_string(k);
    rows.push_back({"Band " + n, "Song " + n, "/music/" + n + ".mp3", k % 2 ? "Rock" : "Pop", "1990", "03:00"});
  }
  return rows;
}

class AutomaticTest : public MainWindowTest {
 protected:
  AutomaticTest() { audioLayer = std::make_unique<audio::AudioLayer>(nullptr); }
  void Start(int titles, bool automatic) {
    std::string ini = kPlainIni;
    if (automatic) ini.replace(ini.find("Automatik=0"), 11, "Automatik=1");
    folder.WriteAll(ini, Titles(titles));
    form = MakeForm();
    ASSERT_FALSE(form->StartFailed());
  }
  // The queued paths, in queue order.
  std::vector<std::string> Queued() const {
    std::vector<std::string> paths;
    for (const auto& item : form->Player()->Items) paths.push_back(item->FilePath);
    return paths;
  }
  std::unique_ptr<TForm1> form;
};

TEST_F(AutomaticTest, StartUpWithTwentyTitlesQueuesFiveDistinctWithoutPlaying) {
  random.values = {3, 3, 0, 19, 7, 0, 0};
  Start(20, true);
  const std::vector<std::string> queued = Queued();
  ASSERT_EQ(queued.size(), 5u);
  EXPECT_EQ(std::set<std::string>(queued.begin(), queued.end()).size(), 5u);
  // 3 drawn twice: the second time the pass's first entry comes instead.
  EXPECT_EQ(queued, (std::vector<std::string>{"/music/3.mp3", "/music/1.mp3", "/music/19.mp3", "/music/7.mp3",
                                              "/music/2.mp3"}));
  EXPECT_EQ(form->LabelTitelJukeWert->text(), "5");
  EXPECT_EQ(form->PlaylistView->topLevelItemCount(), 5);
  EXPECT_NE(form->Player()->GetState(), audio::kPlaying);
  EXPECT_TRUE(form->State.AutomaticEnabled);
  EXPECT_TRUE(form->LabelDiodeAuto->Lit());
  EXPECT_TRUE(dialogs.Texts().empty());
}

TEST_F(AutomaticTest, FiveTitlesAreRefusedSixAreEnough) {
  Start(5, true);
  EXPECT_FALSE(form->State.AutomaticEnabled);
  EXPECT_FALSE(form->LabelDiodeAuto->Lit());
  EXPECT_TRUE(form->Player()->Items.empty());
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{kAutomaticTooFewTitlesText});

  // Switched on from the settings window, which then loses its tick.
  TFormMenu formMenu(*form);
  TFormFilter formFilter(*form);
  THauptmenu menu(*form, formMenu, formFilter);
  menu.CheckBoxAutomatik->setChecked(true);
  form->StartAutomatic();
  EXPECT_FALSE(menu.CheckBoxAutomatik->isChecked());
  EXPECT_FALSE(form->State.AutomaticEnabled);
}

TEST_F(AutomaticTest, SixTitlesTheSixthComesWithTheNextTopUp) {
  Start(6, true);
  std::vector<std::string> queued = Queued();
  ASSERT_EQ(queued.size(), 5u);
  std::set<std::string> missing;
  for (int k = 1; k <= 6; ++k) missing.insert("/music/" + std::to_string(k) + ".mp3");
  for (const std::string& path : queued) missing.erase(path);
  ASSERT_EQ(missing.size(), 1u);

  form->BtnNextClick();
  queued = Queued();
  ASSERT_EQ(queued.size(), 5u);
  EXPECT_EQ(queued.back(), *missing.begin());
  EXPECT_EQ(form->LabelTitelJukeWert->text(), "5");
  // The pass is complete: the next top-up starts a new one.
  EXPECT_TRUE(form->State.AutomaticList.Empty());
  form->BtnNextClick();
  EXPECT_EQ(Queued().size(), 5u);
  EXPECT_EQ(form->State.AutomaticList.Size(), 5u);
}

TEST_F(AutomaticTest, AGuestsSearchIsDrawnAroundAndLeftAsItWas) {
  Start(20, false);
  // The search for "SONG 2" in title mode finds Song 2 and Song 20.
  form->SetSearchMode(TSearchMode::Titel);
  for (char c : std::string("SONG 2")) form->SearchKeyClick(c);
  TCollectionTable& table = form->CollectionTable();
  ASSERT_EQ(table.RecordCount(), 2);
  table.SetRecNo(2);
  const std::string current = table.FieldAsString("Titel");
  const std::string filter = table.Filter();

  random.values = {5, 6, 7, 8, 9};
  form->StartAutomatic();
  EXPECT_EQ(Queued(), (std::vector<std::string>{"/music/5.mp3", "/music/6.mp3", "/music/7.mp3", "/music/8.mp3",
                                                  "/music/9.mp3"}));
  EXPECT_TRUE(table.Filtered());
  EXPECT_EQ(table.Filter(), filter);
  EXPECT_EQ(table.RecordCount(), 2);
  EXPECT_EQ(table.FieldAsString("Titel"), current);
  EXPECT_EQ(form->SearchText(), "SONG 2");
}

TEST_F(AutomaticTest, AFullQueueGetsNothingAndStoppingFreesThePass) {
  Start(20, false);
  for (int k = 1; k <= 6; ++k) form->Player()->Add("/music/" + std::to_string(k) + ".mp3");
  form->StartAutomatic();
  EXPECT_EQ(Queued().size(), 6u);
  EXPECT_EQ(form->State.AutomaticList.Size(), 20u);
  form->StopAutomatic();
  EXPECT_FALSE(form->State.AutomaticEnabled);
  EXPECT_TRUE(form->State.AutomaticList.Empty());
  EXPECT_FALSE(form->LabelDiodeAuto->Lit());
  // Off, "Vor" leaves the queue short.
  form->BtnNextClick();
  EXPECT_EQ(Queued().size(), 5u);
  form->BtnNextClick();
  EXPECT_EQ(Queued().size(), 4u);
}

TEST_F(AutomaticTest, AnEmptyCollectionQueuesNothing) {
  Start(20, true);
  form->Player()->Clear();
  form->CollectionTable().Empty();
  form->FillQueueAutomatic();
  EXPECT_TRUE(form->Player()->Items.empty());
}

}  // namespace
}  // namespace orvela::testing
