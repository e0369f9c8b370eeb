#include "app/LineOptionsFromOptions.h"

namespace tornyx {

LineOptions lineOptionsFrom(const Options& o) {
    LineOptions l;
    l.dc3Is93 = o.dc3 == "Y";
    l.skipSpaces = o.isOn("op4");
    l.dtrAlwaysOn = o.isOn("op5");
    l.autoSwitch = o.isOn("op6");
    l.noLineCheck = o.isOn("op13");
    l.dsrCheck = o.isOn("op14");
    l.excludedPort1 = o.modemePort1;
    l.excludedPort2 = o.modemePort2;
    return l;
}

} // namespace tornyx
