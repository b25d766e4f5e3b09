#include "pwm_panel.h"

#include "panel_texts.h"
#include "session/tarvex_session.h"
#include "transport/utils.h"
#include "widgets/blinker.h"
#include "widgets/pictures.h"
#include "widgets/popup_form.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

constexpr int kSelectorWidth = 44;
constexpr int kSelectorHeight = 49;
constexpr int kSelectorGap = 6;

// "HH:MM:SS.mmm"; whole days are dropped.
QString DurationText(uint32_t ms) {
    const TzSplitMs parts = SplitMs(ms);
    return QStringLiteral("%1:%2:%3.%4")
        .arg(TwoDigits(uint8_t(parts.hours)), TwoDigits(uint8_t(parts.minutes)),
             TwoDigits(uint8_t(parts.seconds)))
        .arg(parts.milliseconds, 3, 10, QLatin1Char('0'));
}

bool ReadInRange(const QLineEdit *field, int low, int high, int &value) {
    bool ok = false;
    value = field->text().toInt(&ok);
    return ok && value >= low && value <= high;
}

QLineEdit *DurationField(QWidget *panel, const char *name, const QString &caption,
                         const QString &hint, int y) {
    auto *field = new QLineEdit(QStringLiteral("00:00:00.000"), panel);
    field->setReadOnly(true);
    PlaceField(field, QString::fromLatin1(name), caption, hint, y, 100);
    return field;
}

} // namespace

TzPwmPanel::TzPwmPanel(TarvexSession &session, QWidget *frame) : QFrame(frame), Session(session) {
    InitPopupPanel(this, QStringLiteral("panDOUT"), QStringLiteral("Широтно-импульсная модуляция"),
                   272, 414);

    auto *selectorArea = new QFrame(this);
    selectorArea->setObjectName(QStringLiteral("panShimButtons"));
    selectorArea->setGeometry(6, 32, 260, 4 * kSelectorHeight + 3 * kSelectorGap + 12);
    selectorArea->setAutoFillBackground(true);
    selectorArea->setStyleSheet(QStringLiteral("QFrame#panShimButtons { background: #c8c8c8 }"));
    CreateShimBtns(selectorArea);

    const int fieldsTop = selectorArea->geometry().bottom() + 8;
    const auto shimField = [this](const char *name, const QString &caption, const char *hint,
                                  int maxLength, int y) {
        QLineEdit *field = MakeDigitsField(this, QString());
        field->setMaxLength(maxLength);
        PlaceField(field, QString::fromLatin1(name), caption, Hint(hint), y, 60, 165);
        connect(field, &QLineEdit::textChanged, this, &TzPwmPanel::txtShimScaleChange);
        return field;
    };
    txtShimScale = shimField(
        "txtShimScale", QStringLiteral("Единица счёта ШИМ"),
        "Единица счёта ШИМ:\r\nДиапазон: 1..240\r\n\r\n(соответствует значениям единицы счёта "
        "0,01 - 2,4 с)\r\n",
        3, fieldsTop);
    txtShimPeriod =
        shimField("txtShimPeriod", QStringLiteral("Значение периода ШИМ"),
                  "Период генератора ШИМ \r\nДиапазон: 50..36000\r\n\r\n(соответствует значениям "
                  "периода 0,5 с - 24 ч \r\nв зависимости от значения единицы счёта ШИМ).\r\n",
                  5, fieldsTop + 28);
    txtShimKoef = shimField(
        "txtShimKoef", QStringLiteral("Коэф-т заполнения ШИМ"),
        "Коэффициент заполнения ШИМ: k = Ton / T\r\nДиапазон: 0..1000\r\nЗадаётся в десятых "
        "долях процента\r\n\r\nПрямая установка состояния выхода (0 или 1) \r\nтакже изменяет "
        "и значение коэффициента заполнения ШИМ\r\n(делая его равным 0% или 100% "
        "соответственно)\r\n\r\nЗапись значения коэффициента\r\nзаполнения ШИМ не "
        "прерывает\r\nвыполнение текущего цикла ШИМ.",
        4, fieldsTop + 56);

    chkShimSecure = new QCheckBox(QStringLiteral("Замкнуто при включении"), this);
    chkShimSecure->setObjectName(QStringLiteral("chkShimSecure"));
    chkShimSecure->setAccessibleName(chkShimSecure->text());
    chkShimSecure->setToolTip(Hint("Безопасное состояние выхода\r\n(выставляется сразу после "
                                   "включения или перезагрузки)"));
    chkShimSecure->setGeometry(10, fieldsTop + 86, 250, 22);
    connect(chkShimSecure, &QCheckBox::clicked, this, &TzPwmPanel::optionsChanged);

    const QString buttonsHint =
        Hint("Кнопка \"Применить\":\r\n Настройки будут применены сразу\r\n (только для текущего "
             "Реле)\r\n\r\nКнопка \"По умолчанию\":\r\n Сбрасывает настройки текущего Реле до "
             "заводских\r\n (после сброса следует нажать кнопку \"Применить\")");
    btnDOUT_Default = new QPushButton(QStringLiteral("По умолчанию"), this);
    btnDOUT_Default->setObjectName(QStringLiteral("btnDOUT_Default"));
    btnDOUT_Default->setAccessibleName(btnDOUT_Default->text());
    btnDOUT_Default->setGeometry(10, fieldsTop + 118, 120, 28);
    btnDOUT_Default->setToolTip(buttonsHint);
    connect(btnDOUT_Default, &QPushButton::clicked, this, &TzPwmPanel::btnDOUT_DefaultClick);
    btnDOUT_Apply = new QPushButton(QStringLiteral("Применить #1"), this);
    btnDOUT_Apply->setObjectName(QStringLiteral("btnDOUT_Apply"));
    btnDOUT_Apply->setAccessibleName(QStringLiteral("Применить"));
    btnDOUT_Apply->setGeometry(140, fieldsTop + 118, 120, 28);
    btnDOUT_Apply->setToolTip(buttonsHint);
    connect(btnDOUT_Apply, &QPushButton::clicked, this, &TzPwmPanel::btnDOUT_ApplyClick);

    panShim =
        MakePopupPanel(frame, QStringLiteral("panShim"), QStringLiteral("Расчёт ШИМ"), 200, 116);
    (new QLabel(QStringLiteral("Формат: Часы:Мин:Сек.мсек"), panShim))
        ->setGeometry(10, 28, 180, 20);
    const char *hintTail = "\r\n\r\nФормат ввода:\r\n(ЧЧ:ММ:СС.м)\r\nЧасы:Минуты:Секунды."
                           "Миллисекунды\r\n\r\nМаксимум: \r\nвкл + выкл = 24 часа\r\n(т.е. 240 * "
                           "36000 в десятых долях секунды)\r\n";
    txtShimTimeOn = DurationField(
        panShim, "txtShimTimeOn", QStringLiteral("Замкнуто"),
        Hint(QByteArray("Длительность замкнутого состояния реле ").append(hintTail).constData()),
        54);
    txtShimTimeOff = DurationField(
        panShim, "txtShimTimeOff", QStringLiteral("Разомкнуто"),
        Hint(QByteArray("Длительность разомкнутого состояния реле ").append(hintTail).constData()),
        82);

    // The first full read has filled the outputs: the first one is selected.
    connect(&Session, &TarvexSession::connectionStateChanged, this,
            [this](TarvexSession::ConnectionState state) {
                if (state == TarvexSession::ConnectionState::Polling)
                    btnDOUT1PanClick(1);
            });
}

void TzPwmPanel::CreateShimBtns(QWidget *area) {
    for (int n = 1; n <= 20; ++n) {
        const int column = (n - 1) % 5;
        const int row = (n - 1) / 5;
        auto *button = new QToolButton(area);
        button->setObjectName(QStringLiteral("btnDOUT%1Pan").arg(n));
        button->setText(QStringLiteral("#%1").arg(n));
        button->setAccessibleName(button->text());
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(24, 24));
        button->setCheckable(true);
        // Only the first and second buttons stand 8 pixels apart; the others 6.
        const int extra = column >= 1 ? 2 : 0;
        button->setGeometry(6 + column * (kSelectorWidth + kSelectorGap) + extra,
                            6 + row * (kSelectorHeight + kSelectorGap), kSelectorWidth,
                            kSelectorHeight);
        connect(button, &QToolButton::clicked, this, [this, n] { btnDOUT1PanClick(n); });
        ShimBtns[n] = button;
    }
    for (int n = 1; n <= 20; ++n) {
        ShimBtns[n]->setChecked(n == 1);
        ShimBtns[n]->setIcon(QIcon(SelectorPixmap(n == 1)));
    }
}

void TzPwmPanel::btnDOUT1PanClick(int output) {
    CurrDoutIndx = output;
    for (int n = 1; n <= 20; ++n) {
        ShimBtns[n]->setChecked(n == output);
        ShimBtns[n]->setIcon(QIcon(SelectorPixmap(n == output)));
    }
    const TzDiscretOutParams &out = Session.output(output);
    txtShimScale->setText(QString::number(out.ShimScale));
    txtShimPeriod->setText(QString::number(out.ShimPeriod));
    txtShimKoef->setText(QString::number(out.ShimKoef));
    chkShimSecure->setChecked(out.ShimSafe != 0);
    btnDOUT_Apply->setText(QStringLiteral("Применить #%1").arg(output));
}

// The session checks the fields; the first one it refuses blinks.
void TzPwmPanel::btnDOUT_ApplyClick() {
    TzPwmParams params;
    params.ShimScale = FieldNumber(txtShimScale);
    params.ShimPeriod = FieldNumber(txtShimPeriod);
    params.ShimKoef = FieldNumber(txtShimKoef);
    params.ShimSafe = chkShimSecure->isChecked();
    switch (Session.applyPwm(CurrDoutIndx, params)) {
    case TzApplyResult::BadPwmScale:
        BlinkEdit(txtShimScale);
        break;
    case TzApplyResult::BadPwmPeriod:
        BlinkEdit(txtShimPeriod);
        break;
    case TzApplyResult::BadPwmDuty:
        BlinkEdit(txtShimKoef);
        break;
    default:
        break;
    }
}

void TzPwmPanel::btnDOUT_DefaultClick() {
    txtShimScale->setText(QStringLiteral("1"));
    txtShimPeriod->setText(QStringLiteral("50"));
    txtShimKoef->setText(QStringLiteral("0"));
    chkShimSecure->setChecked(false);
}

void TzPwmPanel::txtShimScaleChange() {
    txtShimTimeOn->setText(QStringLiteral("00:00:00.000"));
    txtShimTimeOff->setText(QStringLiteral("00:00:00.000"));
    int scale = 0, period = 0, koef = 0;
    if (!ReadInRange(txtShimScale, 1, 240, scale) ||
        !ReadInRange(txtShimPeriod, 50, 36000, period) ||
        !ReadInRange(txtShimKoef, 0, 1000, koef) || koef == 0)
        return;
    const uint32_t onTime = uint32_t(koef * period / 1000) * scale * 10;
    const uint32_t offTime = uint32_t(scale) * 10 * period - onTime;
    txtShimTimeOn->setText(DurationText(onTime));
    txtShimTimeOff->setText(DurationText(offTime));
}
