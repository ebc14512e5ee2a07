// The digimode configuration dialog offscreen: filling the controls, presets, the code-set
// coupling, number edits, Cancel, help, and the plug-in test through the file-dialog hook.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <cmath>
#include <cstring>
#include <string>

#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/forms/TerminalDialog.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"

namespace {

void SetName(const char* name)
{
  std::memset(DigimodeSettings.name, 0, sizeof(DigimodeSettings.name));
  std::strncpy(DigimodeSettings.name, name, sizeof(DigimodeSettings.name) - 1);
}

// Every field of the record as text, to compare whole records.
std::string Snapshot()
{
  const T_DigimodeSettings& s = DigimodeSettings;
  char buf[1024];
  std::snprintf(buf, sizeof(buf), "%d %d %d %d %.17g %.17g %.17g %.17g %d %d %.17g %.17g %d %d %d %.17g %s %d %d",
                int(s.OperMode), int(s.Modulation), int(s.CodesetNr), int(s.ScopeMode), double(s.fc_rx),
                double(s.fc_tx), double(s.f_shift), double(s.symbol_rate), int(bool(s.rev_keying)),
                int(s.pulse_shaping), double(s.shape_percent), double(s.output_level), int(s.squelch_thrsh),
                int(bool(s.use_afc)), int(bool(s.narrow_afc)), double(s.afc_tune_range), s.name,
                int(bool(s.use_it)), int(s.cut_top));
  return buf;
}

// The path of the C math library as loaded in this process.
std::string MathLibraryPath()
{
  void* h = dlopen("libm.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (!h) return {};
  Dl_info info{};
  void* sym = dlsym(h, "nextafter");
  std::string path;
  if (sym && dladdr(sym, &info) && info.dli_fname) path = info.dli_fname;
  dlclose(h);
  return path;
}

class TerminalDialogTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    DigimodeSettings_SetDefaults(DigimodeSettings);
    DigimodeSettings.fc_rx = 1500.0;
    DigimodeSettings.fc_tx = 1600.0;
    DigimodeSettings.f_shift = 170.0;
    dlg = new TTerminalDialog;
    dlg->show();
  }
  void TearDown() override
  {
    delete dlg;
    TDialogHooks::FileDialogHook = nullptr;
  }
  template <typename T>
  T* Find(const char* name)
  {
    T* w = dlg->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QAction* Preset(const char* caption)
  {
    for (QAction* a : Find<QMenu>("PMenu_StdModes")->actions())
      if (a->text() == caption) return a;
    ADD_FAILURE() << caption;
    return nullptr;
  }
  void ClickOk() { Find<QPushButton>("Btn_OK")->click(); }

  TTerminalDialog* dlg = nullptr;
};

}  // namespace

TEST_F(TerminalDialogTest, FormShowFillsEveryControl)
{
  dlg->hide();
  T_DigimodeSettings& s = DigimodeSettings;
  s.OperMode = 3;
  s.Modulation = 13;
  s.CodesetNr = 4;
  s.pulse_shaping = 2;
  s.fc_rx = 1234.5;
  s.fc_tx = 1000.0;
  s.f_shift = 170.25;
  s.symbol_rate = 31.25;
  s.shape_percent = 50.0;
  s.output_level = 75.5;
  s.squelch_thrsh = 33;
  s.use_it = true;
  SetName("/opt/modes/libexample.so");
  s.use_afc = false;
  s.narrow_afc = true;
  s.afc_tune_range = 120.0;
  s.ScopeMode = 2;
  dlg->SetStatusText(1, "old text");
  dlg->show();
  EXPECT_EQ(dlg->Updating, 0);
  EXPECT_EQ(dlg->windowTitle(), "Digimode Configuration");
  EXPECT_EQ(Find<QComboBox>("Combo_OpMode")->currentIndex(), 3);
  EXPECT_EQ(Find<QComboBox>("Combo_ModType")->currentIndex(), 13);
  EXPECT_EQ(Find<QComboBox>("Combo_CodeSet")->currentIndex(), 4);
  EXPECT_EQ(Find<QComboBox>("Combo_PulseShapeType")->currentIndex(), 2);
  EXPECT_EQ(Find<QComboBox>("Combo_TuneScopeMode")->currentIndex(), 2);
  const struct {
    const char* edit;
    const char* text;
  } edits[] = {{"Ed_Fcenter_RX", "1234.5"}, {"Ed_Fcenter_TX", "1000.0"},   {"Ed_ShiftFreq", "170.25"},
               {"Ed_SymbolRate", "31.25"},  {"Ed_SymShapingTime", "50.0"}, {"Ed_ModOutputLevel", "75.5"},
               {"Ed_DetSquelchLevel", "33"}, {"Ed_AfcTuneRange", "120.0"},
               {"Ed_DLL_Name", "/opt/modes/libexample.so"}};
  for (const auto& e : edits) EXPECT_EQ(Find<QLineEdit>(e.edit)->text(), e.text) << e.edit;
  EXPECT_TRUE(Find<QCheckBox>("Chk_UseDigiDLL")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>("Chk_UseAFC")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>("Chk_NarrowAFC")->isChecked());
  EXPECT_EQ(dlg->StatusText(1), "");
  // OK writes the same values back.
  const std::string before = Snapshot();
  ClickOk();
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(TerminalDialogTest, ItemListsPagesAndPresetMenu)
{
  auto* mod = Find<QComboBox>("Combo_ModType");
  ASSERT_EQ(mod->count(), 16);
  EXPECT_EQ(mod->itemText(0), "unknown     (0)");
  EXPECT_EQ(mod->itemText(7), "Parallel MT (7)");
  EXPECT_EQ(mod->itemText(15), "reserved   (15)");
  auto* op = Find<QComboBox>("Combo_OpMode");
  ASSERT_EQ(op->count(), 7);
  EXPECT_EQ(op->itemText(2), "data blocks(2)");
  EXPECT_EQ(Find<QComboBox>("Combo_CodeSet")->itemText(5), "PSK31 'Varicode'");
  EXPECT_EQ(Find<QComboBox>("Combo_CodeSet")->count(), 10);
  EXPECT_EQ(Find<QComboBox>("Combo_TuneScopeMode")->itemText(4), "absolute phase vectors");
  auto* pages = Find<QTabWidget>("PageControl1");
  ASSERT_EQ(pages->count(), 4);
  EXPECT_EQ(pages->tabText(0), "Basic");
  EXPECT_EQ(pages->tabText(1), "Advanced");
  EXPECT_EQ(pages->tabText(2), "-");
  EXPECT_EQ(Find<QLineEdit>("Ed_DLL_Name")->maxLength(), 200);
  EXPECT_NE(Find<QStatusBar>("StatusBar1"), nullptr);
  const QList<QAction*> items = Find<QMenu>("PMenu_StdModes")->actions();
  const char* captions[] = {"Slow CW", "PSK 31", "PSK 08", "PSK02", "RTTY (ham radio)", "parallel MT Hell (PMT)",
                            "sequential MT Hell (MFSK)"};
  const bool enabled[] = {false, true, true, true, false, true, true};
  ASSERT_EQ(items.size(), 7);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(items[i]->text(), captions[i]);
    EXPECT_EQ(items[i]->isEnabled(), enabled[i]) << captions[i];
  }
  Find<QPushButton>("Btn_StdModes")->click();
  EXPECT_EQ(dlg->StatusText(1), "Select a 'standard' communication mode");
  Find<QMenu>("PMenu_StdModes")->hide();
}

TEST_F(TerminalDialogTest, PresetsSetTheirValuesAndLeaveTheFrequencies)
{
  struct Case {
    const char* caption;
    void (*handler)(TTerminalDialog*);  // for the disabled items
    int oper, modulation, codeset, pulse;
    double rate, shaping, output;
    int squelch;
    double shift;
    bool afc;
    const char* status;
  };
  const Case cases[] = {
      {"Slow CW", [](TTerminalDialog* d) { d->Mnu_SlowCWClick(); }, 1, 2, 1, 1, 0.25, 10, 100, 25, 170, false,
       "parameters set for slow CW"},
      {"PSK 31", nullptr, 1, 8, 5, 1, 31.25, 100, 100, 25, 170, true, "Standard parameters set for PSK31"},
      {"PSK 08", nullptr, 1, 8, 5, 1, 8, 100, 100, 25, 170, true, "Standard parameters set for PSK08"},
      {"PSK02", nullptr, 1, 8, 5, 1, 2, 100, 100, 25, 170, true, "Standard parameters set for PSK02"},
      {"RTTY (ham radio)", [](TTerminalDialog* d) { d->Mnu_RTTYClick(); }, 1, 5, 2, 1, 45.5, 10, 100, 25, 170, false,
       "parameters set for 'ham' RTTY"},
      {"parallel MT Hell (PMT)", nullptr, 3, 7, 0, 1, 1.0, 100, 100, 25, 10, false,
       "parameters set for narrow MT HELL"},
      {"sequential MT Hell (MFSK)", nullptr, 3, 13, 0, 1, 0.7, 25, 100, 25, 30, false,
       "parameters set for narrow MT HELL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    DigimodeSettings_SetDefaults(DigimodeSettings);
    DigimodeSettings.fc_rx = 1500.0;
    DigimodeSettings.fc_tx = 1600.0;
    DigimodeSettings.f_shift = 170.0;
    DigimodeSettings.squelch_thrsh = 60;
    DigimodeSettings.shape_percent = 40.0;
    DigimodeSettings.output_level = 20.0;
    DigimodeSettings.pulse_shaping = 0;
    DigimodeSettings.use_afc = !c.afc;
    DigimodeSettings.narrow_afc = true;
    DigimodeSettings.ScopeMode = 4;
    dlg->hide();
    dlg->show();
    if (c.handler)
      c.handler(dlg);
    else
      Preset(c.caption)->trigger();
    EXPECT_EQ(dlg->StatusText(1), c.status);
    EXPECT_EQ(dlg->Updating, 0);
    ClickOk();
    const T_DigimodeSettings& s = DigimodeSettings;
    EXPECT_EQ(s.OperMode, c.oper);
    EXPECT_EQ(s.Modulation, c.modulation);
    EXPECT_EQ(s.CodesetNr, c.codeset);
    EXPECT_EQ(s.pulse_shaping, c.pulse);
    EXPECT_EQ(s.symbol_rate, c.rate);
    EXPECT_EQ(s.shape_percent, c.shaping);
    EXPECT_EQ(s.output_level, c.output);
    EXPECT_EQ(s.squelch_thrsh, c.squelch);
    EXPECT_EQ(s.f_shift, c.shift);
    EXPECT_EQ(bool(s.use_afc), c.afc);
    EXPECT_FALSE(s.narrow_afc);
    EXPECT_EQ(s.fc_rx, 1500.0);
    EXPECT_EQ(s.fc_tx, 1600.0);
    EXPECT_EQ(s.ScopeMode, 4);  // not part of any preset
  }
}

TEST_F(TerminalDialogTest, CodeSetFollowsAModulationChosenByHandButNotWhileUpdating)
{
  auto* mod = Find<QComboBox>("Combo_ModType");
  auto* code = Find<QComboBox>("Combo_CodeSet");
  struct Case {
    int codeBefore, modulation, codeAfter;
  };
  const Case cases[] = {
      {3, 5, 3}, {4, 5, 4}, {2, 5, 2}, {5, 5, 2}, {0, 5, 2},  // FSK keeps Baudot and ASCII
      {5, 2, 1}, {3, 2, 1},                                   // CW / OOK: Morse
      {5, 8, 5}, {3, 8, 5},                                   // BPSK: Varicode
      {2, 9, 5},                                              // QPSK: Varicode
      {3, 7, 3}, {2, 13, 2}, {4, 0, 4},                       // others: unchanged
  };
  for (const Case& c : cases) {
    mod->setCurrentIndex(c.modulation == 1 ? 0 : 1);
    code->setCurrentIndex(c.codeBefore);
    mod->setCurrentIndex(c.modulation);
    EXPECT_EQ(code->currentIndex(), c.codeAfter) << c.codeBefore << " " << c.modulation;
  }
  // While the dialog fills its controls (a preset, or before it is first shown) nothing follows.
  dlg->Updating = 1;
  mod->setCurrentIndex(0);
  code->setCurrentIndex(5);
  mod->setCurrentIndex(5);
  EXPECT_EQ(code->currentIndex(), 5);
  dlg->Updating = 0;
  // RTTY keeps the code set the preset writes after the modulation: Baudot.
  mod->setCurrentIndex(8);
  code->setCurrentIndex(3);
  dlg->Mnu_RTTYClick();
  EXPECT_EQ(code->currentIndex(), 2);
}

TEST_F(TerminalDialogTest, UnreadableNumbersKeepTheOldValues)
{
  DigimodeSettings.symbol_rate = 31.25;
  DigimodeSettings.squelch_thrsh = 25;
  dlg->hide();
  dlg->show();
  const std::string before = Snapshot();
  const char* edits[] = {"Ed_Fcenter_RX", "Ed_Fcenter_TX", "Ed_ShiftFreq",      "Ed_SymbolRate",
                         "Ed_SymShapingTime", "Ed_ModOutputLevel", "Ed_DetSquelchLevel", "Ed_AfcTuneRange"};
  for (const char* e : edits) Find<QLineEdit>(e)->setText("abc");
  ClickOk();
  EXPECT_EQ(Snapshot(), before);
  // A number with text after it is refused too; blanks around a number are not.
  dlg->show();
  Find<QLineEdit>("Ed_DetSquelchLevel")->setText("40 %");
  Find<QLineEdit>("Ed_SymbolRate")->setText("45.5 Bd");
  Find<QLineEdit>("Ed_Fcenter_TX")->setText(" 1750.5 ");
  Find<QLineEdit>("Ed_ShiftFreq")->setText("1e3");
  ClickOk();
  EXPECT_EQ(DigimodeSettings.squelch_thrsh, 25);
  EXPECT_EQ(DigimodeSettings.symbol_rate, 31.25);
  EXPECT_EQ(DigimodeSettings.fc_tx, 1750.5);
  EXPECT_EQ(DigimodeSettings.f_shift, 1000.0);
  dlg->show();
  Find<QLineEdit>("Ed_DetSquelchLevel")->setText(" 40 ");
  ClickOk();
  EXPECT_EQ(DigimodeSettings.squelch_thrsh, 40);
}

TEST_F(TerminalDialogTest, CancelAfterAPresetChangesNothing)
{
  const std::string before = Snapshot();
  Preset("PSK 08")->trigger();
  Find<QLineEdit>("Ed_Fcenter_RX")->setText("999");
  Find<QPushButton>("Btn_Cancel")->click();
  EXPECT_EQ(dlg->result(), QDialog::Rejected);
  EXPECT_EQ(Snapshot(), before);
  // The next showing starts again from the record.
  dlg->show();
  EXPECT_EQ(Find<QLineEdit>("Ed_Fcenter_RX")->text(), "1500.0");
  EXPECT_EQ(Find<QLineEdit>("Ed_SymbolRate")->text(), "50.00");
}

TEST_F(TerminalDialogTest, OkBeforeTheFirstShowingDoesNothingAndLongNamesAreCut)
{
  TTerminalDialog fresh;
  EXPECT_EQ(fresh.Updating, 1);
  const std::string before = Snapshot();
  fresh.Btn_OKClick();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(fresh.result(), 0);
  // 200 two-byte characters: the record keeps whole characters within 255 bytes.
  Find<QLineEdit>("Ed_DLL_Name")->setText(QString(200, QChar(0x00E9)));
  ClickOk();
  EXPECT_EQ(std::strlen(DigimodeSettings.name), 254u);
  EXPECT_EQ(QString::fromUtf8(DigimodeSettings.name), QString(127, QChar(0x00E9)));
}

TEST_F(TerminalDialogTest, StatusTextsOfTheNameAndTheUseBox)
{
  SetName("DemoDll.dll");
  dlg->hide();
  dlg->show();
  auto* box = Find<QCheckBox>("Chk_UseDigiDLL");
  box->click();
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(dlg->StatusText(1), "Use DemoDll.dll");
  box->click();
  EXPECT_EQ(dlg->StatusText(1), "Use Vartumo's built-in routines");
  Find<QLineEdit>("Ed_DLL_Name")->setText("other.so");
  dlg->Ed_DLL_NameEnter();
  EXPECT_EQ(dlg->StatusText(1), "other.so");
  dlg->Updating = 1;
  dlg->Chk_UseDigiDLLClick();
  EXPECT_EQ(dlg->StatusText(1), "other.so");
  dlg->Updating = 0;
}

TEST_F(TerminalDialogTest, HelpShowsTopic1350)
{
  uint32_t asked = 0;
  HelpContextHandler old = SetHelpContextHandler([&](uint32_t id) {
    asked = id;
    return true;
  });
  Find<QPushButton>("Btn_Help")->click();
  EXPECT_EQ(asked, 1350u);
  SetHelpContextHandler(old);
}

TEST_F(TerminalDialogTest, PluginTestThroughTheFileDialog)
{
  const std::string math = MathLibraryPath();
  ASSERT_FALSE(math.empty());
  struct Case {
    QString answer;  // empty: cancelled
    const char* panel0;
    QString panel1;
    bool accepted;
  };
  const Case cases[] = {
      {QString(), "", "", false},
      {"/nonexistent/libnothing.so", "Error:", "Couldn't load selected DLL.", false},
      {QString::fromStdString(math), "Error:", "Couldn't find \"GetParamString\" in the DLL.", false},
      {VT_EXAMPLE_PLUGIN_PATH, "DLL ok:", "Example mode plug-in: tone transmitter, fixed-text receiver", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer.toStdString());
    SetName("DemoDll.dll");
    DigimodeSettings.use_it = false;
    dlg->hide();
    dlg->show();
    QString title, filter, preset;
    TDialogHooks::FileDialogHook = [&](bool save, const QString& t, const QString& f, QString& name) {
      EXPECT_FALSE(save);
      title = t;
      filter = f;
      preset = name;
      if (c.answer.isEmpty()) return false;
      name = c.answer;
      return true;
    };
    dlg->SetStatusText(1, "before");
    Find<QPushButton>("Btn_LoadDigiDLL")->click();
    EXPECT_EQ(title, "Load a Digimode Driver DLL");
    EXPECT_EQ(filter, "Digimode plug-ins (*.so)");
    EXPECT_EQ(preset, "DemoDll.dll");
    EXPECT_EQ(dlg->StatusText(0), c.panel0);
    EXPECT_EQ(dlg->StatusText(1), c.panel1);
    EXPECT_EQ(Find<QLineEdit>("Ed_DLL_Name")->text(), c.accepted ? c.answer : QString("DemoDll.dll"));
    EXPECT_EQ(Find<QCheckBox>("Chk_UseDigiDLL")->isChecked(), c.accepted);
  }
  // The test released the library; OK applies the choice to the record only.
  ClickOk();
  EXPECT_STREQ(DigimodeSettings.name, VT_EXAMPLE_PLUGIN_PATH);
  EXPECT_TRUE(DigimodeSettings.use_it);
  EXPECT_FALSE(g_DigimodeDllLoaded.load());
}
