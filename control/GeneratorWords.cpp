#include "control/GeneratorWords.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "engine/MiscUtils.h"
#include "engine/SndConfig.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"

namespace {

std::function<void()> g_RefreshHook;

enum class GenProperty { Ampl, Freq, Level };

}  // namespace

void Generator_SetRefreshHook(std::function<void()> hook) { g_RefreshHook = std::move(hook); }

void Generator_RegisterWords() { CLI_RegisterObjectWord("generator", CLI_EvalGeneratorObject); }

int CLI_EvalGeneratorObject(int source, double* result)
{
  int n = 0;
  if (*g_CliParsePtr == '[') {
    ++g_CliParsePtr;
    double v = 0.0;
    const int err = CLI_EvalExpression(source, &v);
    if (err < 0) return err;
    if (!std::isfinite(v) || v < 0.0 || v >= kNrSineGens) return CLI_ERR_BAD_INDEX;
    n = static_cast<int>(v);
    CLI_SkipSpaces();
    if (*g_CliParsePtr != ']') return CLI_ERR_BRACKET;
    ++g_CliParsePtr;
  }
  if (*g_CliParsePtr == '.') ++g_CliParsePtr;

  const char c = *g_CliParsePtr;
  if (c < 'a' || c > 'z') return CLI_ERR_SYNTAX;
  const char* word;
  GenProperty prop;
  switch (c) {
    case 'a': word = "ampl"; prop = GenProperty::Ampl; break;
    case 'f': word = "freq"; prop = GenProperty::Freq; break;
    case 'l': word = "level"; prop = GenProperty::Level; break;
    default: return CLI_ERR_UNKNOWN_COMMAND;
  }
  const size_t len = std::strlen(word);
  if (std::strncmp(g_CliParsePtr, word, len) != 0) return CLI_ERR_SYNTAX;
  g_CliParsePtr += len;
  CLI_SkipSpaces();
  // The index stands before the property word; one behind it (or behind the '=') would
  // otherwise read as a number 0 and the rest of the line be dropped.
  if (*g_CliParsePtr == '[') return CLI_ERR_SYNTAX;

  SineGenSettings& osc = SndConfig.Sine[n];
  if (result) {
    switch (prop) {
      case GenProperty::Ampl: *result = osc.SinAmpl; break;
      case GenProperty::Freq: *result = osc.SinFreq; break;
      case GenProperty::Level: *result = AmplitudeToDb(osc.SinAmpl); break;
    }
    return CLI_OK;
  }

  if (*g_CliParsePtr == '=') ++g_CliParsePtr;
  CLI_SkipSpaces();
  if (*g_CliParsePtr == '[') return CLI_ERR_SYNTAX;
  double v = 0.0;
  const int err = CLI_EvalExpression(source, &v);
  if (err < 0) return err;
  if (prop == GenProperty::Level) v = std::pow(10.0, 0.05 * v);
  // An overflowing expression must not reach the generator or the settings files as "inf".
  if (!std::isfinite(v)) return CLI_ERR_ILLEGAL_VALUE;

  AtomicField<double>& field = prop == GenProperty::Freq ? osc.SinFreq : osc.SinAmpl;
  const bool changed = field != v;
  field = v;
  osc.ParamsChanged = true;
  if (changed && g_RefreshHook) g_RefreshHook();
  return CLI_OK;
}
