#pragma once

#include "search/FileSearch.h"
#include "search/SearchHistory.h"

#include <QDialog>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace tornyx {

class BusyIndicator;

// "ﾌｧｲﾙ検索": searches the files of a folder tree for a text and lists every
// line that holds it; a double click opens the file at that line.
class TSearchFiles : public QDialog {
    Q_OBJECT
public:
    // iniPath: the option file with "FILE SEARCH" and "FileSearchPos".
    explicit TSearchFiles(QString iniPath, QWidget* parent = nullptr);

    // The active profile's data folder: the folder picker's title and start.
    void setProfileFolder(const QString& folder) { m_profileFolder = folder; }
    // The folder the box shows when its history is empty.
    void setDefaultFolder(const QString& folder) { m_defaultFolder = folder; }
    // Shows the dialog modally at its stored place (main window's corner +
    // 10 the first time).
    int showOver(const QRect& mainWindow);

    bool isSearching() const { return m_searching; }
    const SearchOutcome& lastOutcome() const { return m_outcome; }

    // The folder selection (title, start folder); empty when cancelled.
    std::function<QString(const QString& title, const QString& start)> chooseFolder;
    // A warning box.
    std::function<void(const QString& text)> warn;
    std::function<void()> beep;
    // Opens a hit in the editor; true when it was opened (the dialog then
    // closes).
    std::function<bool(const QString& path, qint64 line)> openHit;
    // Milliseconds between the window's events during a search.
    int pumpIntervalMs = 10;

    QComboBox* ComboBoxStr = nullptr;
    QComboBox* ComboBoxDir = nullptr;
    QComboBox* ComboBoxFile = nullptr;
    QPushButton* therDir = nullptr;
    QCheckBox* CheckBoxSubDir = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QListWidget* ListBox1 = nullptr;
    BusyIndicator* Animate1 = nullptr;

    void OKBtnClick();
    void CancelBtnClick();
    void therDirClick();
    // The double click on a result.
    void ListBox1DblClick();

    void reject() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    class Host;
    void loadHistories();
    void setControlsEnabled(bool enabled);
    void reportSkipped();
    void openItem(QListWidgetItem* item);

    QString m_iniPath;
    QString m_profileFolder;
    QString m_defaultFolder;
    bool m_searching = false;
    bool m_abort = false;
    SearchOutcome m_outcome;
    // A result double-clicked during a search opens when the search has
    // stopped.
    std::optional<std::pair<QString, qint64>> m_pendingOpen;
};

// The summary of what a search passed over: at most 20 names, then how many
// more.
QString skippedSummary(const std::vector<Skipped>& skipped);

} // namespace tornyx
