#pragma once

#include <QApplication>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace tornyx::test {

// Calls f with the dialog of type D once the application shows it modally,
// looking every 20 ms for as long as context lives.
template <class D> void whenModalShown(QObject* context, std::function<void(D&)> f) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [context, f, poll] {
        auto* dialog = dynamic_cast<D*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(20, context, *poll);
            return;
        }
        f(*dialog);
        *poll = nullptr; // the last copy goes with this call
    };
    QTimer::singleShot(20, context, *poll);
}

} // namespace tornyx::test
