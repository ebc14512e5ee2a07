#include "mainwin/forms/WaveFileDialogs.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <memory>

#include "control/forms/AFilePrp.h"
#include "engine/forms/DialogHooks.h"
#include "control/forms/YesNoDlg.h"
#include "platform/NumText.h"

const QString CQtWaveFileHost::WaveFilter = "Wave files (*.wav *.WAV)";

bool CQtWaveFileHost::AskFileName(bool save, const char* title, std::string& name) {
  QString chosen = QString::fromStdString(name);
  if (!::AskFileName(m_Parent, save, QString::fromUtf8(title), WaveFilter, chosen, "wav"))
    return false;
  name = chosen.toStdString();
  return true;
}

bool CQtWaveFileHost::AskOpenFileName(const char* title, std::string& name) {
  return AskFileName(false, title, name);
}

bool CQtWaveFileHost::AskSaveFileName(const char* title, std::string& name) {
  return AskFileName(true, title, name);
}

bool CQtWaveFileHost::AskAudioFileProperties(AudioFileParams& p) {
  std::unique_ptr<TAudioFilePropFrm> own;
  TAudioFilePropFrm* dlg = AudioFilePropFrm;
  if (!dlg) {
    own = std::make_unique<TAudioFilePropFrm>(m_Parent);
    dlg = own.get();
  }
  dlg->Ed_SampleRate->setText(QString::fromStdString(FormatFloat("0.0#", p.SampleRate)));
  dlg->Ed_NrChannels->setText(QString::number(p.NrChannels));
  dlg->Ed_BitsPerSample->setText(QString::number(p.BitsPerSample));
  dlg->Ed_FreqOffset->setText(QString::fromStdString(FormatFloat("0.0#", p.FreqOffset)));
  if (ExecDialog(dlg) != 1) return false;
  // Text that does not convert keeps the old value. Rate and offset are shown with decimals,
  // so they are read back with decimals too.
  p.SampleRate = StrToFloatDef(dlg->Ed_SampleRate->text().trimmed().toStdString(), p.SampleRate);
  p.NrChannels = StrToIntDef(dlg->Ed_NrChannels->text().trimmed().toStdString(), p.NrChannels);
  p.BitsPerSample =
      StrToIntDef(dlg->Ed_BitsPerSample->text().trimmed().toStdString(), p.BitsPerSample);
  p.FreqOffset = StrToFloatDef(dlg->Ed_FreqOffset->text().trimmed().toStdString(), p.FreqOffset);
  return true;
}

int CQtWaveFileHost::AskYesNo(const char* caption, const char* text) {
  std::unique_ptr<TYesNoForm> own;
  TYesNoForm* dlg = YesNoForm;
  if (!dlg) {
    own = std::make_unique<TYesNoForm>(m_Parent);
    dlg = own.get();
  }
  dlg->setWindowTitle(QString::fromUtf8(caption));
  dlg->Memo->setPlainText(QString::fromUtf8(text));
  const int r = ExecDialog(dlg);
  return r == TYesNoForm::mrYes ? WAVE_ANSWER_YES
                                : (r == TYesNoForm::mrNo ? WAVE_ANSWER_NO : WAVE_ANSWER_CANCEL);
}

void CQtWaveFileHost::ShowMessage(const char* text) {
  QString t = QString::fromUtf8(text);
  t.replace("\r\n", "\n").replace('\r', '\n');
  if (OnMessage) {
    OnMessage(t);
    return;
  }
  // Over the window the user works in, so the box is never hidden under a tool window.
  QWidget* active = QApplication::activeWindow();
  QMessageBox::warning(active ? active : m_Parent, "Vartumo", t);
}

void CQtWaveFileHost::Log(int level, const char* text) {
  if (OnLog) OnLog(level, QString::fromUtf8(text));
}

void CQtWaveFileHost::SetLogMenuCaption(const char* text) {
  if (OnLogMenuCaption) OnLogMenuCaption(QString::fromUtf8(text));
}
