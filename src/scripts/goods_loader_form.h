#pragma once

#include "scripts/goods_loader.h"
#include "ui/goods_list_source.h"
#include "ui/screen_dialog.h"

#include <QStringList>

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
    void setBusy(bool busy);

    GoodsLoader m_ops;
    bool m_busy = false;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_fileName = nullptr;
    QPlainTextEdit *m_lines = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_statusPanel = nullptr;
    QList<QPushButton *> m_buttons;
};
