#include "app/TMainForm.h"

#include <QApplication>

namespace tornyx {

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {}

int runProgram(QApplication& app) {
    TMainForm w;
    w.show();
    return app.exec();
}

} // namespace tornyx
