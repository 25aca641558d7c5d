#include "pages/widgetprint.h"

#include "app/conf.h"
#include "app/debuglog.h"
#include "fonts/dialogfontsettings.h"
#include "link/hostcmd.h"
#include "link/lastread.h"
#include "link/testpage.h"
#include "settings/recordlayouts.h"
#include "settings/records.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <iterator>

namespace {

constexpr int kCjkDisabledIndex = 5;
constexpr int kDensityMin = 70, kDensityMax = 130, kDensityStep = 15, kDensityInitial = 100;
constexpr int kQualityMax = 100, kQualityStep = 10, kQualityBoxStep = 5;
constexpr int kFeedMinMm = 20, kFeedMaxMm = 200, kDotsPerMm = 8;
// Black-mark constants the printer expects with black-mark paper.
constexpr quint32 kBlackMarkAValue = 2000, kBlackMarkBValue = 100;
constexpr int kPaperLayoutSpan = 9, kPositionSpan = 8;

// The printer's code pages; the item data is the number in parentheses.
const struct
{
    int number;
    const char* text;
} kCodePages[] = {
    {0, "(0) CP437: USA, Standard Europe"},
    {1, "(1) Katakana"},
    {2, "(2) CP850: Multilingual"},
    {3, "(3) CP860: Portuguese"},
    {4, "(4) CP863: Canadian-French"},
    {5, "(5) CP865: Nordic"},
    {11, "(11) CP851: Greek"},
    {12, "(12) CP853: Turkish"},
    {13, "(13) CP857: Turkish"},
    {14, "(14) CP737: Greek"},
    {15, "(15) ISO8859-7: Greek"},
    {16, "(16) CP1252"},
    {17, "(17) CP866: Cyrillic #2"},
    {18, "(18) CP852: Latin2"},
    {19, "(19) CP858: Euro"},
    {20, "(20) KU42: Thai"},
    {21, "(21) TIS11: Thai"},
    {26, "(26) TIS18: Thai"},
    {30, "(30) TCVN-3: Vientamese"},
    {31, "(31) TCVN-3: Vientamese"},
    {32, "(32) CP720: Arabic"},
    {33, "(33) CP775: Baltic Rim"},
    {34, "(34) CP855: Cylillic"},
    {35, "(35) CP861: Icelandic"},
    {36, "(36) CP862: Hebrew"},
    {37, "(37) CP864: Arabic"},
    {38, "(38) CP869: Greek"},
    {39, "(39) ISO8859-2: Latin2"},
    {40, "(40) ISO8859-15: Latin9"},
    {42, "(42) CP1118: Lithuanian"},
    {44, "(44) CP1125: Ukranian"},
    {45, "(45) CP1250: Latin 2"},
    {46, "(46) CP1251: Cyrillic"},
    {47, "(47) CP1253: Greek"},
    {48, "(48) CP1254: Turkish"},
    {49, "(49) CP1255: Hebrew"},
    {50, "(50) CP1256: Arabic"},
    {51, "(51) CP1257: Baltic Rim"},
    {52, "(52) CP1258: Vientamese"},
    {53, "(53) KZ1048: Kazakhstan"},
};
static_assert(std::size(kCodePages) == 40, "forty code pages are offered");

// The item with `data`, or the first item when none has it.
void selectByData(QComboBox* combo, qint64 data)
{
    const int index = combo->findData(QVariant::fromValue(int(data)));
    combo->setCurrentIndex(index < 0 ? 0 : index);
}

QLabel* rowLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

int snapDensity(int value)
{
    const int q = (value - kDensityMin) / kDensityStep;
    const int r = value - (kDensityMin + kDensityStep * q);
    return r <= 7 ? kDensityMin + kDensityStep * q : kDensityMin + kDensityStep + kDensityStep * q;
}

int snapQuality(int value)
{
    const int q = value / kQualityStep;
    const int r = value - kQualityStep * q;
    return r <= 5 ? kQualityStep * q : kQualityStep * q + kQualityStep;
}

void setupSlider(QSlider* slider, int min, int max, int step, int value)
{
    slider->setRange(min, max);
    slider->setSingleStep(step);
    slider->setPageStep(step);
    slider->setTickInterval(step);
    slider->setTickPosition(QSlider::TicksAbove);
    slider->setValue(value);
}

void setupSpinBox(QSpinBox* box, int min, int max, int step, int value)
{
    box->setRange(min, max);
    box->setSingleStep(step);
    box->setValue(value);
}

void setupPositionBox(QDoubleSpinBox* box, double min, double max)
{
    box->setRange(min, max);
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
    utf8_->addItem(tr("No"), 0);
    utf8_->addItem(tr("Yes"), 1);
    cjk_ = new QComboBox(charsetGroup);
    // Encoding names stay as the printer's documentation writes them.
    cjk_->addItem(QStringLiteral("GB18030"), 0);
    cjk_->addItem(QStringLiteral("BIG5"), 1);
    cjk_->addItem(QStringLiteral("Shift JIS"), 11);
    cjk_->addItem(QStringLiteral("JIS 0208"), 12);
    cjk_->addItem(QStringLiteral("KS C 5601"), 21);
    cjk_->addItem(tr("Disable CJK Mode"), 128);
    codePage_ = new QComboBox(charsetGroup);
    for (const auto& page : kCodePages)
        codePage_->addItem(QString::fromLatin1(page.text), page.number);
    auto* charsetForm = new QFormLayout(charsetGroup);
    charsetForm->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    charsetForm->setFormAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    charsetForm->addRow(tr("UTF-8 Mode:"), utf8_);
    charsetForm->addRow(tr("CJK:"), cjk_);
    charsetForm->addRow(tr("Code Page:"), codePage_);

    auto* printGroup = new QGroupBox(tr("Print"), this);
    densitySlider_ = new QSlider(Qt::Horizontal, printGroup);
    setupSlider(densitySlider_, kDensityMin, kDensityMax, kDensityStep, kDensityInitial);
    densityBox_ = new QSpinBox(printGroup);
    setupSpinBox(densityBox_, kDensityMin, kDensityMax, kDensityStep, kDensityInitial);
    qualitySlider_ = new QSlider(Qt::Horizontal, printGroup);
    setupSlider(qualitySlider_, 0, kQualityMax, kQualityStep, 0);
    qualityBox_ = new QSpinBox(printGroup);
    setupSpinBox(qualityBox_, 0, kQualityMax, kQualityBoxStep, 0);
    auto* printGrid = new QGridLayout(printGroup);
    printGrid->addWidget(rowLabel(tr("Density:"), printGroup), 0, 0);
    printGrid->addWidget(densitySlider_, 0, 1);
    printGrid->addWidget(densityBox_, 0, 2);
    printGrid->addWidget(rowLabel(tr("Quality:"), printGroup), 1, 0);
    printGrid->addWidget(qualitySlider_, 1, 1);
    printGrid->addWidget(qualityBox_, 1, 2);

    paperGroup_ = new QGroupBox(tr("Paper Layout"), this);
    paperType_ = new QComboBox(paperGroup_);
    paperType_->addItem(tr("Receipt"), layout::print::kPaperReceipt);
    paperType_->addItem(tr("Paper with Black Mark"), layout::print::kPaperBlackMark);
    blackMarkLocation_ = new QComboBox(paperGroup_);
    blackMarkLocation_->addItem(tr("Side"), 1);
    blackMarkLocation_->addItem(tr("Center"), 2);
    cutPosition_ = new QDoubleSpinBox(paperGroup_);
    setupPositionBox(cutPosition_, -100.0, 25.0);
    printPosition_ = new QDoubleSpinBox(paperGroup_);
    setupPositionBox(printPosition_, 10.0, 100.0);
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
    feedLength_->setRange(kFeedMinMm, kFeedMaxMm);
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
    printTest_ = new QPushButton(tr("Print Test Page"), this);
    blackMarkTest_ = new QPushButton(tr("Black Mark Print Test"), this);
    save_ = new QPushButton(tr("Save"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {fontSettings_, printTest_, blackMarkTest_, save_})
        buttons->addWidget(button, 0, Qt::AlignRight | Qt::AlignVCenter);
    fontSettings_->setVisible(conf.FontSettingsEnabled >= 1);

    auto* page = new QVBoxLayout(this);
    for (QGroupBox* group : {charsetGroup, printGroup, paperGroup_, coverGroup_, notTakenGroup_})
        page->addWidget(group);
    page->addLayout(buttons);
    page->addStretch();

    const QList<QWidget*> tabOrder = {utf8_, cjk_, codePage_, densitySlider_, densityBox_, qualitySlider_, qualityBox_,
        paperType_, blackMarkLocation_, cutPosition_, printPosition_, stopPrinting_, voiceAlert_, fontSettings_,
        printTest_, blackMarkTest_, save_};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    connect(fontSettings_, &QPushButton::clicked, this, &WidgetPrint::doFontSettings);
    connect(printTest_, &QPushButton::clicked, this, &WidgetPrint::doPrintTestPage);
    connect(blackMarkTest_, &QPushButton::clicked, this, &WidgetPrint::doBlackMarkPrintTest);
    connect(save_, &QPushButton::clicked, this, &WidgetPrint::doSave);
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

void WidgetPrint::loadRecord(const QByteArray& record)
{
    using namespace layout::print;
    const RecordReader reader(record);
    // lastRead.printSettings was refreshed by the dispatch before this call.
    selectByData(cjk_, reader.u8(kCjk));
    selectByData(codePage_, reader.u8(kCodePage));
    selectByData(utf8_, reader.u8(kUtf8));
    densitySlider_->setValue(reader.u8(kDensity));
    qualitySlider_->setValue(255 - reader.u8(kQuality));
    // A slider already at the value emits nothing, and its box would keep a
    // value the user typed off the grid.
    densityBox_->setValue(densitySlider_->value());
    qualityBox_->setValue(qualitySlider_->value());
    selectByData(paperType_, reader.i32(kPaperType));
    selectByData(blackMarkLocation_, reader.u8(kBlackMarkLocation));
    cutPosition_->setValue(reader.i32(kCutPosition) / 10.0);
    printPosition_->setValue(reader.i32(kPrintPosition) / 10.0);
    const quint32 feedDots = reader.u32(kFeedDots);
    feed_->setChecked(feedDots != 0);
    if (feedDots != 0)
        feedLength_->setValue(int(feedDots >> 3));
    const quint8 flags = reader.u8(kNotTakenFlags);
    stopPrinting_->setChecked(flags & 0x01);
    voiceAlert_->setChecked(flags & 0x02);
    updateAllControls();
    save_->setEnabled(false);
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

void WidgetPrint::doPrintTestPage()
{
    TestPage::send(
        TestPage::printTestPage(utf8_->currentText(), cjk_->currentText(), codePage_->currentText(), hostCmd.project));
}

void WidgetPrint::doBlackMarkPrintTest()
{
    TestPage::send(TestPage::blackMarkTestPage());
}

void WidgetPrint::doSave()
{
    save_->setEnabled(false);
    const QByteArray record = buildRecord();
    if (LastRead::send(lastRead.printSettings,
            std::decay_t<decltype(lastRead.printSettings)>::fromCommand(record).value_or(
                std::decay_t<decltype(lastRead.printSettings)>()))
        == LastRead::Save::Failed)
        save_->setEnabled(true);
}

QByteArray WidgetPrint::buildRecord() const
{
    using namespace layout::print;
    RecordWriter writer(kSize);
    writer.u8(0, layout::code::kPrintSettings).u8(1, 1);
    writer.u8(kCjk, quint8(cjk_->currentData().toInt()));
    writer.u8(kCodePage, quint8(codePage_->currentData().toInt()));
    writer.u8(kUtf8, quint8(utf8_->currentData().toInt()));
    writer.u8(kDensity, quint8(densityBox_->value()));
    writer.u8(kQuality, quint8(~qualityBox_->value()));
    const qint32 paperType = paperType_->currentData().toInt();
    writer.i32(kPaperType, paperType);
    if (paperType == kPaperBlackMark) {
        writer.u32(kBlackMarkA, kBlackMarkAValue).u32(kBlackMarkB, kBlackMarkBValue);
        // Positions in 0.1 mm, truncated toward zero.
        writer.i32(kPrintPosition, qint32(printPosition_->value() * 10.0));
        writer.i32(kCutPosition, qint32(cutPosition_->value() * 10.0));
    }
    writer.u32(kFeedDots, feed_->isChecked() ? quint32(feedLength_->value() * kDotsPerMm) : 0);
    writer.u8(kBlackMarkLocation, quint8(blackMarkLocation_->currentData().toInt()));
    writer.u8(kNotTakenFlags, quint8((stopPrinting_->isChecked() ? 1 : 0) | (voiceAlert_->isChecked() ? 2 : 0)));
    return writer.data();
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
}

void WidgetPrint::onFeedAndCutStateChanged(int state)
{
    feedLength_->setEnabled(state == Qt::Checked);
}

void WidgetPrint::onSettingsChanged()
{
    save_->setEnabled(true);
}
