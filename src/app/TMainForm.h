#pragma once

#include <QMainWindow>

class QApplication;

namespace tornyx {

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
};

int runProgram(QApplication& app);

} // namespace tornyx
