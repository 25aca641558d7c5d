#pragma once

#include <QList>
#include <QString>

class QWidget;

// The one way the window asks for a file name, so that tests can answer:
// with an answer queued, no dialog is shown and the answer is returned.
// An empty name means the user cancelled.
namespace FileDialog {

QString openFileName(QWidget* parent, const QString& caption, const QString& filter);
// `name` is the suggested file name.
QString saveFileName(QWidget* parent, const QString& caption, const QString& name, const QString& filter);

// Test hooks: the next dialog is not shown; it returns `fileName` and is recorded.
void queueAnswer(const QString& fileName);
struct Shown
{
    QString caption;
    // The suggested name; empty for an open dialog.
    QString name;
};
// Dialogs shown (or answered from the queue) since the last call; clears the record.
QList<Shown> takeShown();
// Forgets queued answers and shown dialogs, so one test cannot leak into the next.
void resetForTests();

} // namespace FileDialog
