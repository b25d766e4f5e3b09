#include "line_fields.h"

#include "panel_texts.h"
#include "session/line_settings.h"
#include "widgets/popup_form.h"

#include <QComboBox>
#include <QLineEdit>

namespace {
constexpr int kRowHeight = 28;
constexpr int kDefaultBaudRow = 3; // 9600
} // namespace

TzLineFields MakeLineFields(QWidget *panel, const char *addressName, const char *baudRateName,
                            const char *formatName, int top) {
    TzLineFields fields;
    fields.address = MakeDigitsField(panel, QStringLiteral("16"));
    PlaceField(fields.address, QString::fromLatin1(addressName), QStringLiteral("Адрес"),
               Hint("Адрес прибора\r\nДиапазон: 1..247"), top, 60);

    fields.baudRate = new QComboBox(panel);
    fields.baudRate->addItems(LineBaudRates());
    fields.baudRate->setCurrentIndex(kDefaultBaudRow);
    PlaceField(fields.baudRate, QString::fromLatin1(baudRateName), QStringLiteral("Скорость"),
               Hint("Скорость обмена данными, бод/сек"), top + kRowHeight, 140);

    fields.format = new QComboBox(panel);
    fields.format->addItems(LineFormats());
    fields.format->setCurrentIndex(0);
    PlaceField(fields.format, QString::fromLatin1(formatName), QStringLiteral("Формат"),
               LineFormatHint(), top + 2 * kRowHeight, 140);
    return fields;
}
