#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QTimer>

// Closes every modal dialog that opens while it exists and remembers its
// class, so a dialog run by the window cannot hang the test. Dialogs of the
// classes in `spare` are left open (a progress dialog the test drives) and
// only listed in `opened`.
class ModalCloser final : public QObject
{
public:
    explicit ModalCloser(QStringList spare = {})
        : spare_(std::move(spare))
    {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog == last_)
                return;
            const QString name = QString::fromLatin1(dialog->metaObject()->className());
            if (!opened.contains(name))
                opened.append(name);
            if (spare_.contains(name))
                return;
            last_ = dialog;
            seen.append(name);
            parents.append(dialog->parent());
            dialog->reject();
        });
        timer_.start();
    }

    QStringList seen;
    QStringList opened;
    QList<QObject*> parents;

private:
    QStringList spare_;
    QTimer timer_;
    QPointer<QDialog> last_;
};
