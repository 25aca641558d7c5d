// A settings record of any length into every loader: each page's
// loadRecord, the main window's dispatch and the font dialog's. The first
// input byte can force the record id, so that every loader is reached.

#include "fonts/dialogfontsettings.h"
#include "fuzzinput.h"
#include "link/hostcmd.h"
#include "pages/widgetaudio.h"
#include "pages/widgetdeviceinformation.h"
#include "pages/widgetlan.h"
#include "pages/widgetprint.h"
#include "pages/widgetserial.h"
#include "pages/widgetwifi.h"
#include "pages/widgetwnet.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QByteArray>
#include <QTableWidget>

#include <cstdint>

namespace {

QApplication* app = nullptr;
MainWindow* window = nullptr;
DialogFontSettings* fonts = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Qt takes the options it knows out of argv: it gets a copy of its own.
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    Q_UNUSED(argc);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = new QApplication(qtArgc, qtArgv);
    // What the font dialog's refresh asks of the printer goes nowhere.
    hostCmd.setWriter([](const quint8*, quint32, int) { return true; });
    window = new MainWindow;
    fonts = new DialogFontSettings(window);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int pick = data[0] % recordsfuzz::kKeepId;
    QByteArray record(reinterpret_cast<const char*>(data + 1), int(size - 1));
    if (pick < recordsfuzz::kIdCount) {
        if (record.size() < 2)
            record.resize(2);
        record[0] = char(recordsfuzz::kIds[pick] & 0xFF);
        record[1] = char(recordsfuzz::kIds[pick] >> 8);
    }

    window->widgetSerial()->loadRecord(record);
    window->widgetAudio()->loadRecord(record);
    window->widgetPrint()->loadRecord(record);
    window->handleResponse(record);
    fonts->handleResponse(record);

    // Emptied within the input that filled them: rows left from one input
    // would count as its leak, and libFuzzer's leak check on every such
    // input costs more than the refresh.
    if (fonts->fontSettingsTable()->rowCount() > 0 || fonts->installedFontsTable()->rowCount() > 0)
        fonts->doRefresh();
    return 0;
}
