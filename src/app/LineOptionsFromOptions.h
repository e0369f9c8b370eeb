#pragma once

#include "app/Options.h"
#include "serial/LineOptions.h"

namespace tornyx {

// The options the serial line obeys, as they stand now (taken at the start
// of every transfer so that applied option changes count at once).
LineOptions lineOptionsFrom(const Options& options);

} // namespace tornyx
