#pragma once

#include "dnc/ui/TDncForm.h"
#include "support/ModalDialog.h"

#include <QComboBox>

#include <functional>

namespace tornyx::test {

// Answers the DNC set-up dialog once the run shows it modally: chooses entry
// index of its program list and starts; then calls after (when given).
inline void pickStartProgramWhenShown(QObject* context, int index, std::function<void()> after = {}) {
    whenModalShown<TDncForm>(context, [index, after](TDncForm& dialog) {
        dialog.ComboBox1->setCurrentIndex(index);
        dialog.Button1Click();
        if (after)
            after();
    });
}

} // namespace tornyx::test
