#pragma once
// Lets the Qt event loop serve TThread::Synchronize() calls: the GUI thread becomes the main
// thread, and every queued call posts an event to the application object that runs
// CheckSynchronize() on the GUI thread. Call InstallQtSyncBridge() on the GUI thread after
// the QCoreApplication / QApplication exists, and RemoveQtSyncBridge() before it goes.
void InstallQtSyncBridge();
void RemoveQtSyncBridge();
