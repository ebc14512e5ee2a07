#include "platform/QtSyncBridge.h"

#include "platform/Threads.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

void InstallQtSyncBridge()
{
  SetMainThread();
  QPointer<QCoreApplication> app = QCoreApplication::instance();
  SetSynchronizeWakeup([app] {
    // Called from the worker: a queued call runs on the application object's (GUI) thread.
    if (QCoreApplication* a = app.data())
      QMetaObject::invokeMethod(a, [] { CheckSynchronize(0); }, Qt::QueuedConnection);
  });
}

void RemoveQtSyncBridge() { SetSynchronizeWakeup({}); }
