#include "ui/messagebox.h"

#include <QCoreApplication>
#include <QList>

namespace {

QList<QMessageBox::StandardButton> queuedAnswers;
QList<MessageBox::Shown> shownBoxes;

QMessageBox::StandardButton show(QMessageBox::Icon icon, QWidget* parent, const QString& title, const QString& text,
    QMessageBox::StandardButtons buttons)
{
    shownBoxes.append({title, text});
    if (!queuedAnswers.isEmpty())
        return queuedAnswers.takeFirst();
    QMessageBox box(icon, title, text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

} // namespace

namespace MessageBox {

QMessageBox::StandardButton question(
    QWidget* parent, const QString& title, const QString& text, QMessageBox::StandardButtons buttons)
{
    return show(QMessageBox::Question, parent, title, text, buttons);
}

QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text)
{
    return show(QMessageBox::Information, parent, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text)
{
    return show(QMessageBox::Warning, parent, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text)
{
    return show(QMessageBox::Critical, parent, title, text, QMessageBox::Ok);
}

bool unsavedSettingsMayBeLost(QWidget* parent)
{
    return question(parent, QCoreApplication::translate("MessageBox", "Attention"),
               QCoreApplication::translate("MessageBox", "Unsaved settings will be lost. Continue?"),
               QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void queueAnswer(QMessageBox::StandardButton answer)
{
    queuedAnswers.append(answer);
}

QList<Shown> takeShown()
{
    QList<Shown> shown;
    shown.swap(shownBoxes);
    return shown;
}

void resetForTests()
{
    queuedAnswers.clear();
    shownBoxes.clear();
}

} // namespace MessageBox
