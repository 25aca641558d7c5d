#include "app/language.h"

#include "app/conf.h"

#include <QCoreApplication>
#include <QTextCodec>
#include <QTranslator>

QString cjkFontFamily()
{
    // Held as its GBK bytes and decoded as GBK.
    static const char gbkName[] = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA";
    if (QTextCodec* gbk = QTextCodec::codecForName("GBK"))
        return gbk->toUnicode(gbkName);
    return QString::fromUtf8("\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91");
}

QFont chooseLanguage(QTranslator& translator)
{
    const char* file = nullptr;
    if (conf.Language == 1)
        file = "translations/zh_CN.qm";
    else if (conf.Language == 2)
        file = "translations/ja_JP.qm";

    if (!file)
        return QFont(QStringLiteral("Tahoma"), 10, QFont::Normal, false);
    // A missing file leaves English texts; the font still applies.
    (void)translator.load(QString::fromLatin1(file));
    QCoreApplication::installTranslator(&translator);
    return QFont(cjkFontFamily(), 10, QFont::Normal, false);
}
