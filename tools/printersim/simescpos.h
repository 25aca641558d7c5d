#pragma once

#include <QByteArray>
#include <QString>

// Plain text of an ESC/POS print job, for eyes and for tests: text as UTF-8,
// LF as a line break, and every command as a mark in brackets where it
// stands, e.g. "[align center]", "[double height]", "[cut full]",
// "[feed to print start]", "[GS ( E 06 03 01]". Commands the renderer does
// not know show as their bytes in hex ("[1B 74]"), as do other control bytes.
QString renderEscPos(const QByteArray& job);
