#pragma once
// Drawing helpers shared by the windows: text drawn at an angle and the colour conversion, both
// below every window (engine/forms).
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/RotatedText.h"
#include <QColor>
#include <QString>
#include <cstdint>
