#include "search_panel.h"

#include "session/tarvex_session.h"
#include "tools/csv_file.h"
#include "widgets/pictures.h"
#include "widgets/popup_form.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>

namespace {

// The list's lines: the counter line while a search runs, found modules, other responders.
enum FindLineType { flCounter = QListWidgetItem::UserType + 1, flTarvex, flUnknown };

class TzFindListItem : public QListWidgetItem {
public:
    TzFindListItem(const QString &text, FindLineType type, const TzFindDevice &device = {})
        : QListWidgetItem(text, nullptr, type), Device(device) {}
    TzFindDevice Device; // what answered, and under which settings (nothing for the counter)
};

const TzFindDevice &DeviceAt(const QListWidget *list, int row) {
    return static_cast<const TzFindListItem *>(list->item(row))->Device;
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

} // namespace

std::function<QString(QWidget *)> TzSearchPanel::FindListPathSource = [](QWidget *parent) {
    return QFileDialog::getSaveFileName(
        parent, QStringLiteral("Сохранить список"),
        QDir::home().filePath(QStringLiteral("Найденные устройства.csv")),
        QStringLiteral("CSV (*.csv)"));
};

TzSearchPanel::TzSearchPanel(TarvexSession &session, QWidget *frame, QFrame *connectionPanel,
                             QLabel *searchIcon)
    : QFrame(frame), m_session(session), m_connectionPanel(connectionPanel),
      m_searchIcon(searchIcon) {
    // The sweep's box is the connection panel's last row, below the connect button.
    connectionPanel->resize(connectionPanel->width(), connectionPanel->height() + kSweepRowHeight);
    chkSearchSweep =
        new QCheckBox(QStringLiteral("Перебирать скорости и форматы"), connectionPanel);
    chkSearchSweep->setObjectName(QStringLiteral("chkSearchSweep"));
    chkSearchSweep->setAccessibleName(chkSearchSweep->text());
    chkSearchSweep->setToolTip(
        QStringLiteral("Поиск по всем скоростям, от быстрой к медленной, и всем форматам"));
    chkSearchSweep->setGeometry(10, connectionPanel->height() - kSweepRowHeight - 6,
                                connectionPanel->width() - 20, kSweepRowHeight);
    new TzVisibilityFollower(searchIcon, chkSearchSweep);

    InitPopupPanel(this, QStringLiteral("panFind"), QStringLiteral("Устройства"), kFindPanelWidth,
                   connectionPanel->height());
    FindListBox = new QListWidget(this);
    FindListBox->setObjectName(QStringLiteral("FindListBox"));
    FindListBox->setAccessibleName(QStringLiteral("Найденные устройства"));
    FindListBox->setGeometry(6, 30, kFindPanelWidth - 12, height() - 62);
    connect(FindListBox, &QListWidget::itemClicked, this, &TzSearchPanel::FindListBoxClick);
    connect(FindListBox, &QListWidget::itemDoubleClicked, this,
            &TzSearchPanel::FindListBoxDblClick);
    auto *saveList = new QAction(QStringLiteral("Сохранить список..."), FindListBox);
    saveList->setObjectName(QStringLiteral("actFindListSave"));
    connect(saveList, &QAction::triggered, this, &TzSearchPanel::FindListSaveClick);
    FindListBox->addAction(saveList);
    FindListBox->setContextMenuPolicy(Qt::ActionsContextMenu);

    aniAdvProgress = new QProgressBar(this);
    aniAdvProgress->setObjectName(QStringLiteral("aniAdvProgress"));
    aniAdvProgress->setAccessibleName(QStringLiteral("Ход поиска"));
    aniAdvProgress->setRange(TfrmFindDevice::kFirstAddr, TfrmFindDevice::kLastAddr);
    aniAdvProgress->setTextVisible(false);
    aniAdvProgress->hide();
    labFindLine = new QLabel(this);
    labFindLine->setObjectName(QStringLiteral("labFindLine"));
    labFindLine->setAccessibleName(QStringLiteral("Скорость и формат поиска"));
    labFindLine->setGeometry(kFindPanelWidth / 2 + 4, height() - 29, kFindPanelWidth / 2 - 10, 22);
    labFindLine->hide();

    searchIcon->installEventFilter(this); // a click starts or stops the search
}

// A search this view started ends with it.
TzSearchPanel::~TzSearchPanel() {
    if (!m_engineLinks.isEmpty() && m_engine)
        m_engine->Stop();
    DisconnectEngine();
}

void TzSearchPanel::SetEngine(TfrmFindDevice *engine) {
    DisconnectEngine();
    m_engine = engine;
}

bool TzSearchPanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_searchIcon && event->type() == QEvent::MouseButtonPress) {
        imgFindDeviceClick();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void TzSearchPanel::ConnectEngine() {
    DisconnectEngine();
    m_engineLinks = {
        connect(m_engine, &TfrmFindDevice::OnFindAddr, this, &TzSearchPanel::FindAddrProc),
        connect(m_engine, &TfrmFindDevice::OnFindProcess, this, &TzSearchPanel::FindProcessProc),
        connect(m_engine, &TfrmFindDevice::OnFindLine, this, &TzSearchPanel::FindLineProc),
        connect(m_engine, &TfrmFindDevice::OnFindEnd, this, &TzSearchPanel::FindStop),
        connect(m_engine, &TfrmFindDevice::ShowWarning, this, &TzSearchPanel::warning),
    };
}

void TzSearchPanel::DisconnectEngine() {
    for (const QMetaObject::Connection &link : m_engineLinks)
        disconnect(link);
    m_engineLinks.clear();
}

void TzSearchPanel::imgFindDeviceClick() {
    if (m_session.isConnected() || !m_engine)
        return;
    if (m_engine->InFindProgress())
        FindStop();
    else if (!FindStart())
        FindStop();
}

bool TzSearchPanel::FindStart() {
    TfrmFindDevice *engine = m_engine;
    if (m_session.isConnected() || !engine || engine->InFindProgress())
        return false;
    FindSweep = chkSearchSweep->isChecked();
    // A sweep raises the time-out line by line, to the minimum of each rate.
    TarvexLineSettings line;
    if (!ReadConnectionFields || !ReadConnectionFields(line, !FindSweep))
        return false;

    emit searchRunning(true);
    chkSearchSweep->setEnabled(false);
    engine->SetComPort(line.portName);
    engine->SetBaudRate(line.baudRate);
    engine->SetTimeout(line.timeoutMs);
    engine->SetFormat(line.format);
    engine->Lines = FindSweep ? SearchSweepLines(line.timeoutMs) : QList<TzFindLine>{};
    ConnectEngine();

    m_searchIcon->setPixmap(SearchPixmap(true));
    move(m_connectionPanel->geometry().right() + 2, m_connectionPanel->y()); // a 1-pixel gap
    show();
    raise();
    FindListBox->clear();
    // In a sweep the current rate and format share the progress bar's row.
    const int barWidth = FindSweep ? kFindPanelWidth / 2 - 6 : kFindPanelWidth - 12;
    aniAdvProgress->setGeometry(6, height() - 26, barWidth, 16);
    engine->Cycled = true;
    if (!engine->Start())
        return false;
    aniAdvProgress->setValue(TfrmFindDevice::kFirstAddr);
    aniAdvProgress->show();
    labFindLine->setVisible(FindSweep);
    return true;
}

void TzSearchPanel::FindStop() {
    if (m_engine && m_engine->InFindProgress())
        m_engine->Stop();
    DisconnectEngine();
    // The counter line lives as long as the search, including one that ended by itself.
    for (int row = 0; row < FindListBox->count(); ++row) {
        if (FindListBox->item(row)->type() == flCounter) {
            delete FindListBox->takeItem(row);
            break;
        }
    }
    chkSearchSweep->setEnabled(true);
    emit searchRunning(false);
    m_searchIcon->setPixmap(SearchPixmap(false));
    aniAdvProgress->hide();
    labFindLine->hide();
}

void TzSearchPanel::FindProcessProc(int position) {
    if (!m_engine || !m_engine->InFindProgress())
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

void TzSearchPanel::FindLineProc(const TzFindLine &line) {
    labFindLine->setText(
        QStringLiteral("%1 %2").arg(line.BaudRate).arg(FindFormatText(line.Format)));
}

void TzSearchPanel::FindAddrProc(int address, const TStringBytes &answer) {
    if (!m_engine)
        return;
    const TzFindDevice device = m_engine->FoundDevice(address, answer);
    const QString text = device.ListText(FindSweep);
    if (!device.IsTarvex()) {
        // Listed again in every pass: only modules are known by their address.
        FindListBox->addItem(new TzFindListItem(text, flUnknown, device));
        return;
    }
    for (int row = 0; row < FindListBox->count(); ++row)
        if (FindListBox->item(row)->type() == flTarvex &&
            DeviceAt(FindListBox, row).SameModule(device))
            return;
    FindListBox->addItem(new TzFindListItem(text, flTarvex, device));
}

void TzSearchPanel::FindListBoxClick(QListWidgetItem *item) {
    if (item && item->type() == flTarvex)
        emit findDeviceTaken(static_cast<TzFindListItem *>(item)->Device);
}

void TzSearchPanel::FindListBoxDblClick() {
    emit connectRequested();
}

int TzSearchPanel::FindListCount() const {
    return FindListBox->count();
}

bool TzSearchPanel::SaveFindList(const QString &path, QString *error) const {
    QList<QStringList> lines = {FindListCsvHeader()};
    for (int row = 0; row < FindListBox->count(); ++row) {
        const int type = FindListBox->item(row)->type();
        if (type == flTarvex || type == flUnknown)
            lines.append(DeviceAt(FindListBox, row).CsvRow());
    }
    return SaveCsvFile(path, lines, error);
}

void TzSearchPanel::FindListSaveClick() {
    const QString path = FindListPathSource(this);
    if (path.isEmpty())
        return;
    QString error;
    if (!SaveFindList(path, &error))
        emit warning(QStringLiteral("Не удалось сохранить файл %1\n%2").arg(path, error),
                     QStringLiteral("Сохранить список"));
}
