#pragma once

#include "scripts/goods_loader.h"
#include "ui/screen_dialog.h"

#include <QStringList>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// TForm20, "Загрузка артикулов в регистратор": a goods list file shown for review and
// editing, and programmed into the registrar line by line. The fiscal receipt screen
// takes its goods list from here through the properties and the invokable below (screen
// folders do not include each other).
class TForm20 : public Screen<TForm20> {
    Q_OBJECT
    Q_PROPERTY(QString fileName READ fileName)
    Q_PROPERTY(QStringList goodsLines READ goodsLines)
public:
    TForm20(Application &app, ScreenHost &host, QWidget *parent = nullptr);

    // The full path of the loaded file; empty until a file is loaded.
    QString fileName() const;
    // The goods lines as they stand in the screen, edits included.
    QStringList goodsLines() const;
    // "Загрузить": the file dialog, then the chosen file into the goods lines. False when
    // the user cancelled or the file could not be read (the reason has been shown).
    Q_INVOKABLE bool loadChosenFile();

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
