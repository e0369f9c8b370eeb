#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tornyx {

// The find dialog "検索": the text and the direction; every search ignores
// letter case, so there is no choice for it, nor for whole words. It stays
// open beside the editor; its buttons only ask, the window searches.
class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(QWidget* parent = nullptr);
    QString findText() const;
    void setFindText(const QString& text);
    bool isUp() const;

signals:
    void findNext();

private:
    QLineEdit* m_text;
    QRadioButton* m_up;
    QRadioButton* m_down;
    QPushButton* m_find;
};

// The replace dialog "置換": find text and replacement; it searches down.
class ReplaceDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReplaceDialog(QWidget* parent = nullptr);
    QString findText() const;
    void setFindText(const QString& text);
    QString replaceText() const;
    void setReplaceText(const QString& text);

signals:
    void findNext();
    void replace();
    void replaceAll();
    // The dialog was closed (its button, Esc or the window's close box).
    void closed();

protected:
    void hideEvent(QHideEvent* e) override;

private:
    QLineEdit* m_text;
    QLineEdit* m_with;
    QPushButton* m_find;
    QPushButton* m_replace;
    QPushButton* m_all;
};

} // namespace tornyx
