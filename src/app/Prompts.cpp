#include "app/Prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tornyx {

int QtPrompts::messageBox(QWidget* owner, Kind kind, const QString& title, const QString& text, int buttons) {
    QMessageBox box(owner);
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("Tornyx") : title);
    box.setText(text);
    switch (kind) {
    case Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Warning:
    case Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    default:
        box.setIcon(QMessageBox::Information);
        break;
    }
    struct B {
        int ours;
        QMessageBox::StandardButton qt;
        const char16_t* caption;
    };
    const B all[] = {{Yes, QMessageBox::Yes, u"はい(&Y)"},
                     {No, QMessageBox::No, u"いいえ(&N)"},
                     {Ok, QMessageBox::Ok, u"OK"},
                     {Cancel, QMessageBox::Cancel, u"ｷｬﾝｾﾙ"}};
    for (const B& b : all)
        if (buttons & b.ours)
            box.addButton(b.qt)->setText(QString::fromUtf16(b.caption));
    if (owner)
        box.move(owner->frameGeometry().topLeft() + QPoint(50, 50));
    const int r = box.exec();
    for (const B& b : all)
        if (r == b.qt)
            return b.ours;
    return Cancel;
}

QString QtPrompts::openFileName(QWidget* owner, const QString& title, const QString& folder,
                                const QString& filter) {
    return QFileDialog::getOpenFileName(owner, title, folder, filter);
}

QString QtPrompts::saveFileName(QWidget* owner, const QString& title, const QString& proposal,
                                const QString& filter) {
    return QFileDialog::getSaveFileName(owner, title, proposal, filter);
}

QString QtPrompts::folderName(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start);
}

} // namespace tornyx
