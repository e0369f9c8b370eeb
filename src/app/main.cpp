#include "app/TApplication.h"
#include "app/TMainForm.h"

int main(int argc, char* argv[]) {
    tornyx::TApplication app(argc, argv);
    return tornyx::runProgram(app);
}
