#include "app/TApplication.h"

#include <QMessageBox>

#include <exception>

namespace tornyx {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        QMessageBox::critical(activeWindow(), "Tornyx", QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(activeWindow(), "Tornyx", QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace tornyx
