#pragma once

#include <QMessageBox>

// The one way pages and dialogs show message boxes, so that tests can answer
// them: with an answer queued, no box is shown and the answer is returned.
namespace MessageBox {

QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No);
QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text);
QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text);
QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text);
// Asked before unsaved settings are overwritten or thrown away; true when the
// user agrees to lose them.
bool unsavedSettingsMayBeLost(QWidget* parent);

// Test hooks: the next box is not shown; it returns `answer` and is recorded.
void queueAnswer(QMessageBox::StandardButton answer);
struct Shown
{
    QString title;
    QString text;
};
// Boxes shown (or answered from the queue) since the last call; clears the record.
QList<Shown> takeShown();
// Forgets queued answers and shown boxes, so one test cannot leak into the next.
void resetForTests();

} // namespace MessageBox
