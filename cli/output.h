#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

struct Verdict;

namespace cli {

// Everything dizivu-cli prints goes through these: results on standard output as key=value
// lines, messages and progress on standard error, in UTF-8 and out at once (a progress
// line or a step's result shows as it ends, even when the stream is a pipe).

// Text as it stands, no line break added.
void printText(FILE *f, const QByteArray &bytes);
// One line.
void printLine(FILE *f, const QString &text);
// "dizivu-cli: TEXT" on standard error; returns `status`, so a verb can end with it.
int fail(FILE *err, int status, const QString &text);

// The value of an `error=` key: the registrar's error word of the exchange that decided
// the outcome when its reply came ("0000" or an error), else how that exchange failed:
// no-reply, nak, check-mismatch, refused (nothing sent); `settled` when the reply was lost
// and the registrar's own state showed the command carried out.
QString errorValue(const Verdict &verdict);
// "KEY=VALUE" with errorValue(): `key` is "error", or "STEP.error" for a step of a verb
// that runs several.
void printError(FILE *out, const QString &key, const Verdict &verdict);

} // namespace cli
