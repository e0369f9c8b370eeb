#pragma once

#include "dnc/ui/TDncForm.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <functional>
#include <memory>

namespace tornyx::test {

// Answers the DNC set-up dialog once the run shows it modally: chooses entry
// index of its program list and starts; then calls after (when given).
inline void pickStartProgramWhenShown(QObject* context, int index, std::function<void()> after = {}) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [context, index, after, poll] {
        auto* dialog = dynamic_cast<TDncForm*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(20, context, *poll);
            return;
        }
        dialog->ComboBox1->setCurrentIndex(index);
        dialog->Button1Click();
        if (after)
            after();
        *poll = nullptr; // the last copy goes with this call
    };
    QTimer::singleShot(20, context, *poll);
}

} // namespace tornyx::test
