// TForm6, "Программирования логотипа": the user logo from a picture.
#include "tools/logo_programming_form.h"

#include "app/application.h"
#include "ui/form_kit.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

class TForm6::View final : public transfer::View {
public:
    explicit View(TForm6 &form) : m_form(form) {}
    void processEvents() override { QCoreApplication::processEvents(); }
    void progress(qint64 value, qint64 maximum) override
    {
        // A maximum of 0 would turn the bar into a busy indicator.
        m_form.m_progress->setMaximum(int(std::clamp<qint64>(maximum, 1, INT_MAX)));
        m_form.m_progress->setValue(int(qMin<qint64>(value, INT_MAX)));
        m_form.m_progress->repaint();
    }

private:
    TForm6 &m_form;
};

TForm6::TForm6(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(LogoProgramming::kCaption);
    m_password = kit::passwordEdit(this);
    m_maxWidth = kit::display(u"maxWidthEdit"_s, this, 6);
    m_maxHeight = kit::display(u"maxHeightEdit"_s, this, 6);
    m_pictureWidth = kit::display(u"pictureWidthEdit"_s, this, 6);
    m_pictureHeight = kit::display(u"pictureHeightEdit"_s, this, 6);
    m_width = kit::edit(u"widthEdit"_s, this, 6, 6);
    m_height = kit::edit(u"heightEdit"_s, this, 6, 6);
    m_picture = new QLabel(this);
    m_picture->setObjectName(u"pictureLabel"_s);
    m_picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"programProgress"_s);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_open = kit::button(u"Открыть"_s, u"openButton"_s, this);
    m_program = kit::button(u"Программировать"_s, u"programButton"_s, this);
    m_close = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *form = kit::formRows({
        {u"Пароль для программирования:"_s, m_password},
        {u"Максимальный размер логотипа (по X, в пикселях):"_s, m_maxWidth},
        {u"Максимальный размер логотипа (по Y, в пикселях):"_s, m_maxHeight},
        {u"Размер рисунка (по X, в пикселях):"_s, m_pictureWidth},
        {u"Размер рисунка (по Y, в пикселях):"_s, m_pictureHeight},
        {u"Размер для загрузки (по X):"_s, m_width},
        {u"Размер для загрузки (по Y):"_s, m_height},
    });

    auto *view = new QGroupBox(u"Вид логотипа"_s, this);
    view->setObjectName(u"logoGroup"_s);
    auto *scroll = new QScrollArea(view);
    scroll->setWidget(m_picture);
    scroll->setWidgetResizable(false);
    scroll->setMinimumSize(400, 160);
    (new QVBoxLayout(view))->addWidget(scroll);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(view, 1);
    layout->addWidget(m_progress);
    layout->addLayout(kit::buttonRow({m_open, m_program, m_close}));

    m_controls = std::make_unique<TransferControls>(
        QList<QWidget *>{m_password, m_width, m_height, m_open, m_program, m_close}, nullptr);
    connect(m_open, &QPushButton::clicked, this, &TForm6::openPicture);
    connect(m_program, &QPushButton::clicked, this, &TForm6::program);
    connect(m_close, &QPushButton::clicked, this, &TForm6::reject);
}

void TForm6::opened()
{
    m_program->setEnabled(!m_ops.picture().isNull());
    m_progress->setValue(0);
    m_maxWidth->clear();
    m_maxHeight->clear();
    const Outcome<LogoProgramming::Maxima> out = m_ops.readMaxima(m_password->text());
    if (out.shown.width >= 0)
        m_maxWidth->setText(QString::number(out.shown.width));
    if (out.shown.height >= 0)
        m_maxHeight->setText(QString::number(out.shown.height));
}

void TForm6::reject()
{
    // Lines already sent cannot be taken back: the logo is finished first.
    if (m_controls->busy())
        return;
    Screen::reject();
}

void TForm6::openPicture()
{
    if (!m_ops.openPicture())
        return;
    const QImage &picture = m_ops.picture();
    m_picture->setPixmap(QPixmap::fromImage(picture));
    m_picture->resize(picture.size());
    m_program->setEnabled(true);
    m_pictureWidth->setText(QString::number(picture.width()));
    m_pictureHeight->setText(QString::number(picture.height()));
    const QSize send = m_ops.sizeToSend();
    m_width->setText(QString::number(send.width()));
    m_height->setText(QString::number(send.height()));
}

void TForm6::program()
{
    View view(*this);
    QSize sent;
    {
        TransferControls::Guard busy(*m_controls);
        m_ops.program(m_password->text(), m_width->text(), m_height->text(), sent, view);
    }
    if (sent.isValid()) {
        m_width->setText(QString::number(sent.width()));
        m_height->setText(QString::number(sent.height()));
    }
}
