#include "autorun_panel.h"

#include "session/session_options.h"
#include "visual_styles.h"
#include "widgets/popup_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

TzAutorunPanel::TzAutorunPanel(TzSessionOptions &options, QWidget *frame)
    : QFrame(frame), m_options(options) {
    InitPopupPanel(this, QStringLiteral("panAutorun"), QStringLiteral("Автозагрузка"), 330, 170);
    if (const std::optional<int> style = m_options.loadedStyle(); style && ApplyVisualStyle(*style))
        m_options.setStyle(*style);
    CreateControls(frame);
    ShowOptions();
    if (m_options.startMinimized())
        QTimer::singleShot(0, this, [this] { window()->showMinimized(); });
}

void TzAutorunPanel::CreateControls(QWidget *frame) {
    const auto check = [this](const char *name, const QString &caption, int y) {
        auto *box = new QCheckBox(caption, this);
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
    txtAutostartDelay = MakeDigitsField(this, QStringLiteral("10"));
    txtAutostartDelay->setObjectName(QStringLiteral("txtAutostartDelay"));
    txtAutostartDelay->setAccessibleName(QStringLiteral("Отложить опрос на, сек"));
    txtAutostartDelay->setGeometry(162, 78, 50, 22);
    (new QLabel(QStringLiteral("сек"), this))->setGeometry(218, 78, 40, 22);
    chkAutorunMini =
        check("chkAutorunMini", QStringLiteral("Запускать свёрнутым (при автозапуске)"), 102);
    btnSaveForAutorun =
        new QPushButton(QStringLiteral("Сохранить текущую конфигурацию для автозапуска"), this);
    btnSaveForAutorun->setObjectName(QStringLiteral("btnSaveForAutorun"));
    btnSaveForAutorun->setAccessibleName(btnSaveForAutorun->text());
    btnSaveForAutorun->setGeometry(10, 132, 310, 28);
    btnSaveForAutorun->hide();

    btnAutorun = new QPushButton(QStringLiteral(" Автозагрузка"), frame);
    btnAutorun->setObjectName(QStringLiteral("btnAutorun"));
    btnAutorun->setAccessibleName(QStringLiteral("Автозагрузка"));
    btnAutorun->hide();

    cbStyles = new QComboBox(frame);
    cbStyles->setObjectName(QStringLiteral("cbStyles"));
    cbStyles->setAccessibleName(QStringLiteral("Стиль оформления"));
    cbStyles->setToolTip(QStringLiteral("Стиль оформления"));
    for (const TzVisualStyle &style : VisualStyles())
        cbStyles->addItem(style.Name, style.Number);
    cbStyles->setGeometry(170, 520, 180, 22);
    cbStyles->setVisible(false); // a test function
    connect(cbStyles, &QComboBox::activated, this, &TzAutorunPanel::AdvFormStyler1Change);
}

void TzAutorunPanel::ShowOptions() {
    const TzAutorunOptions &autorun = m_options.autorun();
    chkAutorun->setChecked(m_options.autorunRegistered());
    chkAutorunMini->setChecked(autorun.Autorun_mini);
    chkAutoStart->setChecked(autorun.Autostart);
    chkAutoStartDelay->setChecked(autorun.Autostart_Delay_On);
    txtAutostartDelay->setText(QString::number(autorun.Autostart_Delay_Value));
    cbStyles->setCurrentIndex(VisualStyleIndex(m_options.style()));
    // Connected only now: showing the options is no change of them.
    connect(txtAutostartDelay, &QLineEdit::textChanged, this,
            [this] { chkAutorunClick(txtAutostartDelay); });
}

void TzAutorunPanel::ShowTestFunctions(bool shown) {
    cbStyles->setVisible(shown);
}

void TzAutorunPanel::chkAutorunClick(QWidget *sender) {
    if (sender == chkAutorun) {
        // Not registered: the box must not claim it is; the options log the reason.
        if (!m_options.setAutorunRegistered(chkAutorun->isChecked()))
            chkAutorun->setChecked(false);
        return;
    }
    TzAutorunOptions autorun;
    autorun.Autorun_mini = chkAutorunMini->isChecked();
    autorun.Autostart = chkAutoStart->isChecked();
    autorun.Autostart_Delay_On = chkAutoStartDelay->isChecked();
    autorun.Autostart_Delay_Value =
        TzSessionOptions::DelaySeconds(txtAutostartDelay->text()).value_or(0);
    m_options.setAutorun(autorun);
    m_options.SaveOptions();
}

void TzAutorunPanel::AdvFormStyler1Change() {
    const int number = cbStyles->currentData().toInt();
    if (!ApplyVisualStyle(number))
        return;
    m_options.setStyle(number);
    m_options.SaveOptions();
}
