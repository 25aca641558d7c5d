#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

class QComboBox;
class QPushButton;

// Lets the user pick one of the computer's serial ports; the caller opens it.
class DialogSerialConnect final : public QDialog
{
    Q_OBJECT

public:
    struct Port
    {
        QString description;
        QString portName;
    };
    using PortSource = std::function<QList<Port>()>;

    explicit DialogSerialConnect(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The bare port name (for example "ttyUSB0"), set when the dialog is accepted.
    QString portName() const { return portName_; }

    // Where the port list comes from; tests replace the system's list. An
    // empty source restores it.
    static void setPortSource(PortSource source);

public Q_SLOTS:
    void doOk();
    void doCancel();

private:
    QComboBox* port_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QString portName_;
};
