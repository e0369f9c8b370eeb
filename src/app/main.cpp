#include "app/InfoOptions.h"
#include "app/TApplication.h"
#include "app/TMainForm.h"

#include <cstdio>

int main(int argc, char* argv[]) {
    if (const auto answer = tornyx::infoOptionAnswer(argc, argv)) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }
    tornyx::TApplication app(argc, argv);
    return tornyx::runProgram(app);
}
