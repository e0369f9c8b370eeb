#include "app/TMainForm.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    return tornyx::runProgram(app);
}
