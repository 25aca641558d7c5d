#include "fonts/styleditemdelegatecombobox.h"

#include <QComboBox>

StyledItemDelegateComboBox::StyledItemDelegateComboBox(std::function<QStringList()> installedFonts, QObject* parent)
    : QStyledItemDelegate(parent)
    , installedFonts_(std::move(installedFonts))
{
}

QWidget* StyledItemDelegateComboBox::createEditor(
    QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    switch (index.column()) {
    case kScriptColumn: {
        auto* box = new QComboBox(parent);
        box->setFrame(false);
        box->setEditable(false);
        box->setMinimumContentsLength(24);
        box->addItems(scriptNames());
        return box;
    }
    case kFontColumn: {
        auto* box = new QComboBox(parent);
        box->setFrame(true);
        box->setEditable(true);
        box->setMinimumContentsLength(16);
        if (installedFonts_)
            box->addItems(installedFonts_());
        return box;
    }
    default:
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
}

void StyledItemDelegateComboBox::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* box = qobject_cast<QComboBox*>(editor);
    if (!box || box->isEditable()) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    // A name the list lacks (COMMON, or one of a newer printer) is offered as
    // well: moving on commits the editor, which must not turn it into another.
    const QString text = index.data(Qt::EditRole).toString();
    if (box->findText(text) < 0)
        box->insertItem(0, text);
    box->setCurrentIndex(box->findText(text));
}

const QStringList& StyledItemDelegateComboBox::scriptNames()
{
    // Unicode script names in the order of their mixed-case forms; the name
    // itself is what the printer stores.
    static const QStringList names = {
        QStringLiteral("UNKNOWN"),
        QStringLiteral("ADLAM"),
        QStringLiteral("AHOM"),
        QStringLiteral("ANATOLIAN_HIEROGLYPHS"),
        QStringLiteral("ARABIC"),
        QStringLiteral("ARMENIAN"),
        QStringLiteral("AVESTAN"),
        QStringLiteral("BALINESE"),
        QStringLiteral("BAMUM"),
        QStringLiteral("BASSA_VAH"),
        QStringLiteral("BATAK"),
        QStringLiteral("BENGALI"),
        QStringLiteral("BHAIKSUKI"),
        QStringLiteral("BOPOMOFO"),
        QStringLiteral("BRAHMI"),
        QStringLiteral("BRAILLE"),
        QStringLiteral("BUGINESE"),
        QStringLiteral("BUHID"),
        QStringLiteral("CANADIAN_SYLLABICS"),
        QStringLiteral("CARIAN"),
        QStringLiteral("CAUCASIAN_ALBANIAN"),
        QStringLiteral("CHAKMA"),
        QStringLiteral("CHAM"),
        QStringLiteral("CHEROKEE"),
        QStringLiteral("COPTIC"),
        QStringLiteral("CUNEIFORM"),
        QStringLiteral("CYPRIOT"),
        QStringLiteral("CYRILLIC"),
        QStringLiteral("DESERET"),
        QStringLiteral("DEVANAGARI"),
        QStringLiteral("DUPLOYAN"),
        QStringLiteral("EGYPTIAN_HIEROGLYPHS"),
        QStringLiteral("ELBASAN"),
        QStringLiteral("ETHIOPIC"),
        QStringLiteral("GEORGIAN"),
        QStringLiteral("GLAGOLITIC"),
        QStringLiteral("GOTHIC"),
        QStringLiteral("GRANTHA"),
        QStringLiteral("GREEK"),
        QStringLiteral("GUJARATI"),
        QStringLiteral("GURMUKHI"),
        QStringLiteral("HAN"),
        QStringLiteral("HANGUL"),
        QStringLiteral("HANUNOO"),
        QStringLiteral("HATRAN"),
        QStringLiteral("HEBREW"),
        QStringLiteral("HIRAGANA"),
        QStringLiteral("IMPERIAL_ARAMAIC"),
        QStringLiteral("INSCRIPTIONAL_PAHLAVI"),
        QStringLiteral("INSCRIPTIONAL_PARTHIAN"),
        QStringLiteral("JAVANESE"),
        QStringLiteral("KAITHI"),
        QStringLiteral("KANNADA"),
        QStringLiteral("KATAKANA"),
        QStringLiteral("KAYAH_LI"),
        QStringLiteral("KHAROSHTHI"),
        QStringLiteral("KHMER"),
        QStringLiteral("KHOJKI"),
        QStringLiteral("KHUDAWADI"),
        QStringLiteral("LAO"),
        QStringLiteral("LATIN"),
        QStringLiteral("LEPCHA"),
        QStringLiteral("LIMBU"),
        QStringLiteral("LINEAR_A"),
        QStringLiteral("LINEAR_B"),
        QStringLiteral("LISU"),
        QStringLiteral("LYCIAN"),
        QStringLiteral("LYDIAN"),
        QStringLiteral("MAHAJANI"),
        QStringLiteral("MALAYALAM"),
        QStringLiteral("MANDAIC"),
        QStringLiteral("MANICHAEAN"),
        QStringLiteral("MARCHEN"),
        QStringLiteral("MEETEI_MAYEK"),
        QStringLiteral("MENDE_KIKAKUI"),
        QStringLiteral("MEROITIC_CURSIVE"),
        QStringLiteral("MEROITIC_HIEROGLYPHS"),
        QStringLiteral("MIAO"),
        QStringLiteral("MODI"),
        QStringLiteral("MONGOLIAN"),
        QStringLiteral("MRO"),
        QStringLiteral("MULTANI"),
        QStringLiteral("MYANMAR"),
        QStringLiteral("NABATAEAN"),
        QStringLiteral("NEW_TAI_LUE"),
        QStringLiteral("NEWA"),
        QStringLiteral("NKO"),
        QStringLiteral("OGHAM"),
        QStringLiteral("OL_CHIKI"),
        QStringLiteral("OLD_HUNGARIAN"),
        QStringLiteral("OLD_ITALIC"),
        QStringLiteral("OLD_NORTH_ARABIAN"),
        QStringLiteral("OLD_PERMIC"),
        QStringLiteral("OLD_PERSIAN"),
        QStringLiteral("OLD_SOUTH_ARABIAN"),
        QStringLiteral("OLD_TURKIC"),
        QStringLiteral("ORIYA"),
        QStringLiteral("OSAGE"),
        QStringLiteral("OSMANYA"),
        QStringLiteral("PAHAWH_HMONG"),
        QStringLiteral("PALMYRENE"),
        QStringLiteral("PAU_CIN_HAU"),
        QStringLiteral("PHAGS_PA"),
        QStringLiteral("PHOENICIAN"),
        QStringLiteral("PSALTER_PAHLAVI"),
        QStringLiteral("REJANG"),
        QStringLiteral("RUNIC"),
        QStringLiteral("SAMARITAN"),
        QStringLiteral("SAURASHTRA"),
        QStringLiteral("SHARADA"),
        QStringLiteral("SHAVIAN"),
        QStringLiteral("SIDDHAM"),
        QStringLiteral("SIGNWRITING"),
        QStringLiteral("SINHALA"),
        QStringLiteral("SORA_SOMPENG"),
        QStringLiteral("SUNDANESE"),
        QStringLiteral("SYLOTI_NAGRI"),
        QStringLiteral("SYRIAC"),
        QStringLiteral("TAGALOG"),
        QStringLiteral("TAGBANWA"),
        QStringLiteral("TAI_LE"),
        QStringLiteral("TAI_THAM"),
        QStringLiteral("TAI_VIET"),
        QStringLiteral("TAKRI"),
        QStringLiteral("TAMIL"),
        QStringLiteral("TANGUT"),
        QStringLiteral("TELUGU"),
        QStringLiteral("THAANA"),
        QStringLiteral("THAI"),
        QStringLiteral("TIBETAN"),
        QStringLiteral("TIFINAGH"),
        QStringLiteral("TIRHUTA"),
        QStringLiteral("UGARITIC"),
        QStringLiteral("VAI"),
        QStringLiteral("WARANG_CITI"),
        QStringLiteral("YI"),
    };
    return names;
}
