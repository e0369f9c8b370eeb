#pragma once

#include <QApplication>

namespace tornyx {

// The application object. An exception that escapes an event handler is
// shown in an error box and the program goes on, instead of ending the
// process with a transfer half done.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace tornyx
