#pragma once

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tornyx {

// "自動切替": asks for the number of the automatic line switch before a
// transfer (one digit 0..5 per cascaded box, "-" between the boxes of a
// tree, at most three characters). The main window creates it once and
// calls askSwitchNumber() from its LineHost::askSwitchNumber().
class TAutoForm : public QDialog {
    Q_OBJECT
public:
    explicit TAutoForm(QWidget* parent = nullptr);

    // Centres the dialog on anchor (the main window's geometry when the port
    // was opened), clears the field and shows the dialog modally. The field's
    // text on "ＯＮ", nullopt on "ｷｬﾝｾﾙ" or the close box.
    std::optional<QString> askSwitchNumber(const QRect& anchor);

    // The notice for a refused key; by default the "確認" message box.
    void setRefusalNotice(std::function<void()> notice) { m_refusalNotice = std::move(notice); }

    QLineEdit* LabeledEdit1 = nullptr;
    QLabel* EditLabel = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    // Top-left corner that centres a dialog of size on anchor; a negative
    // result falls back to the anchor's own edge.
    static QPoint centredOn(const QRect& anchor, const QSize& size);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showRefusal();

    std::function<void()> m_refusalNotice;
};

} // namespace tornyx
