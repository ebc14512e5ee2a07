#pragma once
// The help: HTML pages in the directory "html/" beside the program, one page per topic, opened
// by context number in the desktop's web browser (QDesktopServices::openUrl on the local file,
// with the topic's anchor as the URL fragment; no command line is built). GUI thread only.
#include <QUrl>
#include <cstdint>
#include <functional>
#include <string>

class QWidget;

struct THelpTopic {
  uint32_t id;       // context number, > 0; 0 ends a table
  char file[81];     // page in the help directory
  char anchor[83];   // fragment within the page, may be empty
};

// The built-in table of the 47 topics, ascending by id, ended by a record with id 0.
extern const THelpTopic g_HelpTopics[];

// Stores the directory (a '/' is appended when it is not empty and lacks one), the owner
// window and the table (nullptr: help is off). True when a table was given.
bool HelpBrowser_Init(QWidget* owner, const std::string& helpDirectory, const THelpTopic* table);

// Opens the page of the context number. False when help is off, the number is not in the
// table or opening failed (HelpBrowser_LastFailure tells why). Failures are silent.
bool HelpBrowser_ShowContext(uint32_t id);

// Opens file (in the help directory) at the anchor (ignored when its first character is a
// blank or control character). A file that does not exist is refused.
bool HelpBrowser_ShowFile(const char* file, const char* anchor);

// The full name of the page of the context number (help directory + file); empty when help is
// off or the number is not in the table.
std::string HelpBrowser_PagePath(uint32_t id);

// The help directory as stored (ends in '/' unless empty).
const std::string& HelpBrowser_Directory();

// Text of the last failure ("not initialized" until one happens).
const std::string& HelpBrowser_LastFailure();

// Stores the text of a failure code as the last failure (2 file not found, 3 path not found,
// 5 access denied, 31 no application for the file type, ...; unknown codes get a generic text).
void ShellExecuteErrorText(int code);

// Opens a URL; returns true on success. The default is QDesktopServices::openUrl; tests install
// their own. An empty function restores the default.
using HelpUrlHandler = std::function<bool(const QUrl&)>;
void HelpBrowser_SetUrlHandler(HelpUrlHandler handler);
