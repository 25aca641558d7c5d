#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

// Closes every modal dialog that opens while it exists and remembers its
// class, so a dialog run by the window cannot hang the test. Dialogs of the
// classes in `spare` are left open (a progress dialog the test drives);
// those of the class given to drive() go to the test's function instead,
// counted in `driven`.
class ModalCloser final : public QObject
{
public:
    explicit ModalCloser(QStringList spare = {})
        : spare_(std::move(spare))
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            const QString name = dialog ? QString::fromLatin1(dialog->metaObject()->className()) : QString();
            if (!dialog || dialog == last_ || spare_.contains(name))
                return;
            last_ = dialog;
            if (drive_ && drive_(dialog)) {
                ++driven;
                return;
            }
            seen.append(name);
            dialog->reject();
        });
        timer_.start(10);
    }

    template <typename T> void drive(std::function<void(T*)> act)
    {
        drive_ = [act = std::move(act)](QDialog* dialog) {
            auto* wanted = qobject_cast<T*>(dialog);
            if (wanted)
                act(wanted);
            return wanted != nullptr;
        };
    }

    QStringList seen;
    int driven = 0;

private:
    QStringList spare_;
    std::function<bool(QDialog*)> drive_;
    QTimer timer_;
    QPointer<QDialog> last_;
};
