// The floor under the application's start-up and memory: the least Qt
// Widgets program with a window of the same shape (a tool bar of four
// actions, seven tabs with as many rows of labels and fields as the
// application's pages, a status bar), timed and measured the same way: it
// prints "painted" at its first frame, then its peak memory, and exits.

#include "benchsupport.h"

#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// Per tab: labels, fields and buttons, as `tovra-bench-startup
// --bench-connect --bench-shape` counts them on the application's pages.
// Labels and fields pair up into form rows; the rest stand alone.
struct Page
{
    const char* title;
    int labels;
    int fields;
    int buttons;
};
constexpr Page kPages[] = {
    {"Device Information", 12, 12, 0},
    {"Ethernet", 5, 5, 2},
    {"4G", 13, 13, 3},
    {"Wi-Fi", 6, 6, 3},
    {"Serial", 4, 4, 2},
    {"Audio", 5, 0, 7},
    {"Print Settings", 12, 15, 7},
};

QWidget* makePage(const Page& shape)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    for (int row = 0; row < qMax(shape.labels, shape.fields); ++row) {
        QLabel* label = row < shape.labels ? new QLabel(QStringLiteral("Setting %1:").arg(row + 1), page) : nullptr;
        QLineEdit* field = row < shape.fields ? new QLineEdit(page) : nullptr;
        if (label && field)
            form->addRow(label, field);
        else if (label)
            form->addRow(label);
        else
            form->addRow(field);
    }
    for (int button = 0; button < shape.buttons; ++button)
        layout->addWidget(new QPushButton(QStringLiteral("Button %1").arg(button + 1), page));
    layout->addStretch();
    return page;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    bench::FirstFrame frame([](const QWidget* window) { return qobject_cast<const QMainWindow*>(window) != nullptr; },
        [] {
            bench::reportPainted();
            bench::reportPeak();
            QCoreApplication::exit(0);
        });

    QMainWindow window;
    auto* tools = new QToolBar(&window);
    const QStyle* style = window.style();
    tools->addAction(style->standardIcon(QStyle::SP_DialogOpenButton), QStringLiteral("Connect"));
    tools->addAction(style->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Disconnect"));
    tools->addAction(style->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("Reload"));
    tools->addAction(style->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("Preferences"));
    tools->setIconSize(QSize(32, 32));
    tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    window.addToolBar(tools);

    auto* tabs = new QTabWidget(&window);
    for (const Page& page : kPages)
        tabs->addTab(makePage(page), QString::fromLatin1(page.title));
    window.setCentralWidget(tabs);
    window.statusBar()->addWidget(new QLabel(QStringLiteral("Not Connected"), &window));
    window.resize(640, 600);
    window.show();
    return app.exec();
}
