#include "mainwin/CommandLine.h"

CommandLineSettings ParseCommandLineArgs(const std::vector<std::string>& args)
{
  CommandLineSettings result;
  for (const std::string& arg : args) {
    if (arg.size() < 3 || arg.size() > 255 || arg[1] != '=') continue;
    std::string rest = arg.substr(2);
    switch (arg[0]) {
      case 'm': result.machineFile = rest; break;
      case 'u': result.userFile = rest; break;
      case 't':
        if (rest.size() > 4) result.caption = rest;
        break;
      default: break;
    }
  }
  return result;
}
