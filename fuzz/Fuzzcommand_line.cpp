// Any argument list: the command-line rules never crash, order at most one
// transfer and keep the profile number in range.
#include "app/CommandLine.h"

#include <cstdlib>

namespace {
class Host : public tornyx::CommandLineHost {
public:
    bool fileExists(const QString& p) override { return p.size() % 3 == 0; }
    void errorBox(const QString&) override {}
    bool warningQuestion(const QString& t) override { return t.size() % 2 == 0; }
    bool appendToTransferList(const QString& p, QString* error) override {
        if (p.size() % 5 != 0)
            return true;
        *error = "full";
        return false;
    }
    void loadForSend(const QString&) override {}
    void openPlainPath(const QString&) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QStringList args;
    QByteArray cur;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args << QString::fromUtf8(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(data[i]);
        }
    }
    args << QString::fromUtf8(cur);
    tornyx::CommandLineState st;
    st.lastFolder = "/nc";
    Host host;
    tornyx::processCommandLine(args, st, host, "/tmp/Tornyx.tmp");
    if (st.activeProfile < 1 || st.activeProfile > 12)
        std::abort();
    if (st.autoSendRequest == 'Y' && st.autoReceiveRequest == 'Y')
        std::abort();
    // A list that could not be written is never sent.
    if (!st.transferListError.isEmpty() && st.autoSendRequest == 'Y' && st.transferPath == "/tmp/Tornyx.tmp")
        std::abort();
    return 0;
}
