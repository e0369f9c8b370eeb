#pragma once

#include "dnc/ui/TDncForm.h"

namespace tornyx {

class TMainForm;

// The main window's side of "ﾌｧｲﾙ追加" in the DNC set-up dialog.
class DncFileAppender : public DncFileHost {
public:
    explicit DncFileAppender(TMainForm& w) : m_w(w) {}

    // Gives the dialog the window's editor text, its program-number list and
    // this appender.
    void connect(TDncForm& form);

    QString chooseFile(QWidget* owner) override;
    void errorBox(QWidget* owner, const QString& text) override;
    void appendToDocument(const QString& path) override;
    void waitForIndex() override;
    void clearModified() override;

private:
    TMainForm& m_w;
};

} // namespace tornyx
