#include "control/forms/RefSpectrumDialogs.h"

#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "interp/CliSpectrum.h"

namespace {

const char* const kFilter = "Reference Files (*.ref *.REF)";
// F1 in the load and save dialogs shows the reference spectrum topic.
constexpr uint32_t kRefFileHelpContext = 250;

// Asks the name and stores it; false when cancelled or refused (result tells which).
bool AskAndStoreName(QWidget* parent, bool save, QByteArray* name, TRefFileResult* result)
{
  QString chosen = QString::fromLocal8Bit(SndConfig.SpectrumRefFileName);
  const char* title = save ? "Save Reference Spectrum" : "Load Reference Spectrum";
  if (!AskFileName(parent, save, title, kFilter, chosen, "ref", kRefFileHelpContext)) {
    *result = TRefFileResult::Cancelled;
    return false;
  }
  *name = chosen.toLocal8Bit();
  if (name->size() > kMaxRefFileNameBytes) {
    *result = TRefFileResult::NameTooLong;
    return false;
  }
  SettingsCopyText(SndConfig.SpectrumRefFileName, name->constData());
  return true;
}

}  // namespace

TRefFileResult LoadReferenceSpectrumDialog(QWidget* parent)
{
  QByteArray name;
  TRefFileResult result;
  if (!AskAndStoreName(parent, false, &name, &result)) return result;
  if (!CLI_LoadSpectrumFile(name.constData(), &g_ReferenceSpectrum)) return TRefFileResult::Failed;
  SndConfig.SpectrumRefVisible = 1;
  return TRefFileResult::Done;
}

TRefFileResult SaveReferenceSpectrumDialog(QWidget* parent)
{
  QByteArray name;
  TRefFileResult result;
  if (!AskAndStoreName(parent, true, &name, &result)) return result;
  if (!CLI_SaveSpectrumFile(name.constData(), &g_ReferenceSpectrum)) return TRefFileResult::Failed;
  return TRefFileResult::Done;
}

QString RefFileResultMessage(TRefFileResult result, bool save)
{
  switch (result) {
    case TRefFileResult::Failed:
      return save ? QString("Error: could not write the reference file \"%1\" !")
                        .arg(QString::fromLocal8Bit(SndConfig.SpectrumRefFileName))
                  : QString("Error: could not read the reference file \"%1\" !")
                        .arg(QString::fromLocal8Bit(SndConfig.SpectrumRefFileName));
    case TRefFileResult::NameTooLong:
      return QString("Error: the file name is longer than %1 characters, not taken !")
          .arg(kMaxRefFileNameBytes);
    default:
      return QString();
  }
}
