#pragma once

#include "app/version.h"
#include "settings/settingsfile.h"
#include "ui/dialogreconnect.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>

#include <optional>

class PrinterSession;
class QLabel;
class QTabWidget;
class QToolBar;
class WidgetAudio;
class WidgetDeviceInformation;
class WidgetLan;
class WidgetPrint;
class WidgetSerial;
class WidgetWiFi;
class WidgetWnet;

// The application's only top-level window: follows the link, chooses the
// tabs by printer model, requests the settings and hands every reply to the
// page that shows it.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr const char* kVersion = kProgramVersion;
    // Tab indexes, in the order the tabs are shown.
    enum Tab { DeviceInformationTab, EthernetTab, WnetTab, WiFiTab, SerialTab, AudioTab, PrintTab };
    static constexpr int kReloadLockMs = 100;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QSize sizeHint() const override;

    QAction* connectAction() const { return connectAction_; }
    QAction* disconnectAction() const { return disconnectAction_; }
    QAction* reloadAction() const { return reloadAction_; }
    QAction* exportAction() const { return exportAction_; }
    QAction* importAction() const { return importAction_; }
    QAction* diagnosticsAction() const { return diagnosticsAction_; }
    QAction* preferencesAction() const { return preferencesAction_; }
    QAction* aboutAction() const { return aboutAction_; }
    QToolBar* toolBar() const { return toolBar_; }
    QTabWidget* tabWidget() const { return tabWidget_; }
    WidgetDeviceInformation* widgetDeviceInformation() const { return widgetDeviceInformation_; }
    WidgetLan* widgetLan() const { return widgetLan_; }
    WidgetWnet* widgetWnet() const { return widgetWnet_; }
    WidgetWiFi* widgetWiFi() const { return widgetWiFi_; }
    WidgetSerial* widgetSerial() const { return widgetSerial_; }
    WidgetAudio* widgetAudio() const { return widgetAudio_; }
    WidgetPrint* widgetPrint() const { return widgetPrint_; }
    QLabel* statusLabel() const { return statusLabel_; }

public Q_SLOTS:
    void doConnect();
    void doDisconnect();
    void doReload();
    void doExportSettings();
    void doImportSettings();
    void doSaveDiagnostics();
    void doPreferences();
    void doAbout();
    void onConnected();
    void onDisconnected();
    void handleResponse(QByteArray response);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void buildUi();
    void showDisconnected();
    bool hasUnsavedSettings() const;
    void disableSaveButtons();
    // Reads everything through `session`, with the file actions and Reload
    // held off meanwhile; empty, the user told, on failure.
    std::optional<settings::PrinterState> readPrinter(PrinterSession& session);
    void setBusy(bool busy);
    // Reload, Export and Import: while connected, with no reload lock and no
    // session step running.
    void updateReadActions();

    QAction* connectAction_ = nullptr;
    QAction* disconnectAction_ = nullptr;
    QAction* reloadAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* importAction_ = nullptr;
    QAction* diagnosticsAction_ = nullptr;
    QAction* preferencesAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QTabWidget* tabWidget_ = nullptr;
    WidgetDeviceInformation* widgetDeviceInformation_ = nullptr;
    WidgetLan* widgetLan_ = nullptr;
    WidgetWnet* widgetWnet_ = nullptr;
    WidgetWiFi* widgetWiFi_ = nullptr;
    WidgetSerial* widgetSerial_ = nullptr;
    WidgetAudio* widgetAudio_ = nullptr;
    WidgetPrint* widgetPrint_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    int reloadLockTimer_ = 0;
    // A session step runs: a reload now would mix its replies into the step's.
    bool busy_ = false;
    // Serial numbers from the handshake: of the printer that answered last,
    // and of the one the pages were loaded from.
    std::optional<QByteArray> answeredSerial_;
    std::optional<QByteArray> loadedSerial_;
    ReconnectBackoff backoff_;
    // Since the link last came up.
    QElapsedTimer linkUp_;
};

extern MainWindow* mainWindow;
