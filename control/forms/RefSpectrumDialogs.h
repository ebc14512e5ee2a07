#pragma once
// The load and save dialogs of the reference spectrum, shared by the configuration dialog's
// reference page and the main window's reference menu items. On OK the chosen name goes into
// SndConfig.SpectrumRefFileName and g_ReferenceSpectrum is read from or written to it; a name
// the settings cannot hold whole (over 255 bytes) is refused, never stored cut short.
// GUI thread only.
#include <QString>

class QWidget;

enum class TRefFileResult {
  Cancelled,    // the user cancelled: nothing changed
  Done,         // read (SndConfig.SpectrumRefVisible = 1) or written
  Failed,       // the file could not be read or written; the name is stored all the same
  NameTooLong,  // refused: nothing changed
};

constexpr int kRefHelpContext = 250;
constexpr int kMaxRefFileNameBytes = 255;

// The file dialogs: title "Load Reference Spectrum" / "Save Reference Spectrum", filter
// "Reference Files (*.ref *.REF)", default suffix "ref", starting at the stored name.
TRefFileResult LoadReferenceSpectrumDialog(QWidget* parent);
TRefFileResult SaveReferenceSpectrumDialog(QWidget* parent);

// The message for a result the user should be told about ("" for Cancelled and Done).
QString RefFileResultMessage(TRefFileResult result, bool save);
