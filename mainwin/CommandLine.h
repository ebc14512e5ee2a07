#pragma once
// The command line of the program: m=<machine settings file>, u=<user settings file>,
// t=<caption>. Arguments shorter than 3 or longer than 255 characters, without "=" as their
// second character, or with another (or an upper-case) first letter are skipped silently;
// later arguments override earlier ones of the same letter.
#include <optional>
#include <string>
#include <vector>

struct CommandLineSettings {
  std::optional<std::string> machineFile;  // m=
  std::optional<std::string> userFile;     // u=
  std::optional<std::string> caption;      // t= with more than 4 characters after the "="
};

// args: the arguments without the program path.
CommandLineSettings ParseCommandLineArgs(const std::vector<std::string>& args);
