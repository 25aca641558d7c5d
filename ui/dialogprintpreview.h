#pragma once

#include <QByteArray>
#include <QDialog>
#include <QPixmap>
#include <QStringList>

#include <functional>

class QLabel;
class QScrollArea;

// A test page drawn from the very bytes its button would send, with Print
// sending those same bytes.
class DialogPrintPreview final : public QDialog
{
    Q_OBJECT

public:
    using Print = std::function<void(const QByteArray& page)>;
    // `compact`: the printer's narrow (58 mm) paper.
    DialogPrintPreview(const QByteArray& page, bool compact, Print print, QWidget* parent = nullptr);
    // Shows `page` on the paper of the printer connected now, until closed.
    static void run(const QByteArray& page, Print print, QWidget* parent);

    const QByteArray& page() const { return page_; }
    // The unknown commands shown, each as its bytes in hex.
    const QStringList& unknown() const { return unknown_; }

public Q_SLOTS:
    void doPrint();
    void doZoomIn();
    void doZoomOut();
    void doZoomFit();

private:
    void setZoom(double zoom);

    QByteArray page_;
    Print print_;
    QStringList unknown_;
    QPixmap pixmap_;
    QLabel* image_;
    QScrollArea* scroll_;
    double zoom_ = 1.0;
};
