#include "app/ui/TOptionForm.h"

#include "app/Prompts.h"
#include "platform/DialogPlacement.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tornyx {

namespace {

const QString Title = QStringLiteral(u"ｵﾌﾟｼｮﾝ設定");
const QString UnappliedQuestion = QStringLiteral(u"ｵﾌﾟｼｮﾝ設定が変更されています｡\n保存せずに終了しますか？");
const QString PositionSection = QStringLiteral("OptionPos");

// The "Y"/"N" rows are edited with a drop-down that cannot be typed into.
// A cell holding some other text (from a hand-edited file) keeps it until
// the operator picks one of the two.
class YesNoDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        // Every keystroke and pick is a change at once, not only when the
        // cell loses the focus: "変更" must come alive while typing.
        auto* self = const_cast<YesNoDelegate*>(this); // commitData is a signal of the delegate
        if (optionRows()[index.row()].isFreeText()) {
            QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
            if (auto* line = qobject_cast<QLineEdit*>(editor))
                connect(line, &QLineEdit::textEdited, self, [self, line] { emit self->commitData(line); });
            return editor;
        }
        auto* box = new QComboBox(parent);
        box->addItems({"Y", "N"});
        box->setEditable(false);
        connect(box, &QComboBox::activated, self, [self, box] { emit self->commitData(box); });
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor))
            box->setCurrentIndex(box->findText(index.data().toString()));
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            if (box->currentIndex() >= 0)
                model->setData(index, box->currentText());
        } else {
            QStyledItemDelegate::setModelData(editor, model, index);
        }
    }
};

} // namespace

TOptionForm::TOptionForm(Prompts& prompts, QString optionFile, QWidget* parent)
    : QDialog(parent), m_prompts(prompts), m_optionFile(std::move(optionFile)) {
    setObjectName("TOptionForm");
    setWindowTitle(Title);

    ValueListEditor1 = new QTableWidget(OptionRowCount, 2, this);
    ValueListEditor1->setObjectName("ValueListEditor1");
    ValueListEditor1->setHorizontalHeaderLabels({QStringLiteral(u"設定項目"), QStringLiteral(u"設定")});
    ValueListEditor1->verticalHeader()->hide();
    ValueListEditor1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ValueListEditor1->setColumnWidth(0, 419);
    ValueListEditor1->setColumnWidth(1, 45);
    ValueListEditor1->setSelectionMode(QAbstractItemView::SingleSelection);
    ValueListEditor1->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                                      QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed);
    ValueListEditor1->setItemDelegateForColumn(1, new YesNoDelegate(ValueListEditor1));
    // The labels line up their "(Y/N)" only in a fixed-pitch font.
    QFont grid;
    grid.setFamilies({QStringLiteral(u"ＭＳ ゴシック"), "IPAGothic", "monospace"});
    grid.setStyleHint(QFont::TypeWriter);
    grid.setPixelSize(13);
    ValueListEditor1->setFont(grid);
    ValueListEditor1->verticalHeader()->setDefaultSectionSize(18);
    const QStringList captions = optionRowCaptions();
    for (int row = 0; row < OptionRowCount; ++row) {
        auto* label = new QTableWidgetItem(captions[row]);
        label->setFlags(Qt::ItemIsEnabled); // the key column is fixed
        ValueListEditor1->setItem(row, 0, label);
        ValueListEditor1->setItem(row, 1, new QTableWidgetItem);
    }
    const int width = 419 + 45 + 2 * ValueListEditor1->frameWidth() + 2;
    ValueListEditor1->setFixedSize(width, ValueListEditor1->horizontalHeader()->sizeHint().height() +
                                              18 * OptionRowCount + 2 * ValueListEditor1->frameWidth() + 2);
    ValueListEditor1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ValueListEditor1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(ValueListEditor1, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 1)
            Button1->setEnabled(true);
    });

    Button1 = new QPushButton(QStringLiteral(u"変更"), this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton(QStringLiteral(u"戻る"), this);
    Button2->setObjectName("Button2");
    for (QPushButton* b : {Button1, Button2})
        b->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* column = new QVBoxLayout(this);
    column->addWidget(ValueListEditor1);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);
}

void TOptionForm::edit(const QRect& anchor, const OptionRowValues& values, Apply apply) {
    m_apply = std::move(apply);
    m_closing = false;
    {
        const QSignalBlocker quiet(ValueListEditor1);
        for (int row = 0; row < OptionRowCount; ++row)
            ValueListEditor1->item(row, 1)->setText(values[row]);
    }
    adjustSize();
    move(platform::centredOn(anchor, frameGeometry().size()));
    ValueListEditor1->setCurrentCell(0, 1);
    Button1->setEnabled(false);
    exec();
}

OptionRowValues TOptionForm::values() const {
    OptionRowValues v;
    for (int row = 0; row < OptionRowCount; ++row)
        v[row] = ValueListEditor1->item(row, 1)->text();
    return v;
}

void TOptionForm::Button1Click() {
    if (m_apply)
        m_apply(values());
    Button1->setEnabled(false);
}

void TOptionForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // The selected value cell is ready for a pick, as the grid shows it.
    ValueListEditor1->edit(ValueListEditor1->currentIndex());
}

void TOptionForm::Button2Click() {
    closeDialog();
}

void TOptionForm::reject() {
    closeDialog();
}

void TOptionForm::closeEvent(QCloseEvent* e) {
    e->ignore();
    closeDialog();
}

void TOptionForm::closeDialog() {
    if (m_closing)
        return;
    m_closing = true;
    if (Button1->isEnabled() && m_prompts.messageBox(this, Prompts::Information, Title, UnappliedQuestion,
                                                     Prompts::Yes | Prompts::No) != Prompts::Yes)
        Button1Click();
    QString why;
    if (!platform::storeDialogPosition(m_optionFile, PositionSection, pos(), {}, &why))
        m_prompts.messageBox(this, Prompts::Error, Title, platform::settingsNotWrittenText(m_optionFile, why),
                             Prompts::Ok);
    QDialog::done(QDialog::Accepted);
}

} // namespace tornyx
