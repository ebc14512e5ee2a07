#pragma once
// Number text never follows the user's locale. Qt's application object calls
// setlocale(LC_ALL, ""), which would make printf-style formatting and strtod use the user's
// decimal separator (a comma in German); the program calls this right after creating it.
// Everything else of the user's locale (messages, character classes, collation) stays.
void SetNumericLocaleC();
