// The ESC/POS renderer on any bytes: read out as text, and drawn on the
// paper and in the text mode the first byte picks.

#include "render/escposrenderer.h"

#include <QGuiApplication>

#include <cstdint>

namespace {

QGuiApplication* app = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Fonts need a GUI application; it never shows a window.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = new QGuiApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray job(reinterpret_cast<const char*>(data + 1), int(size - 1));
    escpos::renderText(job);
    escpos::Options options;
    options.paper = data[0] & 1 ? escpos::Paper::Mm58 : escpos::Paper::Mm80;
    options.utf8 = !(data[0] & 2);
    const escpos::Image page = escpos::renderImage(job, options);
    if (page.image.width() != escpos::paperDots(options.paper) || page.image.height() > escpos::kMaxHeight)
        __builtin_trap();
    return 0;
}
