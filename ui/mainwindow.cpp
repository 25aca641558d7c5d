#include "ui/mainwindow.h"

MainWindow* mainWindow = nullptr;

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    mainWindow = this;
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    setWindowTitle(tr("TOVRA Cloud Printer Setup %1").arg(QLatin1String(kVersion)));
}

MainWindow::~MainWindow()
{
    mainWindow = nullptr;
}

QSize MainWindow::sizeHint() const
{
    return QSize(640, 600);
}
