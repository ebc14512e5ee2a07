#include "digimode/forms/TuningScope.h"

#include <QImage>

// Placeholder until the scope drawing lands: draws nothing and leaves the buffer alone.
bool DrawTuningScopeImage(QImage& target, int& updateCount) {
  (void)target;
  (void)updateCount;
  return false;
}
