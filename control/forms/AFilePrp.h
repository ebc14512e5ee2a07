#pragma once
// TAudioFilePropFrm: the parameters of an audio file whose header does not carry them all
// (sample rate, channels, bits, frequency offset, recording date and time). The caller fills
// the edits, shows the dialog modally and reads the edits back on OK (result 1); the dialog
// checks nothing itself.
#include <QDialog>

class QLineEdit;
class QPushButton;

class TAudioFilePropFrm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HELP_CONTEXT = 1400;

  explicit TAudioFilePropFrm(QWidget* parent = nullptr);

  int HelpContext() const { return m_helpContext; }

  QLineEdit* Ed_SampleRate;
  QLineEdit* Ed_NrChannels;
  QLineEdit* Ed_BitsPerSample;
  QLineEdit* Ed_FreqOffset;
  QLineEdit* Ed_Date;
  QLineEdit* Ed_Time;
  QPushButton* BitBtn1;  // OK: result 1
  QPushButton* BitBtn2;  // Cancel: result 2
  QPushButton* BitBtn3;  // Help

private:
  int m_helpContext = HELP_CONTEXT;
};

extern TAudioFilePropFrm* AudioFilePropFrm;
