#include "app/InfoOptions.h"

#include "platform/ProgramInfo.h"

#include <cstring>

namespace tornyx {

namespace {

const char* const Usage =
    R"(Usage: tornyx [FILE] [S=FILE] [R=FILE] [S01=FILE ... S10=FILE SE=Y] [N=1..12] [END]
       tornyx --help | --version

Sends, receives and drip-feeds NC part programs over RS-232.

  FILE          opens the file in the editor
  S=FILE        sends the file (a name without a folder: from the last folder used)
  R=FILE        receives into the file
  S01=...S10=   collect files into one transfer list; SE=Y sends it
  N=n           uses communication profile n (1..12)
  END           closes the program when the transfer has ended

Settings: $TORNYX_HOME, else ~/.config/tornyx for an installed program.
The manual: the menu ヘルプ目次, or man tornyx.
)";

} // namespace

std::optional<std::string> infoOptionAnswer(int argc, const char* const* argv) {
    if (argc != 2)
        return std::nullopt;
    if (std::strcmp(argv[1], "--version") == 0)
        return std::string("Tornyx ") + platform::program::Version + "\n";
    if (std::strcmp(argv[1], "--help") == 0)
        return std::string(Usage);
    return std::nullopt;
}

} // namespace tornyx
