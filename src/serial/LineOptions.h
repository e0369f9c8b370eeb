#pragma once

#include <QString>

namespace tornyx {

// The program-wide options the serial line obeys, taken from the option
// values at the start of each transfer (an option is on when its text is
// exactly "Y"):
//   dc3Is93        "DC3(0X93)" (section Setting)  XOFF/pause character 0x93
//   skipSpaces     "op4"   blanks in the data are not sent
//   dtrAlwaysOn    "op5"   raise DTR and RTS after the set-up
//   autoSwitch     "op6"   ask for the line-switch number at every opening
//   noLineCheck    "op13"  no carrier check (interlink cross cable)
//   dsrCheck       "op14"  DSR off stops the transfer
//   excludedPort1/2 "ModemePort1"/"ModemePort2" (Setting)  never probed
struct LineOptions {
    bool dc3Is93 = true;
    bool skipSpaces = false;
    bool dtrAlwaysOn = false;
    bool autoSwitch = false;
    bool noLineCheck = false;
    bool dsrCheck = false;
    QString excludedPort1;
    QString excludedPort2;
};

} // namespace tornyx
