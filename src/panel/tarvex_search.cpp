#include "app/blinker.h"
#include "find_device.h"
#include "found_device.h"
#include "pictures.h"
#include "popup_form.h"
#include "tarvex.h"
#include "transport/utils.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

namespace {

// The list's lines: the counter line while a search runs, found modules, other responders.
enum FindLineType { flCounter = QListWidgetItem::UserType + 1, flTarvex, flUnknown };

class TzFindListItem : public QListWidgetItem {
public:
    TzFindListItem(const QString &text, FindLineType type, const TzFindDevice &device = {})
        : QListWidgetItem(text, nullptr, type), Device(device) {}
    TzFindDevice Device;
};

TzFindListItem *Line(QListWidget *list, int row) {
    return static_cast<TzFindListItem *>(list->item(row));
}

} // namespace

// The engine outlives a panel only in tests; it must not call back into a panel that is gone.
void TfrTarvex::ReleaseSearchEngine() {
    if (!frmFindDevice || !frmFindDevice->OnFindProcess)
        return;
    frmFindDevice->Stop();
    frmFindDevice->OnFindAddr = nullptr;
    frmFindDevice->OnFindProcess = nullptr;
    frmFindDevice->ShowWarning = [](const QString &, const QString &) {};
}

void TfrTarvex::CreateSearchPanel() {
    panFind = MakePopupPanel(this, QStringLiteral("panFind"), QStringLiteral("Устройства"), 150,
                             panComPort->height());
    FindListBox = new QListWidget(panFind);
    FindListBox->setObjectName(QStringLiteral("FindListBox"));
    FindListBox->setAccessibleName(QStringLiteral("Найденные устройства"));
    FindListBox->setGeometry(6, 30, 138, panFind->height() - 62);
    connect(FindListBox, &QListWidget::itemClicked, this, &TfrTarvex::FindListBoxClick);
    connect(FindListBox, &QListWidget::itemDoubleClicked, this, &TfrTarvex::FindListBoxDblClick);
    aniAdvProgress = new QProgressBar(panFind);
    aniAdvProgress->setObjectName(QStringLiteral("aniAdvProgress"));
    aniAdvProgress->setAccessibleName(QStringLiteral("Ход поиска"));
    aniAdvProgress->setRange(1, 247);
    aniAdvProgress->setTextVisible(false);
    aniAdvProgress->setGeometry(6, panFind->height() - 26, 138, 16);
    aniAdvProgress->hide();

    OnClick(imgFindDevice, &TfrTarvex::imgFindDeviceClick); // starts or stops the search
}

void TfrTarvex::imgFindDeviceClick() {
    if (Connected || !frmFindDevice)
        return;
    if (frmFindDevice->InFindProgress())
        FindStop();
    else if (!FindStart())
        FindStop();
}

bool TfrTarvex::FindStart() {
    TfrmFindDevice *engine = frmFindDevice;
    if (Connected || !engine || engine->InFindProgress())
        return false;
    int timeout = 0;
    if (!CheckBlinkEditInt(txtLineTimeout, timeout, kNotSet, kNotSet))
        return false;
    if (!CheckTimeout(timeout, BaudRate)) {
        timeout = GetTimeout(BaudRate);
        txtLineTimeout->setText(QString::number(timeout));
        BlinkEdit(txtLineTimeout);
    }

    SetConnectionFieldsEnabled(false);
    engine->SetComPort(ComPortName);
    engine->SetBaudRate(BaudRate);
    engine->SetTimeout(timeout);
    engine->SetFormat(cbLineFormat->currentIndex());
    engine->OnFindAddr = [this](int addr, const TStringBytes &answer) {
        FindAddrProc(addr, answer);
    };
    engine->OnFindProcess = [this](int position) { FindProcessProc(position); };
    engine->ShowWarning = [this](const QString &text, const QString &caption) {
        MessageBoxNew(this, text, caption, QMessageBox::Warning);
    };

    btnConnect->setEnabled(false);
    imgFindDevice->setPixmap(SearchPixmap(true));
    panFind->move(panComPort->geometry().right() + 2, panComPort->y());
    panFind->show();
    panFind->raise();
    FindListBox->clear();
    engine->Cycled = true;
    if (!engine->Start())
        return false;
    aniAdvProgress->setValue(1);
    aniAdvProgress->show();
    return true;
}

void TfrTarvex::FindStop() {
    if (frmFindDevice && frmFindDevice->InFindProgress()) {
        frmFindDevice->Stop();
        for (int row = 0; row < FindListBox->count(); ++row) {
            if (FindListBox->item(row)->type() == flCounter) {
                delete FindListBox->takeItem(row);
                break;
            }
        }
    }
    SetConnectionFieldsEnabled(true);
    btnConnect->setEnabled(true);
    imgFindDevice->setPixmap(SearchPixmap(false));
    aniAdvProgress->hide();
}

void TfrTarvex::SetConnectionFieldsEnabled(bool enabled) {
    for (QWidget *field : std::initializer_list<QWidget *>{cbComPort, txtLineAddr, cbLineBaudRate,
                                                           cbLineFormat, txtLineTimeout})
        field->setEnabled(enabled);
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

void TfrTarvex::FindAddrProc(int address, const TStringBytes &answer) {
    if (!TfrmFindDevice::IsTarvexAnswer(answer)) {
        // Listed again in every pass: only modules are known by their address.
        FindListBox->addItem(
            new TzFindListItem(QStringLiteral("[%1] Unknown").arg(address), flUnknown));
        return;
    }
    for (int row = 0; row < FindListBox->count(); ++row)
        if (FindListBox->item(row)->type() == flTarvex &&
            Line(FindListBox, row)->Device.Addr == address)
            return;
    TzFindDevice device;
    device.ComPortIndx = cbComPort->currentIndex();
    device.Addr = address;
    device.BaudRateIndx = cbLineBaudRate->currentIndex();
    device.FormatIndx = cbLineFormat->currentIndex();
    device.Timeout = txtLineTimeout->text();
    device.aType = 73;
    device.Answer = answer;
    device.Timestamp = GetTickCount();
    FindListBox->addItem(
        new TzFindListItem(QStringLiteral("[%1] Tarvex").arg(address), flTarvex, device));
}

void TfrTarvex::FindListBoxClick(QListWidgetItem *item) {
    if (!item || item->type() != flTarvex)
        return;
    const TzFindDevice &device = static_cast<TzFindListItem *>(item)->Device;
    cbComPort->setCurrentIndex(device.ComPortIndx);
    txtLineAddr->setText(QString::number(device.Addr));
    cbLineBaudRate->setCurrentIndex(device.BaudRateIndx);
    cbLineFormat->setCurrentIndex(device.FormatIndx);
    txtLineTimeout->setText(device.Timeout);
    cbComPortChange();
}

void TfrTarvex::FindListBoxDblClick() {
    btnConnectClick();
}

int TfrTarvex::FindListCount() const {
    return FindListBox ? FindListBox->count() : 0;
}
