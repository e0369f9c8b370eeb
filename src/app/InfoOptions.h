#pragma once

#include <optional>
#include <string>

namespace tornyx {

// What "tornyx --version" and "tornyx --help" print. Either must be the only
// argument; any other command line is the window's (nullopt). Answered before
// the window system is touched, so both work without a display.
std::optional<std::string> infoOptionAnswer(int argc, const char* const* argv);

} // namespace tornyx
