#pragma once

#include "print/PrintSettings.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace tornyx {

// "印刷設定": the print settings and the printer they print on. Created once
// with the main window; it owns the printer, so a page set-up chosen here
// holds for every print of the session.
class TPrintCtrlDlg : public QDialog {
    Q_OBJECT
public:
    // iniPath: the option file with the "Print" and "PrintSetPos" sections.
    explicit TPrintCtrlDlg(QString iniPath, QWidget* parent = nullptr);
    ~TPrintCtrlDlg() override;

    const PrintSettings& settings() const { return m_settings; }
    // Made on first use: asking the print system for its default printer
    // may take a while, and a start-up should not wait for it.
    QPrinter& printer();

    // Shows the dialog modally, centred over the main window's frame.
    int showOver(const QRect& mainWindow);
    // Top-left corner of a dialog of size over the main window.
    static QPoint placement(const QRect& mainWindow, const QSize& size);

    // The printer set-up of "プリンタ設定"; a test may answer it.
    std::function<void(QPrinter&)> pageSetup;
    // Told when the settings could not be written (path, reason).
    std::function<void(const QString&, const QString&)> saveFailed;

    QCheckBox* CkBoxFilePath = nullptr;
    QCheckBox* CkBoxFileName = nullptr;
    QCheckBox* CkBoxPageNum = nullptr;
    QCheckBox* CkBoxLineNo = nullptr;
    QLineEdit* Edit1 = nullptr;     // left margin
    QLineEdit* Edit2 = nullptr;     // top margin
    QLineEdit* Edit3 = nullptr;     // bottom margin
    QLineEdit* Edit4 = nullptr;     // right margin
    QPushButton* Button1 = nullptr; // 保存
    QPushButton* Button2 = nullptr; // 戻る
    QPushButton* Button3 = nullptr; // プリンタ設定

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillControls();
    void Button1Click();

    QString m_iniPath;
    PrintSettings m_settings;
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace tornyx
