#include "connection_panel.h"
#include "find_device.h"
#include "found_device.h"
#include "panel_texts.h"
#include "tarvex.h"
#include "tools/csv_file.h"
#include "tools/port_observer_texts.h"
#include "widgets/blinker.h"
#include "widgets/pictures.h"
#include "widgets/popup_form.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace {

// The list's lines: the counter line while a search runs, found modules, other responders.
enum FindLineType { flCounter = QListWidgetItem::UserType + 1, flTarvex, flUnknown };

class TzFindListItem : public QListWidgetItem {
public:
    TzFindListItem(const QString &text, FindLineType type, const TzFindDevice &device = {})
        : QListWidgetItem(text, nullptr, type), Device(device) {}
    TzFindDevice Device; // the settings an entry was found under (none for the counter line)
};

TzFindListItem *Line(QListWidget *list, int row) {
    return static_cast<TzFindListItem *>(list->item(row));
}

// Keeps a widget shown exactly while another one is: the sweep box goes with the search icon.
class TzVisibilityFollower : public QObject {
public:
    TzVisibilityFollower(QWidget *leader, QWidget *follower)
        : QObject(follower), m_follower(follower) {
        follower->setVisible(!leader->isHidden());
        leader->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::ShowToParent)
            m_follower->show();
        else if (event->type() == QEvent::HideToParent)
            m_follower->hide();
        return false;
    }

private:
    QWidget *m_follower;
};

constexpr int kFindPanelWidth = 180;
constexpr int kSweepRowHeight = 24;

// The settings a module was found under, as the connection fields take them.
TarvexLineSettings FoundLine(const TzFindDevice &device, const QComboBox *ports) {
    TarvexLineSettings line;
    line.portName = ports->itemText(device.ComPortIndx);
    line.address = device.Addr;
    line.baudRate = LineBaudRates().value(device.BaudRateIndx).toInt();
    line.format = device.FormatIndx;
    line.timeoutMs = device.Timeout.toInt();
    return line;
}

QString FormatShortName(int position) {
    return LineFormats().value(position).section(QLatin1Char(' '), -1); // "8N2"
}

} // namespace

std::function<QString(QWidget *)> TfrTarvex::FindListPathSource = [](QWidget *parent) {
    return QFileDialog::getSaveFileName(
        parent, QStringLiteral("Сохранить список"),
        QDir::home().filePath(QStringLiteral("Найденные устройства.csv")),
        QStringLiteral("CSV (*.csv)"));
};

// The engine outlives a panel only in tests; it must not call back into a panel that is gone.
void TfrTarvex::ReleaseSearchEngine() {
    if (!frmFindDevice || !frmFindDevice->OnFindProcess)
        return;
    frmFindDevice->Stop();
    frmFindDevice->OnFindAddr = nullptr;
    frmFindDevice->OnFindProcess = nullptr;
    frmFindDevice->OnFindLine = nullptr;
    frmFindDevice->OnFindEnd = nullptr;
    frmFindDevice->ShowWarning = [](const QString &, const QString &) {};
}

void TfrTarvex::CreateSearchPanel() {
    // The sweep's box is the connection panel's last row, below the connect button.
    panComPort->resize(panComPort->width(), panComPort->height() + kSweepRowHeight);
    chkSearchSweep = new QCheckBox(QStringLiteral("Перебирать скорости и форматы"), panComPort);
    chkSearchSweep->setObjectName(QStringLiteral("chkSearchSweep"));
    chkSearchSweep->setAccessibleName(chkSearchSweep->text());
    chkSearchSweep->setToolTip(
        QStringLiteral("Поиск по всем скоростям, от быстрой к медленной, и всем форматам"));
    chkSearchSweep->setGeometry(10, panComPort->height() - kSweepRowHeight - 6,
                                panComPort->width() - 20, kSweepRowHeight);
    new TzVisibilityFollower(imgFindDevice, chkSearchSweep);

    panFind = MakePopupPanel(this, QStringLiteral("panFind"), QStringLiteral("Устройства"),
                             kFindPanelWidth, panComPort->height());
    FindListBox = new QListWidget(panFind);
    FindListBox->setObjectName(QStringLiteral("FindListBox"));
    FindListBox->setAccessibleName(QStringLiteral("Найденные устройства"));
    FindListBox->setGeometry(6, 30, kFindPanelWidth - 12, panFind->height() - 62);
    connect(FindListBox, &QListWidget::itemClicked, this, &TfrTarvex::FindListBoxClick);
    connect(FindListBox, &QListWidget::itemDoubleClicked, this, &TfrTarvex::FindListBoxDblClick);
    auto *saveList = new QAction(QStringLiteral("Сохранить список..."), FindListBox);
    saveList->setObjectName(QStringLiteral("actFindListSave"));
    connect(saveList, &QAction::triggered, this, &TfrTarvex::FindListSaveClick);
    FindListBox->addAction(saveList);
    FindListBox->setContextMenuPolicy(Qt::ActionsContextMenu);

    aniAdvProgress = new QProgressBar(panFind);
    aniAdvProgress->setObjectName(QStringLiteral("aniAdvProgress"));
    aniAdvProgress->setAccessibleName(QStringLiteral("Ход поиска"));
    aniAdvProgress->setRange(1, 247);
    aniAdvProgress->setTextVisible(false);
    aniAdvProgress->hide();
    labFindLine = new QLabel(panFind);
    labFindLine->setObjectName(QStringLiteral("labFindLine"));
    labFindLine->setAccessibleName(QStringLiteral("Скорость и формат поиска"));
    labFindLine->setGeometry(kFindPanelWidth / 2 + 4, panFind->height() - 29,
                             kFindPanelWidth / 2 - 10, 22);
    labFindLine->hide();

    OnClick(imgFindDevice, &TfrTarvex::imgFindDeviceClick); // starts or stops the search
}

void TfrTarvex::imgFindDeviceClick() {
    if (Session->isConnected() || !frmFindDevice)
        return;
    if (frmFindDevice->InFindProgress())
        FindStop();
    else if (!FindStart())
        FindStop();
}

QList<TzFindLine> TfrTarvex::SearchSweepLines(int timeout) const {
    QList<TzFindLine> lines;
    QStringList rates = LineBaudRates();
    std::reverse(rates.begin(), rates.end());
    for (const QString &rate : rates) {
        const int baudRate = rate.toInt();
        for (int format = 0; format < LineFormats().size(); ++format)
            lines.append({baudRate, format, std::max(timeout, GetTimeout(baudRate))});
    }
    return lines;
}

bool TfrTarvex::FindStart() {
    TfrmFindDevice *engine = frmFindDevice;
    if (Session->isConnected() || !engine || engine->InFindProgress())
        return false;
    int timeout = 0;
    QLineEdit *txtLineTimeout = panComPort->txtLineTimeout;
    if (!TzConnectionPanel::CheckBlinkEditInt(txtLineTimeout, timeout, kNotSet, kNotSet))
        return false;
    const int baudRate = panComPort->baudRate();
    FindSweep = chkSearchSweep->isChecked();
    // A sweep raises the time-out line by line, to the minimum of each rate.
    if (!FindSweep && !CheckTimeout(timeout, baudRate)) {
        timeout = GetTimeout(baudRate);
        txtLineTimeout->setText(QString::number(timeout));
        BlinkEdit(txtLineTimeout);
    }

    SetConnectionFieldsEnabled(false);
    engine->SetComPort(panComPort->comPortName());
    engine->SetBaudRate(baudRate);
    engine->SetTimeout(timeout);
    engine->SetFormat(panComPort->cbLineFormat->currentIndex());
    engine->Lines = FindSweep ? SearchSweepLines(timeout) : QList<TzFindLine>{};
    engine->OnFindAddr = [this](int addr, const TStringBytes &answer) {
        FindAddrProc(addr, answer);
    };
    engine->OnFindProcess = [this](int position) { FindProcessProc(position); };
    engine->OnFindLine = [this](const TzFindLine &line) { FindLineProc(line); };
    engine->OnFindEnd = [this] { FindStop(); };
    engine->ShowWarning = [this](const QString &text, const QString &caption) {
        MessageBoxNew(this, text, caption, QMessageBox::Warning);
    };

    panComPort->btnConnect->setEnabled(false);
    imgFindDevice->setPixmap(SearchPixmap(true));
    panFind->move(panComPort->geometry().right() + 2, panComPort->y());
    panFind->show();
    panFind->raise();
    FindListBox->clear();
    // In a sweep the current rate and format share the progress bar's row.
    const int barWidth = FindSweep ? kFindPanelWidth / 2 - 6 : kFindPanelWidth - 12;
    aniAdvProgress->setGeometry(6, panFind->height() - 26, barWidth, 16);
    engine->Cycled = true;
    if (!engine->Start())
        return false;
    aniAdvProgress->setValue(1);
    aniAdvProgress->show();
    labFindLine->setVisible(FindSweep);
    return true;
}

void TfrTarvex::FindStop() {
    if (frmFindDevice && frmFindDevice->InFindProgress())
        frmFindDevice->Stop();
    // The counter line lives as long as the search, including one that ended by itself.
    for (int row = 0; row < FindListBox->count(); ++row) {
        if (FindListBox->item(row)->type() == flCounter) {
            delete FindListBox->takeItem(row);
            break;
        }
    }
    SetConnectionFieldsEnabled(true);
    panComPort->btnConnect->setEnabled(true);
    imgFindDevice->setPixmap(SearchPixmap(false));
    aniAdvProgress->hide();
    labFindLine->hide();
}

void TfrTarvex::SetConnectionFieldsEnabled(bool enabled) {
    panComPort->SetConnectionFieldsEnabled(enabled);
    chkSearchSweep->setEnabled(enabled);
}

void TfrTarvex::FindProcessProc(int position) {
    if (!frmFindDevice || !frmFindDevice->InFindProgress())
        return;
    aniAdvProgress->setValue(position);
    if (++FindProcessAniPos > 10)
        FindProcessAniPos = 1;
    const QString text =
        QStringLiteral("[%1] ").arg(position) + QString(FindProcessAniPos, QLatin1Char('.'));
    if (FindListBox->count() == 0)
        FindListBox->addItem(new TzFindListItem(text, flCounter));
    FindListBox->item(0)->setText(text);
}

void TfrTarvex::FindLineProc(const TzFindLine &line) {
    labFindLine->setText(
        QStringLiteral("%1 %2").arg(line.BaudRate).arg(FormatShortName(line.Format)));
}

void TfrTarvex::FindAddrProc(int address, const TStringBytes &answer) {
    const bool tarvex = TfrmFindDevice::IsTarvexAnswer(answer);
    const QComboBox *cbLineBaudRate = panComPort->cbLineBaudRate;
    TzFindDevice device;
    device.ComPortIndx = panComPort->cbComPort->currentIndex();
    device.Addr = address;
    if (FindSweep && frmFindDevice) {
        const TzFindLine line = frmFindDevice->CurrentLine();
        device.BaudRateIndx = cbLineBaudRate->findText(QString::number(line.BaudRate));
        device.FormatIndx = line.Format;
        device.Timeout = QString::number(line.Timeout);
    } else {
        device.BaudRateIndx = cbLineBaudRate->currentIndex();
        device.FormatIndx = panComPort->cbLineFormat->currentIndex();
        device.Timeout = panComPort->txtLineTimeout->text();
    }
    device.Answer = answer;

    QString text = QStringLiteral("[%1] %2").arg(address).arg(tarvex ? QStringLiteral("Tarvex")
                                                                     : QStringLiteral("Unknown"));
    if (FindSweep)
        text += QStringLiteral(" %1 %2").arg(cbLineBaudRate->itemText(device.BaudRateIndx),
                                             FormatShortName(device.FormatIndx));
    if (!tarvex) {
        // Listed again in every pass: only modules are known by their address.
        FindListBox->addItem(new TzFindListItem(text, flUnknown, device));
        return;
    }
    for (int row = 0; row < FindListBox->count(); ++row) {
        const TzFindDevice &listed = Line(FindListBox, row)->Device;
        if (FindListBox->item(row)->type() == flTarvex && listed.Addr == address &&
            listed.BaudRateIndx == device.BaudRateIndx && listed.FormatIndx == device.FormatIndx)
            return;
    }
    FindListBox->addItem(new TzFindListItem(text, flTarvex, device));
}

void TfrTarvex::FindListBoxClick(QListWidgetItem *item) {
    if (!item || item->type() != flTarvex)
        return;
    const TzFindDevice &device = static_cast<TzFindListItem *>(item)->Device;
    panComPort->ShowLine(FoundLine(device, panComPort->cbComPort));
}

void TfrTarvex::FindListBoxDblClick() {
    if (QListWidgetItem *item = FindListBox->currentItem(); item && item->type() == flTarvex)
        panComPort->ConnectWithLine(
            FoundLine(static_cast<TzFindListItem *>(item)->Device, panComPort->cbComPort));
    else
        panComPort->btnConnectClick();
}

int TfrTarvex::FindListCount() const {
    return FindListBox ? FindListBox->count() : 0;
}

bool TfrTarvex::SaveFindList(const QString &path, QString *error) const {
    QList<QStringList> lines = {{QStringLiteral("Адрес"), QStringLiteral("Скорость"),
                                 QStringLiteral("Формат"), QStringLiteral("Устройство"),
                                 QStringLiteral("Ответ")}};
    for (int row = 0; row < FindListBox->count(); ++row) {
        const int type = FindListBox->item(row)->type();
        if (type != flTarvex && type != flUnknown)
            continue;
        const TzFindDevice &device = Line(FindListBox, row)->Device;
        lines.append({QString::number(device.Addr), LineBaudRates().value(device.BaudRateIndx),
                      LineFormats().value(device.FormatIndx),
                      type == flTarvex ? QStringLiteral("Tarvex") : QStringLiteral("Unknown"),
                      FrameHexText(device.Answer.AsBytes())});
    }
    return SaveCsvFile(path, lines, error);
}

void TfrTarvex::FindListSaveClick() {
    const QString path = FindListPathSource(this);
    if (path.isEmpty())
        return;
    QString error;
    if (!SaveFindList(path, &error))
        MessageBoxNew(this, QStringLiteral("Не удалось сохранить файл %1\n%2").arg(path, error),
                      QStringLiteral("Сохранить список"), QMessageBox::Warning);
}
