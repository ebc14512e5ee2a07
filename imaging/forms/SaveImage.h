#pragma once
// The program's one writer of image files (display captures, the image converter).
#include <QImage>

#include <functional>
#include <string>

// Saves `bitmap` as BMP (".bmp") or JPEG (".jpg", ".jpeg"), chosen by the extension of the
// file name (the text from the last "." of the name's last path component, any case).
// Returns 1 on success, 0 on failure; failures are logged, never thrown:
//   no extension:    "Error: No extension in \"<name>\""
//   other extension: "Error encoding image: Extension \"<ext>\" unknown/unsupported !"
//   encoder failure: "Error #<code> encoding BMP: <text>" / "... encoding JPEG: ..."
// A failed save leaves an existing file of that name untouched.
int SaveBitmapToImageFile(const char* fileName, const QImage& bitmap);

// Where SaveBitmapToImageFile logs (level 20 for errors). The main window routes it into
// the debug window; until it is set, messages go to stderr.
using ImageLogFunc = std::function<void(int level, const std::string& text)>;
void SetImageFileLog(ImageLogFunc log);
