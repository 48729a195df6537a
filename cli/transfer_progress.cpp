#include "cli/transfer_progress.h"

#include "cli/output.h"

#include <algorithm>

#include <unistd.h>

namespace cli {

namespace {
constexpr qint64 kLineIntervalMs = 1000;
constexpr qint64 kBarIntervalMs = 100;
constexpr int kBarWidth = 30;
} // namespace

ProgressReporter::ProgressReporter(FILE *err, const QString &label)
    : ProgressReporter(err, label, ::isatty(::fileno(err)) == 1)
{
}

ProgressReporter::ProgressReporter(FILE *err, const QString &label, bool terminal, const Clock &clock)
    : m_err(err), m_label(label), m_terminal(terminal), m_clock(clock)
{
}

QString ProgressReporter::line(const QString &label, qint64 done, qint64 total)
{
    const qint64 percent = total > 0 ? std::clamp<qint64>(done * 100 / total, 0, 100) : 100;
    return QStringLiteral("%1: %2% (%3 of %4 bytes)").arg(label).arg(percent).arg(done).arg(total);
}

QString ProgressReporter::bar(qint64 done, qint64 total, int width)
{
    const qint64 filled = total > 0 ? std::clamp<qint64>(done * width / total, 0, width) : width;
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('-'))
           + QLatin1Char(']');
}

void ProgressReporter::update(qint64 done, qint64 total)
{
    m_done = done;
    m_total = total;
    draw(false);
}

void ProgressReporter::draw(bool force)
{
    const qint64 interval = m_terminal ? kBarIntervalMs : kLineIntervalMs;
    if (!force && m_started && m_clock.nowMs() - m_lastMs < interval)
        return;
    if (!force && m_done == m_shownDone)
        return;
    m_started = true;
    m_lastMs = m_clock.nowMs();
    m_shownDone = m_done;
    QByteArray text;
    if (m_terminal) {
        text = '\r' + (bar(m_done, m_total, kBarWidth) + QLatin1Char(' ') + line(m_label, m_done, m_total)).toUtf8();
        m_barOpen = true;
    } else {
        text = line(m_label, m_done, m_total).toUtf8() + '\n';
    }
    printText(m_err, text);
}

void ProgressReporter::breakLine()
{
    if (!m_barOpen)
        return;
    std::fputc('\n', m_err);
    m_barOpen = false;
}

void ProgressReporter::finish()
{
    if (m_started && m_done != m_shownDone)
        draw(true);
    breakLine();
}

void TransferPrompter::showMessage(const QString &text, const QString &caption, Icon icon)
{
    if (m_progress)
        m_progress->finish();
    m_cli.showMessage(text, caption, icon);
}

Prompter::Button TransferPrompter::ask(const QString &text, const QString &caption, int buttons, Icon icon)
{
    if (m_progress)
        m_progress->breakLine();
    return m_cli.ask(text, caption, buttons, icon);
}

} // namespace cli
