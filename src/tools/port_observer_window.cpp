#include "port_observer_window.h"

#include "app/clipboard.h"
#include "port_observer_model.h"
#include "port_observer_pictures.h"
#include "port_observer_texts.h"
#include "transport/utils.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

std::function<uint32_t()> TfrmPortObserver::TickSource = [] { return GetTickCount(); };

namespace {

using Col = TzPortObserverModel::Column;

constexpr int kClientWidth = 934;
constexpr int kClientHeight = 538;
constexpr int kMinWidth = 380;
constexpr int kMinHeight = 300;
constexpr int kMargin = 8;
constexpr int kGridTopWithToolbar = 46;
constexpr int kToolbarHeight = 30;
constexpr int kPinRightGap = 10;
constexpr int kAnswerSpare = 10;
constexpr int kComboListWidth = 145;
constexpr int kRowHeight = 18;
constexpr int kGridFontPixels = 11;
constexpr int kColumnWidths[] = {35, 120, 90, 40, 55, 60, 200, 140, 140};

constexpr int kAutoLimitRows = 2000, kAutoLimitCut = 1000;
constexpr int kLongLimitRows = 10000, kLongLimitCut = 5000;

const char kTitle[] = "Наблюдение за линией";

// The key that gives C; on a Russian layout the same key types the Cyrillic "С".
bool IsKeyC(int key) {
    return key == Qt::Key_C || key == 0x0421;
}

QToolButton *IconButton(QWidget *parent, const char *name, const QIcon &icon, const QString &title,
                        const QString &notes) {
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(icon);
    button->setIconSize(QSize(20, 20));
    button->setCheckable(true);
    button->setAutoRaise(false);
    button->setToolTip(notes.isEmpty() ? title : title + QLatin1Char('\n') + notes);
    button->setAccessibleName(title);
    return button;
}

template <typename Widget> Widget *Named(Widget *widget, const char *name, const QString &caption) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(caption);
    return widget;
}

} // namespace

TfrmPortObserver::TfrmPortObserver(QWidget *owner)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmPortObserver"));
    setWindowTitle(QString::fromUtf8(kTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setMinimumSize(kMinWidth, kMinHeight);
    m_gridTop = kGridTopWithToolbar;

    CreateGrid();
    CreateToolbar();
    CreateFilterPanel();
    CreateTimers();
    ConnectClearingTriggers();

    resize(kClientWidth, kClientHeight);
    LayoutControls();
    SelectRow(0);
}

TfrmPortObserver::~TfrmPortObserver() {
    RemoveFromObservers();
}

void TfrmPortObserver::CreateGrid() {
    m_model = new TzPortObserverModel(this);
    SG = Named(new QTableView(this), "SG", QStringLiteral("Запросы и ответы на линии"));
    SG->setModel(m_model);
    SG->setSelectionBehavior(QAbstractItemView::SelectRows);
    SG->setSelectionMode(QAbstractItemView::SingleSelection);
    SG->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SG->setWordWrap(false);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(kGridFontPixels); // the column widths are made for this size
    SG->setFont(font);
    SG->verticalHeader()->hide();
    // Fixed row heights keep scrolling cheap with ten thousand rows.
    SG->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SG->verticalHeader()->setDefaultSectionSize(kRowHeight);
    SG->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    SG->horizontalHeader()->setHighlightSections(false);
    SG->horizontalHeader()->setStretchLastSection(false);
    for (int column = 0; column < Col::ColumnCount; ++column)
        SG->setColumnWidth(column, kColumnWidths[column]);
    SG->installEventFilter(this);
}

void TfrmPortObserver::CreateToolbar() {
    btnFilters = Named(new QPushButton(QStringLiteral("Фильтры"), this), "btnFilters",
                       QStringLiteral("Фильтры"));
    btnFilters->setCheckable(true);
    // Drawn over the left part of "Фильтры": it switches the filters without opening them.
    chFilters = Named(new QCheckBox(this), "chFilters", QStringLiteral("Включить фильтры"));
    chFilters->setChecked(true);

    btnClear = Named(new QPushButton(QStringLiteral("Очистить"), this), "btnClear",
                     QStringLiteral("Очистить"));
    btnPause = IconButton(this, "btnPause", PauseIcon(), QStringLiteral("Пауза"), {});
    btnPin = IconButton(this, "btnPin", PinIcon(), QStringLiteral("Закрепить панель"),
                        QStringLiteral("Позволяет вкл/откл авто-скрытие кнопок управления"));
    btnPin->setChecked(true);

    connect(btnClear, &QPushButton::clicked, this, &TfrmPortObserver::Clear);
    connect(btnFilters, &QPushButton::toggled, this, [this](bool down) {
        gbFilters->setVisible(down);
        if (down)
            gbFilters->raise();
    });
}

void TfrmPortObserver::CreateFilterPanel() {
    gbFilters = Named(new QGroupBox(this), "gbFilters", QStringLiteral("Фильтры"));
    gbFilters->setAutoFillBackground(true); // it floats over the grid

    chFilterFunc = Named(new QCheckBox(QStringLiteral("Функция"), gbFilters), "chFilterFunc",
                         QStringLiteral("Функция"));
    cbFunc = Named(new QComboBox(gbFilters), "cbFunc", QStringLiteral("Функция"));
    cbFunc->addItems(
        {QStringLiteral("01h  Read Coils"), QStringLiteral("02h  Read Discrete Inputs"),
         QStringLiteral("03h  Read Holding Registers"), QStringLiteral("04h  Read Input Registers"),
         QStringLiteral("05h  Write Single Coil"), QStringLiteral("06h  Write Single Register")});
    cbFunc->setCurrentIndex(0);
    cbFunc->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbFunc->setMinimumContentsLength(3);
    cbFunc->view()->setMinimumWidth(kComboListWidth);

    chFilterReg = Named(new QCheckBox(QStringLiteral("Регистр"), gbFilters), "chFilterReg",
                        QStringLiteral("Регистр"));
    txtReg = Named(new QSpinBox(gbFilters), "txtReg", QStringLiteral("Регистр"));
    txtReg->setRange(0, 65535);
    txtReg->setValue(0);

    auto *gbView = Named(new QGroupBox(QStringLiteral("Представление"), gbFilters), "gbView",
                         QStringLiteral("Представление"));
    rbHex = Named(new QRadioButton(QStringLiteral("Hex"), gbView), "rbHex", QStringLiteral("Hex"));
    rbHex->setToolTip(QStringLiteral("Шестнадцатеричный вид"));
    rbHex->setChecked(true);
    rbDec = Named(new QRadioButton(QStringLiteral("Dec"), gbView), "rbDec", QStringLiteral("Dec"));
    rbDec->setToolTip(QStringLiteral("Десятичный вид"));
    auto *viewLayout = new QVBoxLayout(gbView);
    viewLayout->addWidget(rbHex);
    viewLayout->addWidget(rbDec);

    auto *gbMode =
        Named(new QGroupBox(QStringLiteral("Режим"), gbFilters), "gbMode", QStringLiteral("Режим"));
    rbStatica = Named(new QRadioButton(QStringLiteral("Статический"), gbMode), "rbStatica",
                      QStringLiteral("Статический"));
    rbStatica->setChecked(true);
    rbDinamica = Named(new QRadioButton(QStringLiteral("Динамический"), gbMode), "rbDinamica",
                       QStringLiteral("Динамический"));
    auto *modeLayout = new QVBoxLayout(gbMode);
    modeLayout->addWidget(rbStatica);
    modeLayout->addWidget(rbDinamica);

    btnAutoLimit = Named(new QPushButton(QStringLiteral("Автолимит"), gbFilters), "btnAutoLimit",
                         QStringLiteral("Автолимит"));
    btnAutoLimit->setCheckable(true);
    btnAutoLimit->setChecked(true);
    btnAutoLimit->setToolTip(
        QStringLiteral("Автолимит\nВкл: Когда количество строк в таблице превышает 2000, половина "
                       "удаляется.\n\nОткл: Удаляется после 10000 строк"));

    auto *layout = new QGridLayout(gbFilters);
    layout->addWidget(chFilterFunc, 0, 0);
    layout->addWidget(cbFunc, 0, 1);
    layout->addWidget(chFilterReg, 1, 0);
    layout->addWidget(txtReg, 1, 1);
    layout->addWidget(gbView, 2, 0);
    layout->addWidget(gbMode, 2, 1);
    layout->addWidget(btnAutoLimit, 3, 0, 1, 2);
    gbFilters->adjustSize();
    gbFilters->hide();

    connect(rbHex, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            m_model->ShowFrames(true);
    });
    connect(rbDec, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            m_model->ShowFrames(false);
    });
}

void TfrmPortObserver::CreateTimers() {
    AutoClearTimer = new QTimer(this);
    AutoClearTimer->setObjectName(QStringLiteral("AutoClearTimer"));
    AutoClearTimer->setInterval(500);
    connect(AutoClearTimer, &QTimer::timeout, this, &TfrmPortObserver::AutoClearTimerTimer);
    AutoClearTimer->start();

    InterfaceTimer = new QTimer(this);
    InterfaceTimer->setObjectName(QStringLiteral("InterfaceTimer"));
    InterfaceTimer->setInterval(100);
    connect(InterfaceTimer, &QTimer::timeout, this, &TfrmPortObserver::InterfaceTimerTimer);
    InterfaceTimer->start();
}

// A filtered or keyed table would mix rows of the old and the new choice, so it starts afresh.
void TfrmPortObserver::ConnectClearingTriggers() {
    connect(rbStatica, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            Clear();
    });
    connect(chFilters, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked)
            ClearInStaticMode();
    });
    connect(cbFunc, &QComboBox::currentIndexChanged, this, [this] {
        if (chFilters->isChecked() && chFilterFunc->isChecked())
            ClearInStaticMode();
    });
    connect(txtReg, &QSpinBox::valueChanged, this, [this] {
        if (chFilters->isChecked() && chFilterReg->isChecked())
            ClearInStaticMode();
    });
    const auto filterClicked = [this] {
        if (chFilters->isChecked() && (chFilterFunc->isChecked() || chFilterReg->isChecked()))
            ClearInStaticMode();
    };
    connect(chFilterFunc, &QCheckBox::toggled, this, filterClicked);
    connect(chFilterReg, &QCheckBox::toggled, this, filterClicked);
}

void TfrmPortObserver::LayoutControls() {
    const int top = kMargin;
    btnFilters->setGeometry(kMargin, top, 110, kToolbarHeight);
    const QSize check = chFilters->sizeHint();
    chFilters->setGeometry(kMargin + 6, top + (kToolbarHeight - check.height()) / 2, check.width(),
                           check.height());
    chFilters->raise();
    btnClear->setGeometry(btnFilters->geometry().right() + 7, top, 90, kToolbarHeight);
    btnPause->setGeometry(btnClear->geometry().right() + 7, top, kToolbarHeight, kToolbarHeight);
    btnPin->setGeometry(width() - kPinRightGap - kToolbarHeight, top, kToolbarHeight,
                        kToolbarHeight);

    SG->setGeometry(kMargin, m_gridTop, width() - 2 * kMargin, height() - m_gridTop - kMargin);
    gbFilters->move(SG->pos());
}

void TfrmPortObserver::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    LayoutControls();
}

void TfrmPortObserver::SetComPort(int comPort, const QString &portName) {
    m_comPort = comPort;
#ifdef Q_OS_WIN
    Q_UNUSED(portName);
    setWindowTitle(QString::fromUtf8(kTitle) + QStringLiteral(" COM") + QString::number(comPort));
#else
    setWindowTitle(QString::fromUtf8(kTitle) + QLatin1Char(' ') + portName);
#endif
}

bool TfrmPortObserver::PassesFilters(const TzPortObsRec &rec) const {
    if (!chFilters->isChecked())
        return true;
    if (chFilterFunc->isChecked() && rec.Func != cbFunc->currentIndex() + 1)
        return false;
    if (chFilterReg->isChecked() && rec.Reg != txtReg->value())
        return false;
    return true;
}

void TfrmPortObserver::AddRequest(const TzPortObsRec &rec) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, rec] { AddRequest(rec); }, Qt::QueuedConnection);
        return;
    }
    if (btnPause->isChecked() || !PassesFilters(rec))
        return;
    const QString requestHex = FrameHexText(rec.Cmd);
    const QString requestDec = FrameDecText(rec.Cmd);

    const bool staticMode = rbStatica->isChecked();
    int row = staticMode ? m_model->FindRowByReg(rec.Reg) : -1;
    const bool matched = row >= 0;
    const bool followNewest = LastRowSelected();
    if (!matched) {
        row = m_model->Cell(0, Col::colIndex).isEmpty() ? 0 : m_model->AppendEmptyRow();
        m_model->EmptyRow(row);
    }

    m_model->SetCell(row, Col::colIndex, QString::number(rec.Index));
    m_model->SetCell(row, Col::colTime,
                     QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    m_model->SetCell(row, Col::colReg, RegisterText(rec.Reg));
    m_model->SetCell(row, Col::colName, rec.Name);
    m_model->SetCell(row, Col::colFunc, FunctionText(rec.Func));
    m_model->SetCell(row, Col::colRequest, rbHex->isChecked() ? requestHex : requestDec);

    // A reused static row keeps its answer until the next answer replaces it.
    TzRowTick tick = matched ? *m_model->Tick(row) : TzRowTick{};
    tick.TickCount = TickSource();
    tick.RequestHex = requestHex;
    tick.RequestDec = requestDec;
    tick.Name = rec.Name;
    tick.Reg = rec.Reg;
    m_model->SetTick(row, tick);

    if (!staticMode && followNewest)
        SelectRow(row);
}

void TfrmPortObserver::AddAnswer(const TzPortObsRec &rec) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, rec] { AddAnswer(rec); }, Qt::QueuedConnection);
        return;
    }
    const QString answerHex = FrameHexText(rec.Cmd);
    const QString answerDec = FrameDecText(rec.Cmd);
    const int row = m_model->FindRowByIndex(QString::number(rec.Index));
    if (row < 0)
        return;

    uint32_t elapsed = 0;
    if (TzRowTick *tick = m_model->Tick(row)) {
        elapsed = uint32_t(TickSource() - tick->TickCount);
        tick->AnswerHex = answerHex;
        tick->AnswerDec = answerDec;
    }
    const QString answer = rbHex->isChecked() ? answerHex : answerDec;
    m_model->SetCell(row, Col::colValue, rec.Value);
    m_model->SetCell(row, Col::colTimeout, ElapsedText(elapsed));
    m_model->SetCell(row, Col::colAnswer, answer);
    WidenAnswerColumn(answer);
}

bool TfrmPortObserver::LastRowSelected() const {
    return SG->currentIndex().row() == m_model->rowCount() - 1;
}

void TfrmPortObserver::SelectRow(int row) {
    const QModelIndex cell = m_model->index(row, qMax(0, SG->currentIndex().column()));
    SG->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
    SG->scrollTo(cell);
}

void TfrmPortObserver::WidenAnswerColumn(const QString &text) {
    const int needed = SG->fontMetrics().horizontalAdvance(text) + kAnswerSpare;
    if (needed > SG->columnWidth(Col::colAnswer))
        SG->setColumnWidth(Col::colAnswer, needed);
}

void TfrmPortObserver::Clear() {
    btnClear->setDown(false);
    if (m_removing)
        return;
    m_removing = true;
    m_model->ResetToOneEmptyRow();
    m_removing = false;
    SelectRow(0);
}

void TfrmPortObserver::ClearInStaticMode() {
    if (rbStatica->isChecked())
        Clear();
}

void TfrmPortObserver::AutoClearTimerTimer() {
    if (m_removing)
        return;
    const bool autoLimit = btnAutoLimit->isChecked();
    const int limit = autoLimit ? kAutoLimitRows : kLongLimitRows;
    const int cut = autoLimit ? kAutoLimitCut : kLongLimitCut;
    if (m_model->rowCount() + 1 <= limit) // the header row counts
        return;
    m_removing = true;
    m_model->RemoveOldestRows(cut);
    m_removing = false;
}

void TfrmPortObserver::InterfaceTimerTimer() {
    if (btnPin->isChecked())
        return;
    ShowToolbar(frameGeometry().contains(QCursor::pos()));
}

void TfrmPortObserver::ShowToolbar(bool shown) {
    m_gridTop = shown ? kGridTopWithToolbar : kMargin;
    if (!shown) {
        gbFilters->hide();
        btnFilters->setChecked(false);
    }
    for (QWidget *control : {static_cast<QWidget *>(btnFilters), static_cast<QWidget *>(btnClear),
                             static_cast<QWidget *>(btnPause), static_cast<QWidget *>(chFilters),
                             static_cast<QWidget *>(btnPin)})
        control->setVisible(shown);
    LayoutControls();
}

bool TfrmPortObserver::eventFilter(QObject *watched, QEvent *event) {
    if (watched == SG && event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->modifiers() & Qt::ControlModifier) && IsKeyC(key->key()))
            CopySelectedRow();
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmPortObserver::CopySelectedRow() {
    const int row = SG->currentIndex().row();
    if (row < 0)
        return;
    QStringList lines;
    for (int column = 0; column < Col::ColumnCount; ++column)
        lines << TzPortObserverModel::HeaderText(column) + QStringLiteral(": ") +
                     m_model->Cell(row, column);
    CopyTextToClipboard(lines.join(QStringLiteral("\r\n")));
}

void TfrmPortObserver::closeEvent(QCloseEvent *event) {
    RemoveFromObservers();
    QWidget::closeEvent(event);
}

void TfrmPortObserver::RemoveFromObservers() {
    PortObservers().removeAll(static_cast<TzPortObserver *>(this));
}

TfrmPortObserver *CreatePortObserver(QWidget *owner) {
    auto *window = new TfrmPortObserver(owner);
    PortObservers().append(window);
    return window;
}
