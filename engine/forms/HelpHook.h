#pragma once
// The help seam for windows below the main window: F1 and the Help buttons of any window call
// ShowHelpContext, which the main window routes to its help browser at start-up (tests install
// their own handler to see the context asked for). GUI thread only.
#include <cstdint>
#include <functional>

class QWidget;

using HelpContextHandler = std::function<bool(uint32_t context)>;

// Installs the handler (an empty one turns help off) and returns the one it replaced.
HelpContextHandler SetHelpContextHandler(HelpContextHandler handler);

// Shows the help page of the context number; false when no handler is installed or it failed.
bool ShowHelpContext(uint32_t context);

// Makes F1 in the window (and its children) show the context.
void InstallHelpShortcut(QWidget* window, uint32_t context);
