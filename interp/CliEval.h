#pragma once
// The interpreter's expression evaluator: a recursive-descent parser that works directly on
// the text at one global parse position. GUI thread only.
//
// Every entry returns 0 for success or one of the negative CLI_ERR_ codes below, unless it
// says otherwise. Object-word handlers of other subsystems read their words at
// g_CliParsePtr and advance it past what they consume (see CliCommands.h).

// Source numbers: who started an evaluation. They tag messages and are passed on to the
// object-word handlers; they select nothing inside the evaluator.
enum : int {
  CLI_SRC_WAVE = 1,      // wave-file recording word
  CLI_SRC_CMDWIN = 2,    // command window, periodic and scheduled macros, their test button
  CLI_SRC_EXPORT = 3,    // text export
  CLI_SRC_DISPLAY = 4,   // display expressions (frequency limits, dB offset, config preview)
  CLI_SRC_CAPTURE = 5,   // screen capture, trace lines of periodic and scheduled actions
  CLI_SRC_DIGIMODE = 6,  // digimode terminal
  CLI_SRC_MARKER = 7,    // frequency markers
  CLI_SRC_WATCH = 8,     // watch list and plotter
};

// Result codes. Codes without a text of their own (-2, -8, -9, -12, ...) print as
// "unknown CLI error code %d".
enum : int {
  CLI_OK = 0,
  CLI_ERR_SYNTAX = -1,             // "syntax error"
  CLI_ERR_UNKNOWN_FUNCTION = -2,   // lowercase word that is no function word
  CLI_ERR_FAILED = -3,             // "function failed"
  CLI_ERR_UNKNOWN_COMMAND = -4,    // "command unknown"
  CLI_ERR_ARG_MISSING = -5,        // "argument missing"
  CLI_ERR_ILLEGAL_VALUE = -6,      // "illegal argument value"
  CLI_ERR_PARENTHESIS = -7,        // "parenthesis missing"
  CLI_ERR_BRACKET = -8,            // a missing ']' (object-word handlers)
  CLI_ERR_BAD_INDEX = -9,          // a bad index (object-word handlers)
  CLI_ERR_VAR_NOT_FOUND = -10,     // "CLI variable not found"
  CLI_ERR_OUT_OF_MEMORY = -11,     // "out of CLI memory" (assignments: no user variables)
  CLI_ERR_DIV_BY_ZERO = -12,       // division by exactly 0
  CLI_ERR_TYPE_CONFLICT = -14,     // "CLI type conflict"
  CLI_ERR_STRING_EXPECTED = -15,   // "string expected"
  CLI_ERR_STRING_TOO_LONG = -16,   // "string too long"
  CLI_ERR_EXEC_FAILED = -17,       // "exec failed"
  CLI_ERR_STACK_DEPTH = -18,       // "stackdepth exceeded"
  CLI_ERR_BAD_FORMAT = -19,        // "bad format string"
  CLI_ERR_FREQ_RANGE = -20,        // "bad frequency range"
};

// g_CliResultType values.
enum : int { CLI_TYPE_NONE = 0, CLI_TYPE_NUMBER = 1, CLI_TYPE_STRING = 2 };

constexpr int CLI_MAX_NESTING = 20;         // numeric evaluations: at most 21 open at once
constexpr int CLI_MAX_STRING_NESTING = 5;   // string evaluations refused above this depth
constexpr int CLI_STRING_RESULT_MAX = 255;  // characters of g_CliStringResult
constexpr double CLI_INVALID_VALUE = 1e300; // "no value" of CLI_CalcExpression2 and the level functions

// ---- Interpreter state (cleared by CLI_Init) ----
extern const char* g_CliParsePtr;   // current parse position
extern int g_CliNestingDepth;       // evaluations open now (numeric and string share it)
extern int g_CliResultType;         // type of the last value produced (CLI_TYPE_...)
extern char g_CliStringResult[256]; // text of an object word that yields a string
extern char g_CliErrorText[256];    // extra text of the last failure ("" when none)
extern double g_CliArgX, g_CliArgY, g_CliArgZ;  // values of the words x, y, z

// ---- Parse routines shared with every object-word handler ----
void CLI_SkipSpaces();               // skips ' ' only (not tabs)
bool CLI_SkipComma();                // skips blanks, then ',' and the blanks after it: true
bool CLI_CheckAndSkipChar(char c);   // skips blanks; consumes c and returns true if it is next

// One numeric expression at g_CliParsePtr; the position is left behind it. The value is
// stored only on success (and only when a number was produced). -18 past the nesting limit.
int CLI_EvalExpression(int source, double* result);
// One operand. result == nullptr: string context (an object word may yield text in
// g_CliStringResult with g_CliResultType == CLI_TYPE_STRING). With a result pointer the
// value is always defined after a successful call (0 for a word that yields no number).
int CLI_EvalFactor(int source, double* result);
// A string expression ('+'-joined literals, str(...), object words yielding text) into
// dest (maxLen characters plus terminator). Returns the length or a negative code
// (-16 when the text is longer than maxLen characters; dest then holds its first maxLen).
int CLI_EvalStringExpression(int source, char* dest, int maxLen);
// One operand of a string expression; returns its length or a negative code.
int CLI_EvalStringFactor(int source, char* dest, int maxLen);
// A double-quoted literal (no escapes) at the parse position; returns its length or -15.
int CLI_ParseStringLiteral(char* dest, int maxLen);

// Evaluate a whole text with x (and y, z = y) set; the parse position is saved and restored.
// Text after the expression is ignored. On any error CLI_CalcExpression returns x and
// CLI_CalcExpression2 returns CLI_INVALID_VALUE (1e300).
double CLI_CalcExpression(int source, const char* text, double x);
// With rc given, *rc receives the evaluator's result code (0 or a negative CLI_ERR_ code).
double CLI_CalcExpression2(int source, const char* text, double x, double y, int* rc = nullptr);

// A number by the language's syntax (sign, "$"/"0x" hex, "#" decimal, "%" binary, decimal
// with fraction and exponent; no unit suffix) at *text, which is advanced. Text without
// digits gives 0. g_CliParsePtr is not touched.
double CLI_ParseNumberAt(const char** text);

// The error text of a code; unknown codes give "unknown CLI error code %d" in a static
// buffer that the next such call overwrites.
const char* CLI_ErrorCodeToString(int code);

// Format kinds of CLI_GetFormatKind.
enum : int { CLI_FMT_DEFAULT = 0, CLI_FMT_NUMERIC = 1, CLI_FMT_DATETIME = 2 };
int CLI_GetFormatKind(const char* format);
// value by format (number pattern, '+' forced sign, date/time pattern on Unix seconds,
// default "##0.#") into dest, cut to maxLen characters; returns the length, -16 for maxLen < 2.
int CLI_FormatValue(int source, const char* format, double value, char* dest, int maxLen);
// text by format into *result: empty or numeric format parses a number, a date/time format
// parses by the pattern from the Unix epoch (fields the pattern lacks are those of
// 1970-01-01 00:00:00 UTC); another format gives -19.
int CLI_ValueFromString(const char* text, const char* format, double* result);
