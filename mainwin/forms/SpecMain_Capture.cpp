// Display captures to BMP or JPEG files, the interpreter's captioned waterfall capture and the
// image viewer's menu commands.
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <cmath>

#include "engine/DebugU1.h"
#include "engine/PreciseClock.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/TimeUtils.h"
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "imaging/forms/PicViewForm.h"
#include "imaging/forms/SaveImage.h"
#include "interp/CmdWinMsg.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"
#include "platform/IniFile.h"

namespace {

constexpr uint32_t kImageViewerHelpContext = 1850;
const char* const kImageFilter = "JPEG files (*.jpg *.JPG);;Bitmap files (*.bmp *.BMP)";

// The last error the image writer logged (shown by the menu commands).
std::string g_LastImageError;

bool HasExtension(const QString& name, const char* ext)
{
  return name.endsWith(QString(ext), Qt::CaseInsensitive);
}

}  // namespace

void TSndMainForm::InstallImageFileLog()
{
  SetImageFileLog([](int level, const std::string& text) {
    g_LastImageError = text;
    DebugPrintf(level, GetPreciseUnixTime(true), "%s", text.c_str());
  });
}

bool TSndMainForm::SaveImageDialog(const QString& what, std::string& name)
{
  QString proposed = QString::fromLocal8Bit(name.c_str());
  const bool bmp = HasExtension(proposed, ".bmp");
  if (bmp || HasExtension(proposed, ".jpg")) proposed.chop(4);
  const QString title = "Save " + what + " as File (BMP or JPG)";
  if (!AskFileName(this, true, title, kImageFilter, proposed, bmp ? "bmp" : "jpg")) return false;
  name = proposed.toLocal8Bit().toStdString();
  return true;
}

bool TSndMainForm::SaveImageOrTell(const std::string& fileName, const QImage& bitmap)
{
  g_LastImageError.clear();
  if (SaveBitmapToImageFile(fileName.c_str(), bitmap)) return true;
  ShowMessage(QString::fromStdString(g_LastImageError.empty() ? "Could not save \"" + fileName + "\""
                                                              : g_LastImageError));
  return false;
}

void TSndMainForm::SavePictureAsFile(const QString& what, bool& busy, std::string& lastName,
                                     const QImage& picture)
{
  busy = true;  // the display leaves the picture alone while the dialog is open
  std::string name = lastName;
  if (SaveImageDialog(what, name)) {
    lastName = name;
    SaveImageOrTell(name, picture);
  }
  busy = false;
}

void TSndMainForm::SaveSpectrumAsFileClick()
{
  SavePictureAsFile("Spectrum Plot", Disp.GraphBusy, SpectrumCaptureName,
                    Img_SpectrumPlot->Picture);
}

void TSndMainForm::SaveWaterfallasFileClick()
{
  SavePictureAsFile("Waterfall", Disp.SavingWaterfall, WaterfallCaptureName,
                    Img_Waterfall->Picture);
}

void TSndMainForm::SaveSpectrumAndWaterfallClick()
{
  std::string name = WaterfallCaptureName;
  if (!SaveImageDialog("Spectrum+Waterfall", name)) return;
  WaterfallCaptureName = name;
  SaveDisplayAsImage(name);
}

QImage TSndMainForm::ComposeDisplayBitmap() const
{
  QImage all(Grp_Spectra->size(), Img_Waterfall->Picture.format());
  all.fill(Qt::black);
  QPainter p(&all);
  const QPoint origin = Img_SpectrumPlot->pos();
  for (const TSpecImage* img : {Img_SpectrumPlot, Img_FreqScale1, Img_Waterfall})
    if (!img->Picture.isNull()) p.drawImage(img->pos() - origin, img->Picture);
  return all;
}

bool TSndMainForm::SaveDisplayAsImage(const std::string& fileName)
{
  return SaveImageOrTell(fileName, ComposeDisplayBitmap());
}

bool TSndMainForm::ComposeCaptureBitmap(const std::string& fileName)
{
  QImage& bitmap = Img_Waterfall->Picture;
  const double now = LoopHost->PreciseUnixTime();
  const int t = static_cast<int>(std::trunc(now));
  if (SndConfig.WaterFreqGrid)
    DrawFrequencyScale(bitmap, true, true, -2, -1, SndConfig.WaterGridColor);
  const int options = SndConfig.CaptureOptions;
  if ((options & 3) && !bitmap.isNull()) {
    QPainter p(&bitmap);
    p.setPen(ColorRefToQColor(SndConfig.WaterGridColor));
    p.setBrush(ColorRefToQColor(SndConfig.WaterGridColor));
    QFont font("Courier New");
    font.setPointSize(8);
    p.setFont(font);
    p.setPen(ColorRefToQColor(SndConfig.WaterLabelTextColor));
    const int lineHeight = p.fontMetrics().height();
    int y = 0;
    auto line = [&](const QString& text) {
      p.drawText(QRect(0, y, bitmap.width(), lineHeight), Qt::AlignLeft | Qt::AlignTop, text);
      y += lineHeight;
    };
    if (options & 1) {
      char date[DATE_TEXT_SIZE], tod[TIME_OF_DAY_TEXT_SIZE];
      // The same separators as the waterfall's own time labels.
      DateToString(t, date, '-');
      TimeOfDayToString(t % 86400, tod, ':');
      line(QString("%1 %2").arg(date, tod));
    }
    if (options & 2)
      line(QString("%1..%2 Hz")
               .arg(std::lround(SndConfig.FreqMin.load()))
               .arg(std::lround(SndConfig.FreqMax.load())));
  }
  Img_Waterfall->update();
  const bool ok = SaveBitmapToImageFile(fileName.c_str(), bitmap) != 0;
  // Told only for a file written: a failure has its own error text from the capture word.
  if (ok && (SndConfig.MsgDisplay & MSGDISP_FILE_ACTIONS))
    CmdWin_AddTimedMessage(5, CMDWIN_MSG_INFO, ("Captured Screen as \"" + fileName + "\"").c_str());
  return ok;
}

double TSndMainForm::CaptureClock() { return LoopHost->PreciseUnixTime(); }

void TSndMainForm::ShowCaptureIndicator(const std::string& caption)
{
  if (Lab_Capture) Lab_Capture->setText(QString::fromStdString(caption));
}

void TSndMainForm::Menu_ImageViewerClick()
{
  if (!PicViewFrm) return;
  QStringList files;
  if (!AskFileNames(this, "Select image(s) to display, CTRL key for multi-select", kImageFilter,
                    files, QString(), kImageViewerHelpContext))
    return;
  if (!PicViewFrm->isVisible()) {
    // The viewer opens where it was when the program last closed.
    IniFile ini(UserSettingsFullPath());
    ReadFormBounds(PicViewFrm, ini, kPicViewSection, true);
  }
  PicViewFrm->ShowFiles(files);
  // Opened again it may lie behind the main window or be minimised.
  BringWindowToFront(PicViewFrm);
  Menu_ConvertImage->setEnabled(true);
}

void TSndMainForm::Menu_ConvertImageClick()
{
  if (!PicViewFrm) return;
  const QImage& picture = PicViewFrm->GetPictureBitmap();
  if (picture.isNull()) {
    ShowMessage("No image loaded: nothing to convert.");
    return;
  }
  std::string name = PicViewFrm->GetPictureFileName().toLocal8Bit().toStdString();
  // The dialog's title wraps the text as "Save ... as File (BMP or JPG)".
  if (!SaveImageDialog("loaded image", name)) return;
  SaveImageOrTell(name, picture);
}
