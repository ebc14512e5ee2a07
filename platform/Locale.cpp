#include "platform/Locale.h"

#include <clocale>

void SetNumericLocaleC() { std::setlocale(LC_NUMERIC, "C"); }
