#include "ui/desktop_prompter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>

#include <algorithm>

namespace desktop_prompter {

namespace {

// Qt splits a filter list at ";;" and reads the patterns from the last brackets, so a
// description must not carry ";;" of its own.
QString cleanDescription(QString description)
{
    while (description.contains(QLatin1String(";;")))
        description.replace(QLatin1String(";;"), QLatin1String(";"));
    return description.trimmed();
}

QStringList patternsOf(const QString &field)
{
    QStringList patterns;
    for (const QString &p : field.split(QLatin1Char(';'))) {
        const QString t = p.trimmed();
        if (!t.isEmpty())
            patterns << t;
    }
    return patterns;
}

// The patterns a text is made of ("*.txt", "*.bmp;*.BMP", "*.a *.b"); empty when any
// word of it is no pattern.
QStringList patternWords(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[\\s;,]+"));
    const QStringList words = text.split(separators, Qt::SkipEmptyParts);
    for (const QString &w : words)
        if (!isPattern(w))
            return {};
    return words;
}

// A description that already shows its patterns, "Текстовые файлы (*.txt)" or "*.hex",
// split into the words before them and the patterns it shows.
void splitShownPatterns(const QString &description, QString &base, QStringList &shown)
{
    base = description;
    shown.clear();
    if (description.endsWith(QLatin1Char(')'))) {
        const qsizetype open = description.lastIndexOf(QLatin1Char('('));
        if (open >= 0) {
            const QStringList inside = patternWords(description.mid(open + 1, description.size() - open - 2));
            if (!inside.isEmpty()) {
                base = description.left(open).trimmed();
                shown = inside;
                return;
            }
        }
    }
    shown = patternWords(description);
    if (!shown.isEmpty())
        base.clear();
}

} // namespace

QStringList qtNameFilters(const QString &systemFilter)
{
    QStringList filters;
    if (systemFilter.trimmed().isEmpty())
        return filters;
    const QStringList parts = systemFilter.split(QLatin1Char('|'));
    for (int i = 0; i < parts.size(); i += 2) {
        QString description = cleanDescription(parts[i]);
        QString patternField;
        if (i + 1 < parts.size())
            patternField = parts[i + 1];
        else if (isPattern(description))
            patternField = description; // a lone pattern at the end
        else
            continue; // a description with nothing to match
        QStringList patterns = patternsOf(patternField);
        if (patterns.isEmpty()) {
            if (description.isEmpty())
                continue;
            patterns << QStringLiteral("*");
        }
        // A description that shows patterns of its own gets them once, together with the
        // pair's: "Текстовые файлы (*.txt)" with "*.TXT" reads "Текстовые файлы (*.txt
        // *.TXT)". The dialog compares names case-sensitively, so both spellings stay.
        QString base;
        QStringList shown;
        splitShownPatterns(description, base, shown);
        for (const QString &p : std::as_const(patterns))
            if (!shown.contains(p))
                shown << p;
        const QString joined = shown.join(QLatin1Char(' '));
        // Without words of its own the filter is its patterns, which the dialog reads
        // from a filter without brackets as well.
        filters << (base.isEmpty() ? joined : base + QStringLiteral(" (") + joined + QLatin1Char(')'));
    }
    return filters;
}

QStringList filterPatterns(const QString &qtNameFilter)
{
    QString base;
    QStringList shown;
    splitShownPatterns(qtNameFilter.trimmed(), base, shown);
    return shown;
}

QString qtFilter(const QString &systemFilter)
{
    return qtNameFilters(systemFilter).join(QLatin1String(";;"));
}

QString withDefaultExtension(const QString &path, const QString &extension)
{
    QString ext = extension.trimmed();
    while (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    if (ext.isEmpty() || isPattern(ext) || path.isEmpty())
        return path;
    const QString name = QFileInfo(path).fileName();
    if (name.isEmpty() || name.contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + ext;
}

bool isPattern(const QString &name)
{
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

QString boxCaption(const QString &caption)
{
    return caption.isEmpty() ? kProgramTitle : caption;
}

} // namespace desktop_prompter

using namespace desktop_prompter;

namespace {

// The title bar's own width beyond the caption: the window icon and the buttons.
constexpr int kTitleBarExtra = 160;

QMessageBox::Icon boxIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Error:
        return QMessageBox::Critical;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonText {
    Prompter::Button button;
    QMessageBox::StandardButton standard;
    const char16_t *text;
};

// In the order the registrar program offers them.
constexpr ButtonText kButtons[] = {
    {Prompter::Yes, QMessageBox::Yes, u"Да"},
    {Prompter::No, QMessageBox::No, u"Нет"},
    {Prompter::Ok, QMessageBox::Ok, u"OK"},
    {Prompter::Cancel, QMessageBox::Cancel, u"Отмена"},
};

// Folder and name of a dialog's start.
QString startFolder(const QString &folder)
{
    return folder.isEmpty() ? QDir::currentPath() : folder;
}

} // namespace

DesktopPrompter::DesktopPrompter(QWidget *parent) : m_parent(parent) {}

QWidget *DesktopPrompter::parentWidget() const
{
    return m_parent ? m_parent.data() : QApplication::activeWindow();
}

void DesktopPrompter::showMessage(const QString &text, const QString &caption, Icon icon)
{
    ask(text, caption, Ok, icon);
}

Prompter::Button DesktopPrompter::ask(const QString &text, const QString &caption, int buttons,
                                      Icon icon)
{
    return askBox(text, caption, buttons, 0, icon);
}

Prompter::Button DesktopPrompter::askWithDefault(const QString &text, const QString &caption, int buttons,
                                                 Button defaultButton, Icon icon)
{
    return askBox(text, caption, buttons, defaultButton, icon);
}

Prompter::Button DesktopPrompter::askBox(const QString &text, const QString &caption, int buttons,
                                         int defaultButton, Icon icon)
{
    if (!(buttons & (Ok | Cancel | Yes | No)))
        buttons = Ok;
    QMessageBox box(boxIcon(icon), boxCaption(caption), text, QMessageBox::NoButton,
                    parentWidget());
    // The registrar's texts are plain text; a "<" in them is not markup.
    box.setTextFormat(Qt::PlainText);
    // A short text would leave the box narrower than its caption, which the title bar then
    // cuts ("Сервисная п…егистратора"): the box is at least as wide as the caption with
    // the title bar's icon and buttons beside it.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        const int captionWidth = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarExtra;
        grid->addItem(new QSpacerItem(captionWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0,
                      1, grid->columnCount());
    }
    QPushButton *defaultOne = nullptr;
    for (const ButtonText &b : kButtons) {
        if (!(buttons & b.button))
            continue;
        QPushButton *pb = box.addButton(b.standard);
        pb->setText(QString::fromUtf16(b.text));
        if (!defaultOne || b.button == defaultButton)
            defaultOne = pb;
    }
    box.setDefaultButton(defaultOne);
    // Escape and the window's close button answer Cancel, else No, else OK.
    for (Button b : {Cancel, No, Ok}) {
        if (!(buttons & b))
            continue;
        for (const ButtonText &t : kButtons)
            if (t.button == b)
                box.setEscapeButton(box.button(t.standard));
        break;
    }
    box.exec();

    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (const ButtonText &b : kButtons)
        if (b.standard == clicked)
            return b.button;
    for (Button b : {Cancel, No, Ok})
        if (buttons & b)
            return b;
    return Ok;
}

QString DesktopPrompter::runFileDialog(const FileRequest &request, bool save)
{
    QStringList filters = qtNameFilters(request.filter);
    QString selectedFilter = filters.value(0);
    QString name = request.initialName.trimmed();
    if (isPattern(name)) {
        // "*.art" as the initial name: show those files first, in the first filter that
        // takes them all, else in a filter of their own.
        const QStringList wanted = patternsOf(name);
        selectedFilter.clear();
        for (const QString &f : std::as_const(filters)) {
            const QStringList offered = filterPatterns(f);
            const bool takesAll = std::all_of(wanted.begin(), wanted.end(), [&](const QString &p) {
                return offered.contains(p, Qt::CaseInsensitive);
            });
            if (takesAll) {
                selectedFilter = f;
                break;
            }
        }
        if (selectedFilter.isEmpty()) {
            selectedFilter = wanted.join(QLatin1Char(' '));
            filters.prepend(selectedFilter);
        }
        name.clear();
    }

    QString caption = request.caption;
    if (caption.isEmpty())
        caption = save ? QStringLiteral("Сохранить как") : QStringLiteral("Открыть");
    QFileDialog dialog(parentWidget(), caption, startFolder(request.initialFolder));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Папка:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Имя файла:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Тип файлов:"));
    dialog.setLabelText(QFileDialog::Accept, save ? QStringLiteral("Сохранить") : QStringLiteral("Открыть"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Отмена"));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(selectedFilter);
    }
    QString ext = request.defaultExtension.trimmed();
    while (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    if (!ext.isEmpty() && !isPattern(ext))
        dialog.setDefaultSuffix(ext);
    if (!name.isEmpty())
        dialog.selectFile(name);

    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QString path = dialog.selectedFiles().value(0);
    // A native dialog may hand back the name as typed.
    return save ? withDefaultExtension(path, request.defaultExtension) : path;
}

QString DesktopPrompter::openFile(const FileRequest &request)
{
    return runFileDialog(request, false);
}

QString DesktopPrompter::saveFile(const FileRequest &request)
{
    return runFileDialog(request, true);
}

QString DesktopPrompter::chooseFolder(const QString &caption, const QString &initialFolder)
{
    return QFileDialog::getExistingDirectory(
        parentWidget(), caption.isEmpty() ? QStringLiteral("Выбор папки") : caption,
        startFolder(initialFolder), QFileDialog::ShowDirsOnly);
}

bool installRussianQtTranslation(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        app.installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

void DesktopPrompter::beginWait(const QString &text, int limitMs)
{
    endWait();
    auto *d = new QProgressDialog(text, QStringLiteral("Отмена"), 0, qMax(limitMs, 0), parentWidget());
    d->setWindowTitle(desktop_prompter::kProgramTitle);
    // Application-modal: while the window processes events during the wait, no other
    // button of the program can start a second operation.
    d->setWindowModality(Qt::ApplicationModal);
    d->setAutoClose(false);
    d->setAutoReset(false);
    // A wait that ends at once shows nothing.
    d->setMinimumDuration(500);
    // Room around the longest waiting texts.
    d->setMinimumWidth(480);
    d->setValue(0);
    m_wait = d;
}

bool DesktopPrompter::waitCancelled(int elapsedMs)
{
    if (!m_wait)
        return false;
    if (m_wait->maximum() > 0)
        m_wait->setValue(qMin(elapsedMs, m_wait->maximum()));
    QCoreApplication::processEvents();
    return m_wait && m_wait->wasCanceled();
}

void DesktopPrompter::endWait()
{
    delete m_wait.data();
}
