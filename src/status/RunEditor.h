#pragma once

#include <QByteArray>

namespace tornyx {

// The editor's document as the runs see it: lines as Shift-JIS bytes
// without their line break, the selection that follows the run, the
// modified mark and the breakpoint. A send never changes the text; a
// receive empties it.
class RunEditor {
public:
    virtual ~RunEditor() = default;
    virtual int lineCount() const = 0;
    virtual QByteArray line(int index) const = 0; // 0-based
    virtual bool isEmpty() const = 0;
    // Selects length bytes of line index from its first character and
    // scrolls it into view.
    virtual void selectLine(int index, int length) = 0;
    virtual void caretToStart() = 0;
    virtual void focus() = 0;
    virtual void setReadOnly(bool readOnly) = 0;
    virtual bool isModified() const = 0;
    virtual void setModified(bool modified) = 0;
    // 1-based line at which a send or DNC run pauses; -1 for none.
    virtual int breakpointLine() const = 0;
    // No breakpoint any more ("ﾌﾞﾚｰｸﾎﾟｲﾝﾄに移動" disabled).
    virtual void clearBreakpoint() = 0;
    // The text emptied, the modified mark cleared.
    virtual void clear() = 0;
};

} // namespace tornyx
