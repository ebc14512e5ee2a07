#pragma once
// The window "Digimode Terminal": received text, text to transmit, the tuning scope, receive
// and transmit frequency, squelch, AFC and the RX/TX/OFF control of the digimode engine. A
// 200 ms timer moves received characters into the window, feeds the typed text (or, in the
// Hellschreiber mode, the transmit image's pixel columns) into the engine as fast as it takes
// them, redraws the scope and keeps the indicators current. One instance (TerminalForm),
// created at start; GUI thread only. It talks to the engine only through its operations,
// rings and shared blocks (digimode/DigimodeEngine.h, digimode/DigimodeShared.h).
//
// Text: typed characters go out as Latin-1 bytes (others as '?'), a line break as CR LF;
// received bytes show as Latin-1, a CR starts a new line (LF is ignored), a backspace removes
// the last character (a line break counting as one).
#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSpinBox;
class QSplitter;
class QTextEdit;
class QTimer;
class THellTxImage;

// The round station lamp inside the RX/TX/OFF panel.
class TLampShape : public QWidget {
public:
  explicit TLampShape(QWidget* parent = nullptr);
  void SetColor(const QColor& c);
  const QColor& Color() const { return m_Color; }

protected:
  void paintEvent(QPaintEvent* e) override;

private:
  QColor m_Color{0, 255, 0};
};

class TTerminalForm : public QWidget {
  Q_OBJECT
public:
  static constexpr uint32_t HELP_CONTEXT = 1300;
  static constexpr uint32_t HELP_CONTEXT_SCOPE = 1310;

  explicit TTerminalForm(QWidget* parent = nullptr);
  ~TTerminalForm() override;

  void FormCreate();
  void FormShow();
  void FormClose();
  void Timer1Timer();

  // Transmit path.
  bool PutTxChar(int c);  // c: one byte 0..255
  bool IsTxBufferFull();
  void ClearTxBuffers();
  void FeedTxText();
  void ResetTxTextColour();
  // Receive path (c taken as an unsigned byte).
  void AppendRxChar(int c);
  void ShowDigimodeDLLStatus();
  void ShowRxFrequency();
  void UpdateSquelchDisplay();
  void DrawTuningScope();
  // Hellschreiber transmit image.
  void PrepareHellFont();
  void ClearHellTxImage();
  void SendHellColumns();
  // DIGIMODE.INI (a relative name is taken from the current directory).
  void LoadSettings(const QString& fileName);
  void SaveSettings(const QString& fileName);

  // Event handlers.
  void Pnl_RxTxOffClick();
  void Shp_RxTxLedMouseDown();
  void Pnl_SquelchMouseDown(int y);
  void Ed_Fcenter_RXChange();
  void Ed_Fcenter_TXChange();
  void Chk_AFCClick();
  // Backspace in the transmit editor, before the editor deletes.
  void RichEd_TransmitKeyDown(int key);
  void LoadTxText1Click();
  void SaveRxText1Click();
  void Menu_CloseClick();
  void ClearTxBufferClick();
  void SetTxPosToCursorClick();
  void Menu_DigimodeConfigurationClick();
  void SelectHELLfontClick();
  void About1Click();
  void Index1Click();
  void DebugInfo1Click();
  void Pop_TuningScopePopup();
  void ScopeModeClick(int mode);
  void Pop_ScopeHelpClick();

  // Text of the receive and transmit editors as shown (line breaks as '\n').
  QString ReceivedText() const;
  QString TransmitText() const;
  // Colour of the transmit text's character at pos.
  QColor TransmitTextColour(int pos) const;

  const QColor& LedColor() const;
  QString PanelCaption() const;
  const QImage& ScopeImage() const { return m_ScopeImage; }

  QMenuBar* MainMenu1;
  QGroupBox* Grp_Tuning;
  QLabel* Img_TuningScope;
  QMenu* Pop_TuningScope;
  QAction* Pop_ScopeXY;
  QAction* Pop_ScopeUt;
  QAction* Pop_ScopePhaseVectors;
  QAction* Pop_ScopePhaseTime;
  QAction* Pop_ScopeHelp;
  QLabel* Label1;
  QLineEdit* Ed_Fcenter_RX;
  QSpinBox* Ud_Fcenter_Rx;
  QLabel* Label2;
  QLineEdit* Ed_Fcenter_TX;
  QSpinBox* Ud_Fcenter_Tx;
  QLabel* Pnl_RxTxOff;
  TLampShape* Shp_RxTxLed;
  QWidget* Pnl_Squelch;
  QWidget* Shp_Squelch;
  QWidget* Shp_SqlThrsh;
  QCheckBox* Chk_AFC;
  QSplitter* Splitter1;
  QWidget* ScrollBox1;
  QGroupBox* Grp_Receive;
  QTextEdit* RichEd_Receive;
  QSplitter* Splitter2;
  QGroupBox* Grp_Transmit;
  QLabel* Lab_TxMsg;
  THellTxImage* Img_HellTx;
  QTextEdit* RichEd_Transmit;
  QTimer* Timer1;

  QAction* LoadTxText1;
  QAction* SaveRxText1;
  QAction* Menu_Close;
  QAction* ClearTxBuffer;
  QAction* SetTxPosToCursor;
  QAction* Menu_DigimodeConfiguration;
  QAction* SelectHELLfont;
  QAction* About1;
  QAction* Index1;
  QAction* DebugInfo1;

  int Initialised = 0;
  int UpdateCount = 0;  // > 0 while the window writes its own frequency, AFC and squelch controls
  int ShownSquelchLevel = 0;
  int ShownSquelchThreshold = 0;
  double ShownRxFreq = 0.0;
  double ShownTxFreq = 0.0;
  QString TxFileName = "test.txt";
  QString RxFileName = "rcvd.txt";
  int PendingBackspaces = 0;
  int TxPosition = 0;  // characters at the start of the transmit text handed to the engine

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void BuildTuningColumn();
  void BuildTextColumn();
  void BuildMenus();
  void AddRxLine(const QString& line);
  void SetLamp(const QString& caption, uint32_t colorRef);
  void SetFreqEdit(QLineEdit* edit, QSpinBox* updown, double f);
  bool PutTxTextChar(QChar ch);
  void ColourTxRange(int from, int to, const QColor& c);
  void TxContentsChange(int pos, int removed, int added);
  void ShowMessage(const QString& text);
  QString SettingsPath(const QString& fileName) const;

  QImage m_ScopeImage;
  int m_TuWidth = 117;
  int m_RxHeight = 130;
  // State kept across timer ticks.
  int m_LastSampleRate = 0;
  int m_LastOperMode = -1;
  int m_ScopeCountdown = 0;
  int m_ShownTxState = -1;
  int m_ShownTxRequest = -1;
  int m_ShownSwitchRequest = -1;
  bool m_Colouring = false;
};

extern TTerminalForm* TerminalForm;
