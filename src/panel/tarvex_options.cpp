#include "connection_panel.h"
#include "model/xml_attributes.h"
#include "panel_environment.h"
#include "support/autorun_registration.h"
#include "support/options_file.h"
#include "tarvex.h"
#include "tools/temp_log.h"
#include "visual_styles.h"
#include "widgets/popup_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <exception>

namespace {

const QString kAutorunArgument = QStringLiteral("/autorun");
constexpr int kDefaultStyle = 12; // "Terminal"
// The longest delay whose milliseconds still fit the timer's int.
constexpr int kMaxAutostartDelay = 2147483;

// The delay in seconds from its text: an integer of any length, held to 0..kMaxAutostartDelay,
// so a huge delay stays the longest one instead of wrapping round to a short one.
bool DelaySeconds(const QString &text, int &seconds) {
    static const QRegularExpression integer(QStringLiteral("^-?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return false;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok) // more digits than 64 bits hold
        seconds = text.startsWith(QLatin1Char('-')) ? 0 : kMaxAutostartDelay;
    else
        seconds = int(qBound(qlonglong(0), value, qlonglong(kMaxAutostartDelay)));
    return true;
}

bool AttrInt(const QDomElement &element, const char *name, int &value) {
    return ReadXmlAttrInt(element, QString::fromLatin1(name), value);
}

QString YesNo(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QString TfrTarvex::OptionsPath() const {
    return TzOptionsFile(ExeDir, UserConfigDir).Path();
}

// Every writer of the options file saves through here, so the first failure is logged once
// whichever writer meets it.
void TfrTarvex::StoreOptions(const std::function<void(QDomElement &root)> &change) {
    const TzOptionsSave save = TzOptionsFile(ExeDir, UserConfigDir).Update(change);
    if (save.Failure.isEmpty() || OptionsFailureLogged)
        return;
    OptionsFailureLogged = true;
    TempLogAdd(save.Stored ? QStringLiteral("Настройки не записаны (%1), они сохраняются в %2")
                                 .arg(save.Failure, QDir::toNativeSeparators(save.StoredIn))
                           : QStringLiteral("Настройки не сохранены: %1").arg(save.Failure),
               LogColor::DarkRed);
}

void TfrTarvex::CreateAutorunPanel() {
    // Nothing in the program opens this panel: autorun is set up in the options file and the
    // system's start at log-on.
    panAutorun = MakePopupPanel(this, QStringLiteral("panAutorun"), QStringLiteral("Автозагрузка"),
                                330, 170);
    const auto check = [this](const char *name, const QString &caption, int y) {
        auto *box = new QCheckBox(caption, panAutorun);
        box->setObjectName(QString::fromLatin1(name));
        box->setAccessibleName(caption);
        box->setGeometry(10, y, 310, 22);
        connect(box, &QCheckBox::clicked, this, [this, box] { chkAutorunClick(box); });
        return box;
    };
    chkAutorun =
        check("chkAutorun", QStringLiteral("Запускать автоматически вместе с Windows"), 30);
    chkAutoStart = check("chkAutoStart", QStringLiteral("Начинать опрос при автозапуске"), 54);
    chkAutoStartDelay = check("chkAutoStartDelay", QStringLiteral("Отложить опрос на"), 78);
    chkAutoStartDelay->resize(150, 22);
    txtAutostartDelay = MakeDigitsField(panAutorun, QStringLiteral("10"));
    txtAutostartDelay->setObjectName(QStringLiteral("txtAutostartDelay"));
    txtAutostartDelay->setAccessibleName(QStringLiteral("Отложить опрос на, сек"));
    txtAutostartDelay->setGeometry(162, 78, 50, 22);
    connect(txtAutostartDelay, &QLineEdit::textChanged, this,
            [this] { chkAutorunClick(txtAutostartDelay); });
    (new QLabel(QStringLiteral("сек"), panAutorun))->setGeometry(218, 78, 40, 22);
    chkAutorunMini =
        check("chkAutorunMini", QStringLiteral("Запускать свёрнутым (при автозапуске)"), 102);
    btnSaveForAutorun = new QPushButton(
        QStringLiteral("Сохранить текущую конфигурацию для автозапуска"), panAutorun);
    btnSaveForAutorun->setObjectName(QStringLiteral("btnSaveForAutorun"));
    btnSaveForAutorun->setAccessibleName(btnSaveForAutorun->text());
    btnSaveForAutorun->setGeometry(10, 132, 310, 28);
    btnSaveForAutorun->hide();

    btnAutorun = new QPushButton(QStringLiteral(" Автозагрузка"), this);
    btnAutorun->setObjectName(QStringLiteral("btnAutorun"));
    btnAutorun->setAccessibleName(QStringLiteral("Автозагрузка"));
    btnAutorun->hide();

    AutostartTimer.setObjectName(QStringLiteral("AutostartTimer"));
    AutostartTimer.setInterval(1000);
    AutostartTimer.setSingleShot(true);
    connect(&AutostartTimer, &QTimer::timeout, this, &TfrTarvex::AutostartTimerTimer);
}

void TfrTarvex::CreateStyleChooser() {
    cbStyles = new QComboBox(this);
    cbStyles->setObjectName(QStringLiteral("cbStyles"));
    cbStyles->setAccessibleName(QStringLiteral("Стиль оформления"));
    cbStyles->setToolTip(QStringLiteral("Стиль оформления"));
    for (const TzVisualStyle &style : VisualStyles())
        cbStyles->addItem(style.Name, style.Number);
    cbStyles->setCurrentIndex(VisualStyleIndex(CurrentStyle));
    cbStyles->setGeometry(170, 520, 180, 22);
    cbStyles->setVisible(false); // a test function
    connect(cbStyles, &QComboBox::activated, this, &TfrTarvex::AdvFormStyler1Change);
}

void TfrTarvex::LoadOptions() {
    Autorun_mini = Autostart = Autostart_Delay_On = false;
    Session->SetSilenceMode(false);
    Autostart_Delay_Value = 10;

    QDomDocument document;
    if (!TzOptionsFile(ExeDir, UserConfigDir).Read(document))
        return;
    const QDomElement root = document.documentElement();

    const QDomElement comport = root.firstChildElement(QStringLiteral("comport"));
    if (!comport.isNull())
        panComPort->LoadLineOptions(comport);
    panComPort->cbComPortChange();

    chkAutorun->setChecked(AutorunIsRegistered(AutorunCommand()));

    const QDomElement autorun = root.firstChildElement(QStringLiteral("autorun"));
    if (!autorun.isNull()) {
        int value = 0;
        if (AttrInt(autorun, "mini", value))
            Autorun_mini = value != 0;
        if (AttrInt(autorun, "autostart", value))
            Autostart = value != 0;
        if (AttrInt(autorun, "delay_on", value))
            Autostart_Delay_On = value != 0;
        if (DelaySeconds(autorun.attribute(QStringLiteral("delay_value")), value))
            Autostart_Delay_Value = value;
        txtAutostartDelay->setText(QString::number(Autostart_Delay_Value));
        chkAutorunMini->setChecked(Autorun_mini);
        chkAutoStart->setChecked(Autostart);
        chkAutoStartDelay->setChecked(Autostart_Delay_On);
        if (Autostart_Delay_On)
            AutostartTimer.setInterval(Autostart_Delay_Value * 1000);

        const QStringList arguments = PanelArguments();
        if (arguments.size() > 1 && arguments[1] == kAutorunArgument) {
            Session->SetSilenceMode(true);
            // A zero delay connects at once rather than never.
            if (Autostart)
                AutostartTimer.start();
            if (Autorun_mini)
                QTimer::singleShot(0, this, [this] { window()->showMinimized(); });
        }
    }

    int style = 0;
    const QDomElement styleElement = root.firstChildElement(QStringLiteral("style"));
    if (!styleElement.isNull() && AttrInt(styleElement, "index", style) &&
        ApplyVisualStyle(style)) {
        CurrentStyle = style;
        cbStyles->setCurrentIndex(VisualStyleIndex(style));
    }
}

void TfrTarvex::SaveOptions() {
    if (InitMode)
        return;
    StoreOptions([this](QDomElement &root) {
        QDomElement comport = OptionsChild(root, QStringLiteral("comport"));
        panComPort->SaveLineOptions(comport);

        QDomElement autorun = OptionsChild(root, QStringLiteral("autorun"));
        autorun.setAttribute(QStringLiteral("mini"), YesNo(chkAutorunMini->isChecked()));
        autorun.setAttribute(QStringLiteral("autostart"), YesNo(chkAutoStart->isChecked()));
        autorun.setAttribute(QStringLiteral("delay_on"), YesNo(chkAutoStartDelay->isChecked()));
        int delay = 0;
        DelaySeconds(txtAutostartDelay->text(), delay);
        autorun.setAttribute(QStringLiteral("delay_value"), delay);

        QDomElement style = OptionsChild(root, QStringLiteral("style"));
        style.setAttribute(QStringLiteral("index"), CurrentStyle);
    });
}

void TfrTarvex::chkAutorunClick(QWidget *sender) {
    if (sender != chkAutorun) {
        SaveOptions();
        return;
    }
    if (!chkAutorun->isChecked()) {
        UnregisterAutorun();
        return;
    }
    try {
        RegisterAutorun(AutorunCommand());
    } catch (const std::exception &failure) {
        // Not registered: the box must not claim it is, and the reason goes to the log.
        chkAutorun->setChecked(false);
        AppException(QString::fromUtf8(failure.what()));
    }
}

void TfrTarvex::AutostartTimerTimer() {
    if (!Session->isConnected())
        panComPort->ConnectWithFields();
    AutostartTimer.stop();
}

void TfrTarvex::AdvFormStyler1Change() {
    const int number = cbStyles->currentData().toInt();
    if (!ApplyVisualStyle(number))
        return;
    CurrentStyle = number;
    SaveOptions();
}
