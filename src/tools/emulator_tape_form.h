#pragma once

#include "ui/screen_dialog.h"

#include <QByteArray>
#include <QString>

class QFileSystemWatcher;
class QLabel;
class QPlainTextEdit;
class QTimer;

// "Лента эмулятора": what the built-in emulator prints, followed live while the program
// is connected to it, in a monospaced font at the width of the registrar's line. It stays
// open beside the other screens (the property "modeless" asks the main window for that).
class EmulatorTapeWindow : public Screen<EmulatorTapeWindow> {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Лента эмулятора");
    static inline const QString kNotConnected =
        QStringLiteral("Программа не подключена к эмулятору регистратора: ленты нет.");
    // Characters of one printed line of the emulated registrar (its wide tape).
    static constexpr int kLineChars = 48;
    // Lines kept on screen; older ones scroll away.
    static constexpr int kMaxLines = 50000;
    static constexpr int kPollMs = 250;
    // Lines of tape in view: usually, and at least.
    static constexpr int kShownLines = 30;
    static constexpr int kMinLines = 8;

    EmulatorTapeWindow(Application &app, ScreenHost &host, QWidget *parent = nullptr);

    // Reads what was appended to the tape since the last look; the timer and the file
    // watcher call it.
    void poll();
    QSize sizeHint() const override;

protected:
    void opened() override;
    void hideEvent(QHideEvent *event) override;

private:
    void follow(const QString &path);

    QPlainTextEdit *m_tape = nullptr;
    QLabel *m_stateLabel = nullptr;
    QTimer *m_timer = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    QString m_path;
    qint64 m_offset = 0;
    QByteArray m_partial; // a line not yet ended
};
