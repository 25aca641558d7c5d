#include "ui/dialogprintpreview.h"

#include "link/hostcmd.h"
#include "render/escposrenderer.h"
#include "settings/settings.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

constexpr double kZoomStep = 1.25;
constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 8.0;

} // namespace

DialogPrintPreview::DialogPrintPreview(const QByteArray& page, bool compact, Print print, QWidget* parent)
    : QDialog(parent)
    , page_(page)
    , print_(std::move(print))
{
    setWindowTitle(tr("Print Preview"));
    escpos::Options options;
    options.paper = compact ? escpos::Paper::Mm58 : escpos::Paper::Mm80;
    escpos::Image rendered = escpos::renderImage(page_, options);
    unknown_ = rendered.unknown;
    pixmap_ = QPixmap::fromImage(rendered.image);

    image_ = new QLabel(this);
    image_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(image_);
    scroll_->setAlignment(Qt::AlignHCenter);
    scroll_->setBackgroundRole(QPalette::Dark);

    auto* zoomIn = new QPushButton(tr("Zoom In"), this);
    auto* zoomOut = new QPushButton(tr("Zoom Out"), this);
    auto* zoomFit = new QPushButton(tr("Fit"), this);
    auto* zoomRow = new QHBoxLayout;
    for (QPushButton* button : {zoomIn, zoomOut, zoomFit})
        zoomRow->addWidget(button);
    zoomRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(zoomRow);
    layout->addWidget(scroll_, 1);
    // Only a page with commands the drawing skipped lists them.
    if (!unknown_.isEmpty()) {
        layout->addWidget(new QLabel(tr("Unknown commands, not drawn:"), this));
        auto* list = new QListWidget(this);
        list->addItems(unknown_);
        list->setMaximumHeight(list->sizeHintForRow(0) * 4 + 2 * list->frameWidth());
        layout->addWidget(list);
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* printButton = buttons->addButton(tr("Print"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(zoomIn, &QPushButton::clicked, this, &DialogPrintPreview::doZoomIn);
    connect(zoomOut, &QPushButton::clicked, this, &DialogPrintPreview::doZoomOut);
    connect(zoomFit, &QPushButton::clicked, this, &DialogPrintPreview::doZoomFit);
    connect(printButton, &QPushButton::clicked, this, &DialogPrintPreview::doPrint);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    resize(pixmap_.width() + 80, 640);
    setZoom(1.0);
}

void DialogPrintPreview::run(const QByteArray& page, Print print, QWidget* parent)
{
    DialogPrintPreview dialog(
        page, settings::features(hostCmd.project, hostCmd.model).compact, std::move(print), parent);
    dialog.exec();
}

void DialogPrintPreview::doPrint()
{
    if (print_)
        print_(page_);
    accept();
}

void DialogPrintPreview::doZoomIn()
{
    setZoom(zoom_ * kZoomStep);
}

void DialogPrintPreview::doZoomOut()
{
    setZoom(zoom_ / kZoomStep);
}

void DialogPrintPreview::doZoomFit()
{
    // The whole width of the paper in view; long pages scroll down.
    const int room = scroll_->viewport()->width() - scroll_->verticalScrollBar()->sizeHint().width();
    if (pixmap_.width() > 0)
        setZoom(double(std::max(room, 1)) / pixmap_.width());
}

void DialogPrintPreview::setZoom(double zoom)
{
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    const QSize size = pixmap_.size() * zoom_;
    image_->setPixmap(pixmap_.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    image_->resize(size);
}
