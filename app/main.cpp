#include "app/conf.h"
#include "app/debuglog.h"
#include "app/language.h"
#include "link/hostcmd.h"
#include "link/transceiver.h"
#include "ui/mainwindow.h"

#include <QAbstractSocket>
#include <QApplication>
#include <QGuiApplication>
#include <QTranslator>

#include <cstdint>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTranslator translator;

    logOpen();
    conf.load();
    if (conf.FileVersion != 1)
        conf.save();
    hostCmd.setKeys(conf.defaultKey, conf.iv);

    qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");
    qRegisterMetaType<host_cmd_dev_info_t>("host_cmd_dev_info_t");
    qRegisterMetaType<uint32_t>("uint32_t");

    QApplication::setFont(chooseLanguage(translator));

    // Torn down in reverse order: window, then link, then the log.
    auto link = std::make_unique<Transceiver>();
    transceiver = link.get();
    link->setModifierSource(&QGuiApplication::keyboardModifiers);
    auto window = std::make_unique<MainWindow>();
    window->show();

    const int exitCode = app.exec();

    window.reset();
    transceiver = nullptr;
    link.reset();
    logClose();
    return exitCode;
}
