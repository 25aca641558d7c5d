// Drawing the black-mark test page, beside its floor: the page's lines of
// text drawn with QPainter alone, in the same font on paper of the same size.

#include "link/testpage.h"
#include "render/escposrenderer.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

QByteArray page()
{
    TestPage::setClock([] { return QDateTime(QDate(2026, 12, 7), QTime(8, 0)); });
    return TestPage::blackMarkTestPage();
}

void renderBlackMarkPage(benchmark::State& state)
{
    const QByteArray job = page();
    const escpos::Image first = escpos::renderImage(job);
    if (!first.unknown.isEmpty() || first.image.isNull()) {
        state.SkipWithError("the page has unknown commands");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(escpos::renderImage(job).image.height());
    state.counters["height_dots"] = first.image.height();
}
BENCHMARK(renderBlackMarkPage)->Unit(benchmark::kMillisecond);

// The same text, one drawText a line, each at its line's place; no parsing,
// no wrapping, no marks.
void drawTextFloor(benchmark::State& state)
{
    const QByteArray job = page();
    QStringList lines {QString()};
    escpos::parse(job, [&](const escpos::Command& command) {
        if (command.kind == escpos::Command::Text)
            lines.last() += QString::fromUtf8(command.bytes);
        else if (command.kind == escpos::Command::LineFeed)
            lines.append(QString());
    });
    const QSize size = escpos::renderImage(job).image.size();
    QFont font(QStringLiteral("Noto Sans Mono CJK SC"));
    font.setPixelSize(escpos::kCharHeight);
    for (auto _ : state) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(font);
        int y = escpos::kCharHeight;
        for (const QString& line : lines) {
            painter.drawText(0, y, line);
            y += escpos::kLineAdvance;
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(drawTextFloor)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // Fonts need a GUI application; it never shows a window.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
