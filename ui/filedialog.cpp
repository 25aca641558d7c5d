#include "ui/filedialog.h"

#include <QFileDialog>

namespace {

QList<QString> queuedAnswers;
QList<FileDialog::Shown> shownDialogs;

// The queued answer, if any; records the dialog either way.
bool answerFromQueue(const QString& caption, const QString& name, QString* answer)
{
    shownDialogs.append({caption, name});
    if (queuedAnswers.isEmpty())
        return false;
    *answer = queuedAnswers.takeFirst();
    return true;
}

} // namespace

namespace FileDialog {

QString openFileName(QWidget* parent, const QString& caption, const QString& filter)
{
    QString answer;
    if (answerFromQueue(caption, QString(), &answer))
        return answer;
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& name, const QString& filter)
{
    QString answer;
    if (answerFromQueue(caption, name, &answer))
        return answer;
    return QFileDialog::getSaveFileName(parent, caption, name, filter);
}

void queueAnswer(const QString& fileName)
{
    queuedAnswers.append(fileName);
}

QList<Shown> takeShown()
{
    QList<Shown> shown;
    shown.swap(shownDialogs);
    return shown;
}

void resetForTests()
{
    queuedAnswers.clear();
    shownDialogs.clear();
}

} // namespace FileDialog
