// The small shared dialogs: names, initial texts, modal results and EditString.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "control/forms/AFilePrp.h"
#include "control/forms/StrEditU.h"
#include "control/forms/YesNoDlg.h"

namespace {

// Runs `action` once the dialog's modal loop is running.
void WhenShown(QDialog* dlg, std::function<void()> action)
{
  QTimer::singleShot(0, dlg, [dlg, action] {
    EXPECT_TRUE(dlg->isVisible());
    action();
  });
}

void Click(QWidget* dlg, const char* name)
{
  auto* b = dlg->findChild<QPushButton*>(name);
  ASSERT_NE(b, nullptr) << name;
  b->click();
}

void TypeText(QWidget* w, const QString& text)
{
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &release);
  }
}

TEST(AudioFilePropFrm, ControlsAndInitialTexts)
{
  TAudioFilePropFrm dlg;
  EXPECT_EQ(dlg.objectName(), "AudioFilePropFrm");
  EXPECT_EQ(dlg.windowTitle(), "Audio file analysis");
  EXPECT_EQ(dlg.HelpContext(), 1400);
  const struct {
    const char* name;
    const char* text;
    const char* label;
  } edits[] = {
      {"Ed_SampleRate", "11025", "Sample rate [Hz]"},  {"Ed_NrChannels", "1", "Nr of Channels"},
      {"Ed_BitsPerSample", "16", "Bits per sample"},   {"Ed_FreqOffset", "0", "Freq offset [Hz]"},
      {"Ed_Date", "02-18-01", "Date (MM-DD-YY)"},      {"Ed_Time", "23:59:59", "Time (HH:MM:SS)"},
  };
  for (const auto& e : edits) {
    auto* ed = dlg.findChild<QLineEdit*>(e.name);
    ASSERT_NE(ed, nullptr) << e.name;
    EXPECT_EQ(ed->text(), e.text) << e.name;
    bool labelled = false;
    for (QLabel* l : dlg.findChildren<QLabel*>())
      if (l->buddy() == ed && l->text() == e.label) labelled = true;
    EXPECT_TRUE(labelled) << e.name;
  }
  for (const char* b : {"BitBtn1", "BitBtn2", "BitBtn3"})
    EXPECT_NE(dlg.findChild<QPushButton*>(b), nullptr) << b;
}

TEST(AudioFilePropFrm, OkAndCancelResultsKeepTheEdits)
{
  TAudioFilePropFrm dlg;
  WhenShown(&dlg, [&] {
    dlg.Ed_SampleRate->setText("8000.5");
    Click(&dlg, "BitBtn1");
  });
  EXPECT_EQ(dlg.exec(), 1);
  EXPECT_EQ(dlg.Ed_SampleRate->text(), "8000.5");  // the texts stay for the next use
  WhenShown(&dlg, [&] { Click(&dlg, "BitBtn2"); });
  EXPECT_EQ(dlg.exec(), 2);
}

TEST(YesNoForm, ResultsAndInitialTexts)
{
  TYesNoForm dlg;
  EXPECT_EQ(dlg.objectName(), "YesNoForm");
  EXPECT_EQ(dlg.windowTitle(), "<important question>");
  ASSERT_NE(dlg.findChild<QPlainTextEdit*>("Memo"), nullptr);
  EXPECT_EQ(dlg.Memo->toPlainText(), "<intelligent message>");
  WhenShown(&dlg, [&] { Click(&dlg, "BtnYes"); });
  EXPECT_EQ(dlg.exec(), TYesNoForm::mrYes);
  WhenShown(&dlg, [&] { Click(&dlg, "BtnNo"); });
  EXPECT_EQ(dlg.exec(), TYesNoForm::mrNo);
  WhenShown(&dlg, [&] { dlg.reject(); });  // Escape or the title bar's close
  const int r = dlg.exec();
  EXPECT_NE(r, TYesNoForm::mrYes);
  EXPECT_NE(r, TYesNoForm::mrNo);
}

TEST(StringEditForm, EditStringOkCancelAndMaxLength)
{
  TStringEditForm dlg;
  EXPECT_EQ(dlg.objectName(), "StringEditForm");
  for (const char* n : {"Label", "Edit", "Btn_Ok", "Btn_Cancel"})
    EXPECT_NE(dlg.findChild<QWidget*>(n), nullptr) << n;

  // Cancel: the caller's text stays, the result is false, even after typing.
  QString text = "63";
  WhenShown(&dlg, [&] {
    EXPECT_EQ(dlg.windowTitle(), "Hilbert");
    EXPECT_EQ(dlg.Label->text(), "Length:");
    EXPECT_EQ(dlg.Edit->text(), "63");
    dlg.Edit->clear();
    TypeText(dlg.Edit, "127");
    Click(&dlg, "Btn_Cancel");
  });
  EXPECT_FALSE(dlg.EditString("Hilbert", "Length:", 10, text));
  EXPECT_EQ(text, "63");

  // OK with maximum length 16: typing 20 characters keeps the first 16.
  WhenShown(&dlg, [&] {
    dlg.Edit->clear();
    TypeText(dlg.Edit, "abcdefghijklmnopqrst");
    Click(&dlg, "Btn_Ok");
  });
  EXPECT_TRUE(dlg.EditString("Name", "Text:", 16, text));
  EXPECT_EQ(text, "abcdefghijklmnop");
}

}  // namespace
