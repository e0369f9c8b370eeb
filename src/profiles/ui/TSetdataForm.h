#pragma once

#include "platform/PortNames.h"
#include "platform/SerialDevices.h"
#include "profiles/CommProfile.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QRect>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace tornyx::platform {
struct MailMessage;
}

namespace tornyx {

// Profile colours are stored as 0x00BBGGRR.
QColor colourFromBgr(int bgr);
int bgrFromColour(const QColor& c);

// What the profile editor needs from the program around it.
class SetdataHost {
public:
    enum Icon { Information, Stop };
    virtual ~SetdataHost() = default;
    // A question with Yes and No and an information icon; true for Yes.
    virtual bool question(QWidget* owner, const QString& title, const QString& text) = 0;
    // A message with an OK button.
    virtual void notice(QWidget* owner, Icon icon, const QString& title, const QString& text) = 0;
    // Empty when cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& title, const QString& start) = 0;
    virtual std::optional<QColor> chooseColour(QWidget* owner, const QColor& initial) = 0;
    virtual std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) = 0;
    // True when "COM"n is not excluded and can be opened now.
    virtual bool probePort(int n) = 0;
    // Puts record into profile n and saves it (coercions, write, reload).
    // False with the message for the operator in *error when the file could
    // not be written.
    virtual bool saveProfile(int n, const CommProfile& record, bool writeFont, bool writePosition,
                             QString* error) = 0;
    // Hands a mail to the completion-mail command.
    virtual void sendTestMail(const platform::MailMessage& mail) = 0;
};

// What the editor is opened with.
struct SetdataInput {
    int number = 1; // the active profile, 1..12
    CommProfile profile;
    bool feedPointField = false; // option "op20": OpLab2 is usable
    bool sequenceField = false;  // option "op21": OpLab3 is usable
    // The editor's presentation, shown in the sample when the profile keeps
    // none of its own.
    QFont editorFont;
    QColor editorText;
    QColor editorPaper;
    QStringList excludedPorts; // "ModemePort1", "ModemePort2": never offered for a mapping
    QRect anchor;              // the main window's geometry when opened
    QString optionFile;        // Tornyx.INI: "SetdataPos" and the port mapping "Ports"
    platform::DeviceFolders devices;
};

// "通信設定": edits the active communication profile, and the device each
// port name leads to on this computer.
class TSetdataForm : public QDialog {
    Q_OBJECT
public:
    explicit TSetdataForm(SetdataHost& host, QWidget* parent = nullptr);
    ~TSetdataForm() override;

    // Fills the dialog (Show) without showing it.
    void load(const SetdataInput& input);
    // load() and the modal dialog.
    void edit(const SetdataInput& input);

    // The profile as the controls hold it now; a list without a selection
    // gives the field's default.
    CommProfile record() const;
    // The device a port name leads to with the changes made in the dialog.
    QString mappedDevice(const QString& portName) const;

    // The label that names a control (red when the control does not apply).
    QLabel* labelOf(const QWidget* control) const;

    bool Button1Click(); // 保存; true when everything was written
    void Button2Click(); // 戻る
    void OpBtnClick();   // 送信テスト
    void SRBtn0Click();  // folder
    void SRBtn1Click();  // text colour
    void SRBtn2Click();  // background
    void SRBtn3Click();  // font
    // Lists the serial devices again (an adapter plugged in meanwhile).
    void refreshDevices();

    QLineEdit* Edit1;
    QTabWidget* PageControl1;
    QComboBox *ReadBox1, *ReadBox2, *ReadBox2a, *ReadBox2b, *ReadBox3, *ReadBox4, *ReadBox5, *ReadBox6,
        *ReadBox7, *ReadBox8, *ReadBox9, *ReadBox10, *ReadBox11, *ReadBox12;
    QComboBox *SendBox1, *SendBox2, *SendBox2a, *SendBox2b, *SendBox3, *SendBox4, *SendBox5, *SendBox6,
        *SendBox7, *SendBox8, *SendBox9, *SendBox11, *SendBox12, *SendBox13, *SendBox14;
    QLineEdit* SendBox10;
    QLineEdit *OpLab1, *OpLab2, *OpLab3, *OpLab4, *OpLab5, *OpLab6;
    QPushButton* OpBtn;
    QLineEdit* SRLab1;
    QPushButton *SRBtn0, *SRBtn1, *SRBtn2, *SRBtn3;
    QLabel* SRLab2;
    QCheckBox *SRChkBox1, *SRChkBox2;
    QPushButton* Button1;
    QPushButton* Button2;
    // The device of the port chosen beside it: a choice among the serial
    // devices present, or a typed path; and what is known about it.
    QComboBox *ReadDevBox, *SendDevBox;
    QLabel *ReadDevState, *SendDevState;
    QPushButton *ReadDevRefresh, *SendDevRefresh;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override; // Escape closes like the close box

private:
    struct PortSide;
    QComboBox* combo(QWidget* page, const char* name, const QString& caption, const QStringList& items);
    QLineEdit* field(QWidget* page, const char* name, const QString& caption);
    void buildReceivePage();
    void buildSendPage();
    void buildOptionPage();
    void buildCommonPage();
    void buildDeviceRow(QWidget* page, PortSide& side, QComboBox* list, const QString& prefix);
    void layOutPortPage(PortSide& side, std::initializer_list<QWidget*> fields, const QString& caption);
    void connectChanges();
    void changed();
    void setApplies(QWidget* control, bool applies);
    void applyReaderRule();
    void applyPunchRule();
    void applyUserFraming();
    void fillPorts();
    void fillDeviceList(PortSide& side);
    void showMapping(PortSide& side);
    void showState(PortSide& side, const QString& device);
    void deviceTyped(PortSide& side);
    QString nameToMap(const PortSide& side) const;
    void addPortName(const QString& name);
    void showSample();
    bool blockedByEmptyChoice();
    bool blockedByBadMapping();
    void closeDialog();

    SetdataHost& m_host;
    SetdataInput m_input;
    std::map<const QWidget*, QLabel*> m_labels;
    std::vector<QComboBox*> m_choices; // the drop-down lists of the profile, in tab order
    std::unique_ptr<PortSide> m_read;
    std::unique_ptr<PortSide> m_send;
    std::unique_ptr<platform::PortMap> m_ports;
    std::set<QString> m_heldByOthers;
    QString m_browseStart;
    QFont m_sampleFont;
    QColor m_sampleText;
    QColor m_samplePaper;
    bool m_loading = false;
    bool m_closing = false;
};

} // namespace tornyx
