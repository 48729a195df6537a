// TForm21, "Фискальный чек": one fiscal receipt by hand.
#include "sales/fiscal_receipt_form.h"

#include "app/application.h"
#include "ui/form_kit.h"
#include "ui/goods_list_source.h"
#include "ui/receipt_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kTaxGroupCaption = u"Номер \nналоговой \nгруппы:"_s;
const QString kDefaultBarcodeCaption = u"Штрих-код EAN-13"_s;

QLineEdit *input(const QString &name, QWidget *parent, const QString &text, int chars = 0)
{
    QLineEdit *e = kit::edit(name, parent, chars);
    e->setText(text);
    return e;
}

} // namespace

TForm21::TForm21(Application &app, ScreenHost &host, QWidget *parent)
    : Screen(app, host, parent), m_ops(app), m_openCheck(app), m_guard(app)
{
    setWindowTitle(FiscalReceipt::kCaption);

    auto *left = new QVBoxLayout;
    left->addWidget(buildHeader());
    left->addWidget(buildGoods(), 1);
    auto *middle = new QVBoxLayout;
    middle->addWidget(buildDiscounts());
    middle->addWidget(buildVoids());
    middle->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(buildPayment());
    right->addWidget(buildBarcode());
    // Beside the payment, where the cashier looks for the change.
    m_receiptView = new ReceiptView(this);
    right->addWidget(m_receiptView, 1);

    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 3);
    columns->addLayout(middle, 2);
    columns->addLayout(right, 2);

    auto *errorForm = new QFormLayout;
    m_errorWord = kit::addErrorWordRow(errorForm, this);
    m_statusButton = kit::statusScreenButton(this, u"statusButton"_s);
    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);
    auto *bottom = new QHBoxLayout;
    bottom->addLayout(errorForm);
    bottom->addStretch();
    bottom->addWidget(m_statusButton);
    bottom->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(bottom);

    connect(m_statusButton, &QPushButton::clicked, this, &TForm21::openStatusScreen);
    connect(closeButton, &QPushButton::clicked, this, &TForm21::reject);
}

QWidget *TForm21::buildHeader()
{
    auto *box = new QGroupBox(this);
    m_password = kit::passwordEdit(box);
    m_password->setFixedWidth(kit::charsWidth(m_password, 10));
    m_operator = input(u"operatorEdit"_s, box, u"1"_s, 4);
    m_return = kit::checkBox(u"Чек возврата"_s, u"returnCheck"_s, box);
    m_display = kit::checkBox(u"Выводить информацию на дисплей"_s, u"displayCheck"_s, box);
    m_display->setChecked(true);
    auto *openButton = kit::button(u"Открыть чек"_s, u"openReceiptButton"_s, box);
    m_comment = input(u"commentEdit"_s, box, u"Comment for printing"_s);
    auto *commentButton = kit::button(u"Печать комментария"_s, u"printCommentButton"_s, box);
    m_displayFunction = kit::comboBox(u"displayFunctionCombo"_s, box, FiscalReceipt::kDisplayFunctions);
    auto *displayButton = kit::button(u"Вывод на индикатор"_s, u"displayButton"_s, box);

    auto *grid = new QGridLayout(box);
    kit::gridRow(grid, 0, box, {{u"Пароль:"_s, m_password}, {u"Номер оператора:"_s, m_operator}});
    grid->addWidget(m_return, 1, 0, 1, 2);
    grid->addWidget(m_display, 1, 2, 1, 3);
    grid->addWidget(openButton, 0, 4);
    grid->addWidget(m_comment, 2, 0, 1, 4);
    grid->addWidget(commentButton, 2, 4);
    grid->addWidget(m_displayFunction, 3, 0, 1, 4);
    grid->addWidget(displayButton, 3, 4);
    grid->setColumnStretch(3, 1);

    m_guard.connect(openButton, [this] { openReceipt(); });
    m_guard.connect(commentButton, [this] { shown(m_ops.printComment(m_password->text(), m_comment->text())); });
    m_guard.connect(displayButton, [this] { showOnDisplay(); });
    return box;
}

QWidget *TForm21::buildGoods()
{
    auto *box = new QGroupBox(u"Товары"_s, this);
    m_goods = new QListWidget(box);
    m_goods->setObjectName(u"goodsList"_s);
    m_goodsLine = kit::edit(u"goodsLineEdit"_s, box);
    m_quantity = input(u"quantityEdit"_s, box, u"1.000"_s, 10);
    m_price = input(u"priceEdit"_s, box, u"1.00"_s, 10);
    auto *sellButton = kit::button(u"Продать"_s, u"sellButton"_s, box);
    m_vekrLabel = new QLabel(u"Номер получателя ВЕКР:"_s, box);
    m_vekrRecipient = kit::edit(u"vekrRecipientEdit"_s, box, 10);
    m_vekrButton = kit::button(u"Продажа ВЕКР"_s, u"vekrSellButton"_s, box);

    auto *grid = new QGridLayout;
    kit::gridRow(grid, 0, box, {{u"Кол-во:"_s, m_quantity}, {u"Цена за ед.:"_s, m_price}, {{}, sellButton}});
    grid->addWidget(m_vekrLabel, 1, 0, 1, 2);
    grid->addWidget(m_vekrRecipient, 1, 3);
    grid->addWidget(m_vekrButton, 1, 4);
    grid->setColumnStretch(5, 1);

    auto *layout = new QVBoxLayout(box);
    layout->addWidget(m_goods, 1);
    layout->addWidget(m_goodsLine);
    layout->addLayout(grid);

    // A click chooses a line, and so do the arrow keys.
    connect(m_goods, &QListWidget::itemClicked, this, &TForm21::chooseGoods);
    connect(m_goods, &QListWidget::currentItemChanged, this, &TForm21::chooseGoods);
    m_guard.connect(sellButton, [this] { sell(false); });
    m_guard.connect(m_vekrButton, [this] { sell(true); });
    return box;
}

QWidget *TForm21::buildDiscounts()
{
    auto *holder = new QWidget(this);
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    using Target = FiscalReceipt::DiscountTarget;
    for (const bool percent : {true, false}) {
        const QString kind = percent ? u"percent"_s : u"absolute"_s;
        auto *box = new QGroupBox(percent ? u"Скидка процентная"_s : u"Скидка абсолютная"_s, holder);
        QLineEdit *value = input(kind + u"ValueEdit"_s, box, u"-5.00"_s, 8);
        QLineEdit *group = input(kind + u"TaxGroupEdit"_s, box, u"0"_s, 4);
        auto *item = kit::button(u" на товар"_s, kind + u"ItemButton"_s, box);
        auto *subtotal = kit::button(u"на подсумму"_s, kind + u"SubtotalButton"_s, box);
        auto *taxGroup = kit::button(u"с налоговой группы"_s, kind + u"TaxGroupButton"_s, box);
        auto *grid = new QGridLayout(box);
        grid->addWidget(value, 0, 0);
        grid->addWidget(new QLabel(kTaxGroupCaption, box), 1, 0);
        grid->addWidget(group, 2, 0, Qt::AlignTop);
        grid->addWidget(item, 0, 1);
        grid->addWidget(subtotal, 1, 1, Qt::AlignTop);
        grid->addWidget(taxGroup, 2, 1, Qt::AlignTop);
        grid->setColumnStretch(1, 1);
        layout->addWidget(box);
        (percent ? m_percentValue : m_absoluteValue) = value;
        (percent ? m_percentGroup : m_absoluteGroup) = group;
        m_guard.connect(item, [this, percent] { discount(percent, Target::Item); });
        m_guard.connect(subtotal, [this, percent] { discount(percent, Target::Subtotal); });
        m_guard.connect(taxGroup, [this, percent] { discount(percent, Target::TaxGroup); });
    }
    return holder;
}

QWidget *TForm21::buildVoids()
{
    auto *box = new QGroupBox(this);
    auto *layout = new QVBoxLayout(box);
    const struct {
        const char16_t *caption;
        const char16_t *name;
    } voids[] = {{u"Аннулирование всего чека", u"voidReceiptButton"},
                 {u"Начало аннулирования", u"voidStartButton"},
                 {u"Конец аннулирования", u"voidEndButton"},
                 {u"Отмена аннулирования", u"voidCancelButton"}};
    for (int mode = 0; mode < 4; ++mode) {
        auto *b = kit::button(QString::fromUtf16(voids[mode].caption), QString::fromUtf16(voids[mode].name), box);
        layout->addWidget(b);
        m_guard.connect(b, [this, mode] {
            const Outcome<> out = m_ops.voidOperation(m_password->text(), mode);
            if (out.ok() && mode == 0)
                receiptEnded();
            shown(out);
        });
    }
    return box;
}

QWidget *TForm21::buildPayment()
{
    auto *box = new QGroupBox(this);
    auto *totalButton = kit::button(u"Печать итога"_s, u"printTotalButton"_s, box);
    m_sum = new QLabel(box);
    m_sum->setObjectName(u"sumLabel"_s);
    m_sum->setMinimumWidth(kit::charsWidth(m_sum, 12));
    m_sum->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_sum->setTextInteractionFlags(Qt::NoTextInteraction);
    m_sum->setCursor(Qt::PointingHandCursor);
    m_sum->installEventFilter(this);
    m_paymentType = kit::comboBox(u"paymentTypeCombo"_s, box, {u"0"_s});
    m_paymentType->setToolTip(u"Номер типа оплаты"_s);
    m_amount = input(u"amountEdit"_s, box, u"0.00"_s, 10);
    m_amount->setToolTip(u"Величина оплаты"_s);
    auto *payButton = kit::button(u"Оплатить"_s, u"payButton"_s, box);
    m_useTransaction = kit::checkBox(u"Использовать указанный идентификатор транзакций"_s, u"useTransactionCheck"_s, box);
    m_transaction = kit::edit(u"transactionEdit"_s, box, 0, FiscalReceipt::kTransactionIdLength);
    m_suppressCardLines = kit::checkBox(u"Не выводить дополнительную информацию для банковской карты"_s,
                                u"suppressCardLinesCheck"_s, box);
    auto *closeReceiptButton = kit::button(u"Закрыть чек"_s, u"closeReceiptButton"_s, box);

    auto *grid = new QGridLayout(box);
    grid->addWidget(totalButton, 0, 0);
    auto *sumRow = new QHBoxLayout;
    sumRow->addWidget(new QLabel(u"Сумма по чеку:"_s, box));
    sumRow->addWidget(m_sum, 1);
    grid->addLayout(sumRow, 0, 1, 1, 2);
    grid->addWidget(m_paymentType, 1, 0);
    grid->addWidget(m_amount, 1, 1);
    grid->addWidget(payButton, 1, 2);
    grid->addWidget(m_useTransaction, 2, 0, 1, 3);
    grid->addWidget(m_transaction, 3, 0, 1, 3);
    grid->addWidget(m_suppressCardLines, 4, 0, 1, 3);
    grid->addWidget(closeReceiptButton, 5, 0, 1, 3);

    m_guard.connect(totalButton, [this] { printTotal(); });
    m_guard.connect(payButton, [this] { pay(); });
    m_guard.connect(closeReceiptButton, [this] {
        const Outcome<> out = m_ops.closeReceipt(m_password->text(), m_display->isChecked());
        if (out.ok())
            receiptEnded();
        shown(out);
    });
    return box;
}

QWidget *TForm21::buildBarcode()
{
    auto *box = new QGroupBox(this);
    m_barcodeData = input(u"barcodeDataEdit"_s, box, u"012345678901"_s);
    m_barcodeType = kit::comboBox(u"barcodeTypeCombo"_s, box, FiscalReceipt::kBarcodeTypes);
    m_barcodeWidth = kit::comboBox(u"barcodeWidthCombo"_s, box, {u"2"_s, u"3"_s, u"4"_s});
    m_barcodeHeight = input(u"barcodeHeightEdit"_s, box, u"50"_s, 5);
    m_barcodeHeight->setToolTip(u"1 - 127"_s);
    m_barcodeDigits = kit::checkBox(u"Цифры штрих-кода"_s, u"barcodeDigitsCheck"_s, box);
    m_barcodeDigits->setToolTip(u"Выводить цифровое значение штрих-кода"_s);
    m_barcodeButton = kit::button(kDefaultBarcodeCaption, u"barcodeButton"_s, box);

    auto *form = new QFormLayout(box);
    form->addRow(m_barcodeData);
    form->addRow(u"Тип штрихкода:"_s, m_barcodeType);
    form->addRow(u"Ширина столбца штрих-кода:"_s, m_barcodeWidth);
    form->addRow(u"Высота:"_s, m_barcodeHeight);
    form->addRow(m_barcodeDigits);
    form->addRow(m_barcodeButton);

    // Only the user's choice renames the button, as the list is also set on opening.
    connect(m_barcodeType, &QComboBox::activated, this,
            [this] { m_barcodeButton->setText(u"Штрих-код "_s + m_barcodeType->currentText()); });
    m_guard.connect(m_barcodeButton, [this] { printBarcode(); });
    return box;
}

void TForm21::opened()
{
    const AppState &s = app().state();
    const bool vekr = s.modelName.contains(u"eKV-60"_s);
    m_vekrLabel->setVisible(vekr);
    m_vekrRecipient->setVisible(vekr);
    m_vekrButton->setVisible(vekr);

    m_paymentType->clear();
    const int forms = s.paymentFormCount > 0 ? s.paymentFormCount : 10;
    for (int i = 0; i < forms; ++i)
        m_paymentType->addItem(QString::number(i));
    m_paymentType->setCurrentIndex(0);
    m_displayFunction->setCurrentIndex(1);

    fillGoodsList();

    m_barcodeWidth->setCurrentIndex(0);
    m_barcodeType->setCurrentIndex(FiscalReceipt::kEan13);
    m_barcodeButton->setText(kDefaultBarcodeCaption);
    m_statusButton->setEnabled(false);
    m_errorWord->setText(u"0000"_s);
    receiptEnded();
    // A receipt kept open when the screen was last closed is still shown as it was built.
    showTally();
}

void TForm21::chooseGoods(QListWidgetItem *item)
{
    if (!item)
        return;
    m_goodsLine->setText(item->text());
    // "<код>;<наименование>;<цена>;...": the price the goods item is programmed with is
    // the one to sell at, unless the cashier types another.
    const QString price = item->text().section(u';', 2, 2).trimmed();
    if (!price.isEmpty())
        m_price->setText(price);
}

void TForm21::openReceipt()
{
    // A receipt already open would only make the registrar refuse the new one.
    const std::optional<OpenReceiptCheck::Open> open = m_openCheck.openNow();
    if (open && *open != OpenReceiptCheck::Open::None) {
        const bool charged = m_ops.cardCharged();
        if (m_openCheck.askOnOpening(*open, charged) != OpenReceiptCheck::Choice::End)
            return;
        const Outcome<> ended = m_openCheck.end(*open, m_password->text(), charged);
        shown(ended);
        if (!ended.ok())
            return;
    }
    shown(m_ops.openReceipt(m_password->text(), m_operator->text(), m_return->isChecked()));
}

void TForm21::reject()
{
    if (m_guard.busy())
        return;
    if (!m_openCheck.mayLeave(m_password->text(), false, m_ops.cardCharged()))
        return;
    m_statusButton->setEnabled(false);
    Screen::reject();
}

void TForm21::showTally()
{
    const ReceiptTally &t = m_ops.tally();
    m_receiptView->showReceipt(t.rows(), {t.total(), t.due(), t.change()});
}

void TForm21::fillGoodsList()
{
    m_goods->clear();
    GoodsListSource *source = host().provider<GoodsListSource>();
    const QString fileName = source ? source->goodsFileName() : m_ownGoodsFile;
    if (fileName.isEmpty()) {
        const QString path = m_ops.chooseGoodsFile();
        if (!path.isEmpty()) {
            if (source)
                source->loadGoodsFile(path);
            else
                m_ownGoodsLines = m_ops.loadGoodsFile(path, m_ownGoodsFile);
        }
    }
    m_goods->addItems(source ? source->goodsLines() : m_ownGoodsLines);
}

bool TForm21::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_sum && event->type() == QEvent::MouseButtonRelease)
        m_amount->setText(m_sum->text());
    return Screen::eventFilter(watched, event);
}

void TForm21::receiptEnded()
{
    // Another customer's receipt comes next: nothing of this one is carried over into it.
    m_sum->clear();
    m_useTransaction->setChecked(false);
    m_transaction->clear();
}

void TForm21::shown(const Outcome<> &outcome)
{
    kit::showErrorWord(m_errorWord, outcome);
    showTally();
    if (!outcome.sent())
        return;
    m_statusButton->setEnabled(true);
}

void TForm21::sell(bool vekr)
{
    const QString password = m_password->text();
    if (vekr)
        shown(m_ops.sellVekr(password, m_goodsLine->text(), m_quantity->text(), m_price->text(), m_vekrRecipient->text()));
    else
        shown(m_ops.sell(password, m_goodsLine->text(), m_quantity->text(), m_price->text()));
}

void TForm21::discount(bool percent, FiscalReceipt::DiscountTarget target)
{
    shown(m_ops.discount(m_password->text(), percent, target, (percent ? m_percentValue : m_absoluteValue)->text(),
                         (percent ? m_percentGroup : m_absoluteGroup)->text()));
}

void TForm21::printTotal()
{
    const Outcome<> out = m_ops.printTotal(m_password->text(), m_display->isChecked());
    shown(out);
    if (out.ok())
        m_sum->setText(out.shown.data);
}

void TForm21::pay()
{
    FiscalReceipt::Payment p;
    p.password = m_password->text();
    p.paymentType = m_paymentType->currentText().toInt();
    p.amountText = m_amount->text();
    p.useTypedTransaction = m_useTransaction->isChecked();
    p.typedTransaction = m_transaction->text();
    p.suppressCardLines = m_suppressCardLines->isChecked();
    const Outcome<FiscalReceipt::PaymentShown> out = m_ops.pay(p, app().state().cardTerminalPort);
    // The card path shows the last reply of its own: a card line's, a signature line's.
    kit::showErrorWord(m_errorWord, out.sent(), out.shown.reply.errorWord);
    showTally();
    if (!out.sent())
        return;
    m_statusButton->setEnabled(true);
    // A typed identifier is used once: the next card payment asks the terminal again.
    if (p.useTypedTransaction && (out.shown.recorded || out.uncertain)) {
        m_useTransaction->setChecked(false);
        m_transaction->clear();
    }
    // The customer has paid and the registrar does not know it: the payment is to be
    // recorded with the terminal's identifier, never charged again.
    if (out.shown.chargedNotRecorded) {
        m_useTransaction->setChecked(true);
        m_transaction->setText(out.shown.transactionId);
    }
}

void TForm21::showOnDisplay()
{
    kit::showErrorWord(m_errorWord, m_ops.showOnDisplay(m_displayFunction->currentIndex(), m_comment->text()));
}

void TForm21::printBarcode()
{
    FiscalReceipt::Barcode b;
    b.password = m_password->text();
    b.data = m_barcodeData->text();
    b.typeIndex = m_barcodeType->currentIndex();
    b.width = m_barcodeWidth->currentText();
    b.height = m_barcodeHeight->text();
    b.digits = m_barcodeDigits->isChecked();
    kit::showErrorWord(m_errorWord, m_ops.printBarcode(b));
}
