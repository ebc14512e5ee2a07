#include "engine/forms/HelpHook.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>
#include <utility>

namespace {
HelpContextHandler& Handler()
{
  static HelpContextHandler handler;
  return handler;
}
}  // namespace

HelpContextHandler SetHelpContextHandler(HelpContextHandler handler)
{
  return std::exchange(Handler(), std::move(handler));
}

bool ShowHelpContext(uint32_t context)
{
  const HelpContextHandler& h = Handler();
  return h ? h(context) : false;
}

void InstallHelpShortcut(QWidget* window, uint32_t context)
{
  auto* sc = new QShortcut(QKeySequence(Qt::Key_F1), window);
  sc->setContext(Qt::WindowShortcut);
  QObject::connect(sc, &QShortcut::activated, window, [context] { ShowHelpContext(context); });
}
