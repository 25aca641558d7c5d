#include "pages/widgetprint.h"

#include "app/conf.h"
#include "app/debuglog.h"
#include "fonts/dialogfontsettings.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/testpage.h"
#include "pages/formrows.h"
#include "ui/dialogprintpreview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

using Print = settings::PrintSettings;

constexpr int kCjkDisabledIndex = 5;
constexpr int kDensityStep = 15, kDensityInitial = 100;
constexpr int kQualityStep = 10, kQualityBoxStep = 5;
// The box counts whole millimetres from 20; the printer counts dots.
constexpr int kFeedMinMm = 20, kDotsPerMm = 8;
// Positions travel in 0.1 mm.
constexpr double kTenthsPerMm = 10.0;
constexpr int kPaperLayoutSpan = 9, kPositionSpan = 8;

const settings::Field& field(int index)
{
    return Print::kSchema().fields[size_t(index)];
}

QLabel* rowLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

int snapDensity(int value)
{
    const int min = int(field(Print::Density).min);
    const int q = (value - min) / kDensityStep;
    const int r = value - (min + kDensityStep * q);
    return r <= 7 ? min + kDensityStep * q : min + kDensityStep + kDensityStep * q;
}

int snapQuality(int value)
{
    const int q = value / kQualityStep;
    const int r = value - kQualityStep * q;
    return r <= 5 ? kQualityStep * q : kQualityStep * q + kQualityStep;
}

void setupSlider(QSlider* slider, const settings::Field& range, int step, int value)
{
    slider->setRange(int(range.min), int(range.max));
    slider->setSingleStep(step);
    slider->setPageStep(step);
    slider->setTickInterval(step);
    slider->setTickPosition(QSlider::TicksAbove);
    slider->setValue(value);
}

void setupSpinBox(QSpinBox* box, const settings::Field& range, int step, int value)
{
    box->setRange(int(range.min), int(range.max));
    box->setSingleStep(step);
    box->setValue(value);
}

void setupPositionBox(QDoubleSpinBox* box, const settings::Field& range)
{
    box->setRange(range.min / kTenthsPerMm, range.max / kTenthsPerMm);
    box->setSingleStep(0.1);
    box->setDecimals(2);
    box->setValue(0.0);
}

} // namespace

WidgetPrint::WidgetPrint(QWidget* parent)
    : QWidget(parent)
{
    auto* charsetGroup = new QGroupBox(tr("Default Character Set"), this);
    utf8_ = new QComboBox(charsetGroup);
    cjk_ = new QComboBox(charsetGroup);
    codePage_ = new QComboBox(charsetGroup);
    formrows::fillCombo(utf8_, field(Print::Utf8), "WidgetPrint");
    formrows::fillCombo(cjk_, field(Print::Cjk), "WidgetPrint");
    formrows::fillCombo(codePage_, field(Print::CodePage), "WidgetPrint");
    QFormLayout* charsetForm = formrows::newForm();
    charsetGroup->setLayout(charsetForm);
    charsetForm->addRow(tr("UTF-8 Mode:"), utf8_);
    charsetForm->addRow(tr("CJK:"), cjk_);
    charsetForm->addRow(tr("Code Page:"), codePage_);

    auto* printGroup = new QGroupBox(tr("Print"), this);
    densitySlider_ = new QSlider(Qt::Horizontal, printGroup);
    setupSlider(densitySlider_, field(Print::Density), kDensityStep, kDensityInitial);
    densityBox_ = new QSpinBox(printGroup);
    setupSpinBox(densityBox_, field(Print::Density), kDensityStep, kDensityInitial);
    qualitySlider_ = new QSlider(Qt::Horizontal, printGroup);
    setupSlider(qualitySlider_, field(Print::Quality), kQualityStep, 0);
    qualityBox_ = new QSpinBox(printGroup);
    setupSpinBox(qualityBox_, field(Print::Quality), kQualityBoxStep, 0);
    auto* printGrid = new QGridLayout(printGroup);
    printGrid->addWidget(rowLabel(tr("Density:"), printGroup), 0, 0);
    printGrid->addWidget(densitySlider_, 0, 1);
    printGrid->addWidget(densityBox_, 0, 2);
    printGrid->addWidget(rowLabel(tr("Quality:"), printGroup), 1, 0);
    printGrid->addWidget(qualitySlider_, 1, 1);
    printGrid->addWidget(qualityBox_, 1, 2);

    paperGroup_ = new QGroupBox(tr("Paper Layout"), this);
    paperType_ = new QComboBox(paperGroup_);
    formrows::fillCombo(paperType_, field(Print::PaperType), "WidgetPrint");
    blackMarkLocation_ = new QComboBox(paperGroup_);
    formrows::fillCombo(blackMarkLocation_, field(Print::BlackMarkLocation), "WidgetPrint");
    cutPosition_ = new QDoubleSpinBox(paperGroup_);
    setupPositionBox(cutPosition_, field(Print::CutPosition));
    printPosition_ = new QDoubleSpinBox(paperGroup_);
    setupPositionBox(printPosition_, field(Print::PrintPosition));
    auto* paperGrid = new QGridLayout(paperGroup_);
    paperGrid->addWidget(rowLabel(tr("Paper Type:"), paperGroup_), 0, 0);
    paperGrid->addWidget(paperType_, 0, 1, 1, kPaperLayoutSpan);
    paperGrid->addWidget(rowLabel(tr("Black Mark Location:"), paperGroup_), 1, 0);
    paperGrid->addWidget(blackMarkLocation_, 1, 1, 1, kPaperLayoutSpan);
    paperGrid->addWidget(rowLabel(tr("Cut Position:"), paperGroup_), 2, 0);
    paperGrid->addWidget(cutPosition_, 2, 1, 1, kPositionSpan);
    paperGrid->addWidget(new QLabel(tr(" mm above the top of black mark"), paperGroup_), 2, 9);
    paperGrid->addWidget(rowLabel(tr("Print Position:"), paperGroup_), 3, 0);
    paperGrid->addWidget(printPosition_, 3, 1, 1, kPositionSpan);
    paperGrid->addWidget(new QLabel(tr(" mm below the cut position"), paperGroup_), 3, 9);

    coverGroup_ = new QGroupBox(tr("On Cover Closed"), this);
    feed_ = new QCheckBox(tr("Feed"), coverGroup_);
    feedLength_ = new QSpinBox(coverGroup_);
    feedLength_->setRange(kFeedMinMm, int(field(Print::CoverFeed).max / kDotsPerMm));
    feedLabel_ = new QLabel(tr("mm and cut on cover closed"), coverGroup_);
    auto* coverRow = new QHBoxLayout(coverGroup_);
    coverRow->addWidget(feed_);
    coverRow->addWidget(feedLength_);
    coverRow->addWidget(feedLabel_);
    coverRow->addStretch();

    notTakenGroup_ = new QGroupBox(tr("On Paper Not Taken"), this);
    stopPrinting_ = new QCheckBox(tr("Stop Printing"), notTakenGroup_);
    voiceAlert_ = new QCheckBox(tr("Voice Alert"), notTakenGroup_);
    auto* notTakenRow = new QHBoxLayout(notTakenGroup_);
    notTakenRow->addWidget(stopPrinting_);
    notTakenRow->addWidget(voiceAlert_);
    notTakenRow->addStretch();

    fontSettings_ = new QPushButton(tr("Font Settings..."), this);
    preview_ = new QPushButton(tr("Preview..."), this);
    printTest_ = new QPushButton(tr("Print Test Page"), this);
    blackMarkTest_ = new QPushButton(tr("Black Mark Print Test"), this);
    save_ = new QPushButton(tr("Save"), this);
    // One button for both pages, each named as its print button.
    auto* previewMenu = new QMenu(preview_);
    QAction* previewTest = previewMenu->addAction(printTest_->text());
    previewBlackMark_ = previewMenu->addAction(blackMarkTest_->text());
    preview_->setMenu(previewMenu);
    QHBoxLayout* buttons = formrows::buttonRow({fontSettings_, preview_, printTest_, blackMarkTest_, save_});
    fontSettings_->setVisible(conf.FontSettingsEnabled >= 1);

    auto* page = new QVBoxLayout(this);
    for (QGroupBox* group : {charsetGroup, printGroup, paperGroup_, coverGroup_, notTakenGroup_})
        page->addWidget(group);
    page->addLayout(buttons);
    page->addStretch();

    const QList<QWidget*> tabOrder = {utf8_, cjk_, codePage_, densitySlider_, densityBox_, qualitySlider_, qualityBox_,
        paperType_, blackMarkLocation_, cutPosition_, printPosition_, stopPrinting_, voiceAlert_, fontSettings_,
        preview_, printTest_, blackMarkTest_, save_};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(fontSettings_, &QPushButton::clicked, this, &WidgetPrint::doFontSettings);
    connect(printTest_, &QPushButton::clicked, this, &WidgetPrint::doPrintTestPage);
    connect(blackMarkTest_, &QPushButton::clicked, this, &WidgetPrint::doBlackMarkPrintTest);
    connect(save_, &QPushButton::clicked, this, &WidgetPrint::doSave);
    connect(previewTest, &QAction::triggered, this, &WidgetPrint::doPreviewTestPage);
    connect(previewBlackMark_, &QAction::triggered, this, &WidgetPrint::doPreviewBlackMarkTest);
    const auto indexChanged = qOverload<int>(&QComboBox::currentIndexChanged);
    connect(cjk_, indexChanged, this, &WidgetPrint::onCjkCurrentIndexChanged);
    connect(utf8_, indexChanged, this, &WidgetPrint::onUtf8CurrentIndexChanged);
    connect(densitySlider_, &QSlider::sliderMoved, this, &WidgetPrint::onDensitySliderValueChanged);
    connect(densitySlider_, &QSlider::valueChanged, this, &WidgetPrint::onDensitySliderValueChanged);
    connect(densityBox_, qOverload<int>(&QSpinBox::valueChanged), this, &WidgetPrint::onDensitySpinBoxValueChanged);
    connect(qualitySlider_, &QSlider::sliderMoved, this, &WidgetPrint::onQualitySliderValueChanged);
    connect(qualitySlider_, &QSlider::valueChanged, this, &WidgetPrint::onQualitySliderValueChanged);
    connect(qualityBox_, qOverload<int>(&QSpinBox::valueChanged), this, &WidgetPrint::onQualitySpinBoxValueChanged);
    connect(paperType_, indexChanged, this, &WidgetPrint::onPaperTypeChanged);
    connect(feed_, &QCheckBox::stateChanged, this, &WidgetPrint::onFeedAndCutStateChanged);
    for (QComboBox* combo : {cjk_, codePage_, utf8_, paperType_, blackMarkLocation_})
        connect(combo, indexChanged, this, &WidgetPrint::onSettingsChanged);
    for (QDoubleSpinBox* box : {cutPosition_, printPosition_})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &WidgetPrint::onSettingsChanged);
    for (QCheckBox* box : {feed_, stopPrinting_, voiceAlert_})
        connect(box, &QCheckBox::stateChanged, this, &WidgetPrint::onSettingsChanged);
    connect(feedLength_, qOverload<int>(&QSpinBox::valueChanged), this, &WidgetPrint::onSettingsChanged);

    // Nothing is edited yet.
    save_->setEnabled(false);
    updateAllControls();
}

void WidgetPrint::load(const settings::PrintSettings& value)
{
    formrows::selectValue(cjk_, value.number(Print::Cjk));
    formrows::selectValue(codePage_, value.number(Print::CodePage));
    formrows::selectValue(utf8_, value.number(Print::Utf8));
    densitySlider_->setValue(int(value.number(Print::Density)));
    qualitySlider_->setValue(int(value.number(Print::Quality)));
    // A slider already at the value emits nothing, and its box would keep a
    // value the user typed off the grid.
    densityBox_->setValue(densitySlider_->value());
    qualityBox_->setValue(qualitySlider_->value());
    formrows::selectValue(paperType_, value.number(Print::PaperType));
    formrows::selectValue(blackMarkLocation_, value.number(Print::BlackMarkLocation));
    cutPosition_->setValue(value.number(Print::CutPosition) / kTenthsPerMm);
    printPosition_->setValue(value.number(Print::PrintPosition) / kTenthsPerMm);
    const qint64 feedDots = value.number(Print::CoverFeed);
    feed_->setChecked(feedDots != 0);
    if (feedDots != 0)
        feedLength_->setValue(int(feedDots / kDotsPerMm));
    stopPrinting_->setChecked(value.flag(Print::StopWhenNotTaken));
    voiceAlert_->setChecked(value.flag(Print::VoiceWhenNotTaken));
    updateAllControls();
    save_->setEnabled(false);
}

settings::PrintSettings WidgetPrint::value() const
{
    Print value;
    value.setNumber(Print::Cjk, cjk_->currentData().toLongLong());
    value.setNumber(Print::CodePage, codePage_->currentData().toLongLong());
    value.setNumber(Print::Utf8, utf8_->currentData().toLongLong());
    value.setNumber(Print::Density, densityBox_->value());
    value.setNumber(Print::Quality, qualityBox_->value());
    value.setNumber(Print::PaperType, paperType_->currentData().toLongLong());
    value.setNumber(Print::BlackMarkLocation, blackMarkLocation_->currentData().toLongLong());
    // Tenths of a millimetre, truncated toward zero.
    value.setNumber(Print::PrintPosition, qint64(printPosition_->value() * kTenthsPerMm));
    value.setNumber(Print::CutPosition, qint64(cutPosition_->value() * kTenthsPerMm));
    value.setNumber(Print::CoverFeed, feed_->isChecked() ? feedLength_->value() * kDotsPerMm : 0);
    value.setFlag(Print::StopWhenNotTaken, stopPrinting_->isChecked());
    value.setFlag(Print::VoiceWhenNotTaken, voiceAlert_->isChecked());
    return value;
}

void WidgetPrint::applyFeatures(const settings::Features& has)
{
    const bool enabled = !has.compact;
    for (QGroupBox* group : {paperGroup_, coverGroup_, notTakenGroup_}) {
        group->setEnabled(enabled);
        for (QWidget* child : group->findChildren<QWidget*>())
            child->setEnabled(enabled);
    }
}

void WidgetPrint::doFontSettings()
{
    DialogFontSettings dialog(this);
    dialog.exec();
}

QByteArray WidgetPrint::buildTestPage() const
{
    return TestPage::printTestPage(
        utf8_->currentText(), cjk_->currentText(), codePage_->currentText(), hostCmd.project, hostCmd.model);
}

QByteArray WidgetPrint::buildBlackMarkTestPage() const
{
    return TestPage::blackMarkTestPage();
}

void WidgetPrint::doPrintTestPage()
{
    TestPage::send(buildTestPage());
}

void WidgetPrint::doBlackMarkPrintTest()
{
    TestPage::send(buildBlackMarkTestPage());
}

void WidgetPrint::doPreviewTestPage()
{
    DialogPrintPreview::run(
        buildTestPage(), [](const QByteArray& page) { TestPage::send(page); }, this);
}

void WidgetPrint::doPreviewBlackMarkTest()
{
    DialogPrintPreview::run(
        buildBlackMarkTestPage(), [](const QByteArray& page) { TestPage::send(page); }, this);
}

void WidgetPrint::doSave()
{
    save_->setEnabled(false);
    if (LastRead::send(lastRead.printSettings, value().forSending()) == LastRead::Save::Failed)
        save_->setEnabled(true);
}

void WidgetPrint::updateAllControls()
{
    onUtf8CurrentIndexChanged(utf8_->currentIndex());
    onCjkCurrentIndexChanged(cjk_->currentIndex());
    onPaperTypeChanged(paperType_->currentIndex());
    // Last, so the feed length follows the feed box even with black-mark paper.
    onFeedAndCutStateChanged(feed_->checkState());
}

void WidgetPrint::onCjkCurrentIndexChanged(int index)
{
    codePage_->setEnabled(index == kCjkDisabledIndex);
}

void WidgetPrint::onUtf8CurrentIndexChanged(int index)
{
    cjk_->setEnabled(index == 0);
    codePage_->setEnabled(cjk_->currentIndex() == kCjkDisabledIndex);
}

void WidgetPrint::onDensitySliderValueChanged(int value)
{
    const int snapped = snapDensity(value);
    densitySlider_->setValue(snapped);
    densityBox_->setValue(snapped);
    save_->setEnabled(true);
}

void WidgetPrint::onDensitySpinBoxValueChanged(int value)
{
    densitySlider_->setValue(snapDensity(value));
    save_->setEnabled(true);
}

void WidgetPrint::onQualitySliderValueChanged(int value)
{
    const int snapped = snapQuality(value);
    qualitySlider_->setValue(snapped);
    qualityBox_->setValue(snapped);
    save_->setEnabled(true);
}

void WidgetPrint::onQualitySpinBoxValueChanged(int value)
{
    qualitySlider_->setValue(snapQuality(value));
    save_->setEnabled(true);
}

void WidgetPrint::onPaperTypeChanged(int index)
{
    if (index != 0 && index != 1)
        return;
    const bool blackMark = index == 1;
    blackMarkLocation_->setEnabled(blackMark);
    cutPosition_->setEnabled(blackMark);
    printPosition_->setEnabled(blackMark);
    feed_->setEnabled(!blackMark);
    feedLength_->setEnabled(!blackMark && feed_->isChecked());
    feedLabel_->setEnabled(!blackMark);
    blackMarkTest_->setEnabled(blackMark);
    previewBlackMark_->setEnabled(blackMark);
}

void WidgetPrint::onFeedAndCutStateChanged(int state)
{
    feedLength_->setEnabled(state == Qt::Checked);
}

void WidgetPrint::onSettingsChanged()
{
    save_->setEnabled(true);
}
