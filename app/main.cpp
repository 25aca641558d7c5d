#include "app/conf.h"
#include "app/debuglog.h"
#include "link/hostcmd.h"
#include "link/transceiver.h"
#include "ui/mainwindow.h"

#include <QAbstractSocket>
#include <QApplication>
#include <QFont>
#include <QTextCodec>
#include <QTranslator>

#include <cstdint>
#include <memory>

namespace {

// The Chinese name of the Microsoft YaHei typeface, held as its GBK bytes and
// decoded as GBK whatever the local code page is.
QString cjkFontFamily()
{
    static const char gbkName[] = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";
    if (QTextCodec* gbk = QTextCodec::codecForName("GBK"))
        return gbk->toUnicode(gbkName);
    return QString::fromUtf8("\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91");
}

void chooseLanguage(QApplication& app, QTranslator& translator)
{
    const char* file = nullptr;
    if (conf.Language == 1)
        file = "translations/zh_CN.qm";
    else if (conf.Language == 2)
        file = "translations/ja_JP.qm";

    if (file) {
        // A missing file leaves English texts; the font still applies.
        (void)translator.load(QString::fromLatin1(file));
        app.installTranslator(&translator);
        app.setFont(QFont(cjkFontFamily(), 10, QFont::Normal, false));
    } else {
        app.setFont(QFont(QStringLiteral("Tahoma"), 10, QFont::Normal, false));
    }
}

} // namespace

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

    chooseLanguage(app, translator);

    // Torn down in reverse order: window, then link, then the log.
    auto link = std::make_unique<Transceiver>();
    transceiver = link.get();
    auto window = std::make_unique<MainWindow>();
    window->show();

    const int exitCode = app.exec();

    window.reset();
    transceiver = nullptr;
    link.reset();
    logClose();
    return exitCode;
}
