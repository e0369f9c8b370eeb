#pragma once

#include "app/FileTypeList.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tornyx {

class Prompts;

// "ﾕｰｻﾞ定義": the names and patterns of the two user-defined file types.
class TUser : public QDialog {
    Q_OBJECT
public:
    // optionFile: Tornyx.INI, where the dialog leaves its position.
    TUser(Prompts& prompts, QString optionFile, QWidget* parent = nullptr);

    // Centres the dialog on anchor, fills the fields from stored and shows
    // it modally. stored changes only through "変更".
    void edit(const QRect& anchor, UserFileTypes& stored);

    void Button1Click(); // 変更: apply and close
    void Button2Click(); // 中止: discard and close
    void Button3Click(); // 戻る: close

    QLineEdit* LabeledEdit1; // display name 1
    QLineEdit* LabeledEdit2; // pattern 1
    QLineEdit* LabeledEdit3; // display name 2
    QLineEdit* LabeledEdit4; // pattern 2
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override; // Escape closes like "戻る"

private:
    void fill(const UserFileTypes& t);
    void finish();

    Prompts& m_prompts;
    QString m_optionFile;
    UserFileTypes* m_stored = nullptr;
};

} // namespace tornyx
