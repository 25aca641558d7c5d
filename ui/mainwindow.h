#pragma once

#include <QMainWindow>

// The application's only top-level window.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr const char* kVersion = "v1.5";

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QSize sizeHint() const override;
};

extern MainWindow* mainWindow;
