#pragma once

#include "scripts/goods_loader.h"
#include "ui/goods_list_source.h"
#include "ui/screen_dialog.h"
#include "ui/transfer_controls.h"

#include <QStringList>

#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// TForm20, "Загрузка артикулов в регистратор": a goods list file shown for review and
// editing, and programmed into the registrar line by line. The fiscal receipt screen
// sells from its goods list (GoodsListSource).
class TForm20 : public Screen<TForm20>, public GoodsListSource {
    Q_OBJECT
public:
    TForm20(Application &app, ScreenHost &host, QWidget *parent = nullptr);

    QString goodsFileName() const override;
    QStringList goodsLines() const override;
    bool loadGoodsFile(const QString &path) override;
    // "Загрузить": the file dialog, then the chosen file into the goods lines.
    void loadChosenFile();

public slots:
    void reject() override;

private:
    void writeAll();

    GoodsLoader m_ops;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_fileName = nullptr;
    QPlainTextEdit *m_lines = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_statusPanel = nullptr;
    // While the lines go out: the buttons disabled, the list not editable, the window
    // kept open (the loading has no stop).
    std::unique_ptr<TransferControls> m_controls;
};
