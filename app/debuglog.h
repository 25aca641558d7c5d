#pragma once

// Plain-text diagnostic log "log.txt" in the working directory, truncated at
// each start, one CR LF terminated line per call, safe from any thread.

#include <QByteArray>

#include <cstdio>

bool logOpen();
// The same lines on an open stream instead (the command line's --verbose).
bool logOpenStream(FILE* stream);
// Keeps every line from now on in memory as well, with or without a file:
// the command line's own log for a support archive.
void logCapture();
QByteArray logCaptured();
void logWrite(const char* sourceFile, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
void logClose();

#define LOG(...) logWrite(__FILE__, __LINE__, __VA_ARGS__)
