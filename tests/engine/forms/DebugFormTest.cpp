// The debug window: status changes logged while hidden, pages, placement keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QLabel>
#include <filesystem>

#include "common/TestUtil.h"
#include "engine/DebugU1.h"
#include "engine/SoundThreadLink.h"
#include "engine/forms/ClickLabel.h"
#include "engine/forms/DebugForm.h"

namespace {

struct FakeLink : CSoundThreadLink {
  SoundEngineStats st;
  int stall = 0;
  SoundEngineStats Stats() const override { return st; }
  void RequestStall(int ms) override { stall = ms; }
  void ClearInputStatus() override { st.inStatus = 0; }
};

struct DebugFormTest : ::testing::Test {
  void SetUp() override
  {
    old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SetSoundThreadLink(&link);
  }
  void TearDown() override
  {
    SetSoundThreadLink(nullptr);
    std::filesystem::current_path(old);
  }
  vt_test::TempDir dir;
  FakeLink link;
  std::filesystem::path old;
};

}  // namespace

TEST_F(DebugFormTest, StatusChangesAreLoggedWhileHidden)
{
  TDebugForm form;
  ASSERT_FALSE(form.isVisible());
  link.st.soundExists = true;
  link.st.inStatus = 2113;  // timed out waiting for input
  form.Timer1Timer();
  form.Timer1Timer();  // unchanged: logged once
  const QString text = form.Memo_ErrorHistory->toPlainText();
  EXPECT_EQ(text.count("SoundErrorIn  changed: "), 1) << text.toStdString();
  EXPECT_EQ(form.findChild<QLabel*>("Lab_InStatus")->text(), "InStat=2113");
  form.Lab_InStatusClick();  // the card's status back to 0: the next tick reports it
  form.Timer1Timer();
  EXPECT_EQ(form.Memo_ErrorHistory->toPlainText().count("SoundErrorIn  changed: "), 2);

  DebugPrintf(20, 0, "through the sink");
  EXPECT_TRUE(form.Memo_ErrorHistory->toPlainText().endsWith("through the sink"));
  form.Btn_EraseErrorHistoryClick();
  EXPECT_TRUE(form.Memo_ErrorHistory->toPlainText().isEmpty());
  form.Btn_TestClick();
  EXPECT_EQ(link.stall, 1000);
}

// However long the error list grows, its newest line stays in view, also after the user looked
// further up.
TEST_F(DebugFormTest, ErrorListShowsItsNewestLine)
{
  TDebugForm form;
  form.resize(420, 330);
  form.show();
  form.PageControl1->setCurrentWidget(form.TS_ErrorHistory);
  QApplication::processEvents();
  QScrollBar* bar = form.Memo_ErrorHistory->verticalScrollBar();
  for (int i = 0; i < 200; ++i) DebugPrintf(20, 0, "line %d", i);
  QApplication::processEvents();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->setValue(0);
  DebugPrintf(20, 0, "the newest");
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(DebugFormTest, CollectionTimeText)
{
  EXPECT_EQ(FormatCollectionTime(120.0), "120.0 sec");
  EXPECT_EQ(FormatCollectionTime(120.5), "2.0 min");
  EXPECT_EQ(FormatCollectionTime(1.4861), "1.486 sec");
}

TEST_F(DebugFormTest, PlacementAndPageAreStored)
{
  {
    TDebugForm form;
    form.show();
    form.setGeometry(21, 22, 400, 300);
    form.PageControl1->setCurrentWidget(form.TS_Miscellaneous);
    form.close();
  }
  const std::string ini = vt_test::ReadWholeFile(dir.file("SETTINGS.INI"));
  EXPECT_NE(ini.find("[DebugForm]"), std::string::npos);
  EXPECT_NE(ini.find("ActivePage=2"), std::string::npos);
  EXPECT_NE(ini.find("Visible=1"), std::string::npos);
  TDebugForm again;
  EXPECT_EQ(again.PageControl1->currentWidget(), again.TS_Miscellaneous);
  EXPECT_TRUE(again.isVisible());
  EXPECT_EQ(again.geometry().topLeft(), QPoint(21, 22));
}

TEST_F(DebugFormTest, OutputErrorLabelClickAsksForTheGenerator)
{
  TDebugForm form;
  int asked = 0;
  form.Lab_G_Errors->setText("TxErrors=3");
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form.Lab_G_Errors, &press);  // no hook: nothing happens
  form.ShowGenerator = [&asked] { ++asked; };
  QApplication::sendEvent(form.Lab_G_Errors, &press);
  EXPECT_EQ(asked, 1);
}
