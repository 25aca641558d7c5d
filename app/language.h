#pragma once

#include <QFont>
#include <QString>

class QTranslator;

// The Chinese name of the Microsoft YaHei typeface, whatever the local code page.
QString cjkFontFamily();

// Installs `translator` with the texts of conf.Language, read from
// translations/ in the working directory, and returns the application font
// for that language, which the caller sets with QApplication::setFont before
// any widget is made.
QFont chooseLanguage(QTranslator& translator);
