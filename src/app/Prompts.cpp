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

QString QtPrompts::folderName(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start);
}

namespace {

// Qt's own dialog on every desktop: it matches the patterns without regard
// to letter case, as "*.NC" must find prog.nc, and it applies the default
// extension before it asks about overwriting.
void prepare(QFileDialog& d, const FileTypeChoice& types) {
    d.setOption(QFileDialog::DontUseNativeDialog);
    d.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = nameFilters(types.user);
    d.setNameFilters(filters);
    d.selectNameFilter(filters.value(types.index - 1, filters.front()));
}

// The entry of a filter as the dialog names it: the filter as given, or,
// with the details hidden, only its display text with the blanks simplified.
int entryOf(const QString& filter, const UserFileTypes& user) {
    const QStringList filters = nameFilters(user);
    const auto types = fileTypes(user);
    for (int i = 0; i < FileTypeCount; ++i)
        if (filter == filters[i] || filter == types[i].display.simplified())
            return i + 1;
    return 0;
}

} // namespace

QString QtPrompts::openFileName(QWidget* owner, const QString& title, const QString& folder,
                                FileTypeChoice& types) {
    QFileDialog d(owner, title, folder);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFile);
    prepare(d, types);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return {};
    if (const int entry = entryOf(d.selectedNameFilter(), types.user); entry > 0)
        types.index = entry;
    return d.selectedFiles().front();
}

QString QtPrompts::saveFileName(QWidget* owner, const QString& title, const QString& proposal,
                                FileTypeChoice& types) {
    QFileDialog d(owner, title, proposal);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    prepare(d, types);
    FileTypeChoice chosen = types;
    d.setDefaultSuffix(chosen.defaultExtension);
    QObject::connect(&d, &QFileDialog::filterSelected, &d, [&](const QString& filter) {
        chosen.pickForSave(entryOf(filter, types.user));
        d.setDefaultSuffix(chosen.defaultExtension);
    });
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return {};
    if (const int entry = entryOf(d.selectedNameFilter(), types.user); entry > 0)
        chosen.index = entry;
    types = chosen;
    return d.selectedFiles().front();
}

} // namespace tornyx
