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
    void appendToTransferList(const QString&) override {}
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
    return 0;
}
