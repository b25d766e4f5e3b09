#include "port_observer_window.h"

#include "csv_file.h"
#include "grid_text_delegate.h"
#include "port_observer_model.h"
#include "port_observer_pictures.h"
#include "widgets/clipboard.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

std::function<QString(QWidget *)> TfrmPortObserver::ExportPathSource = [](QWidget *parent) {
    return QFileDialog::getSaveFileName(
        parent, QStringLiteral("Экспорт"),
        QDir::home().filePath(QStringLiteral("Наблюдение за линией.csv")),
        QStringLiteral("CSV (*.csv)"));
};

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
// New rows reach the view in batches, at most this often.
constexpr int kRowsIntervalMs = 50;

// The exported columns, in the order of the file.
constexpr TzPortObserverModel::Column kExportColumns[] = {
    TzPortObserverModel::colTime,  TzPortObserverModel::colReg,     TzPortObserverModel::colFunc,
    TzPortObserverModel::colName,  TzPortObserverModel::colRequest, TzPortObserverModel::colAnswer,
    TzPortObserverModel::colValue, TzPortObserverModel::colTimeout};

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
    SG->setItemDelegate(new TzGridTextDelegate(SG));
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
    btnExport = Named(new QPushButton(QStringLiteral("Экспорт"), this), "btnExport",
                      QStringLiteral("Экспорт"));
    btnExport->setToolTip(QStringLiteral("Сохранить строки таблицы в файл CSV"));
    btnPause = IconButton(this, "btnPause", PauseIcon(), QStringLiteral("Пауза"), {});
    btnPin = IconButton(this, "btnPin", PinIcon(), QStringLiteral("Закрепить панель"),
                        QStringLiteral("Позволяет вкл/откл авто-скрытие кнопок управления"));
    btnPin->setChecked(true);

    connect(btnClear, &QPushButton::clicked, this, &TfrmPortObserver::Clear);
    connect(btnExport, &QPushButton::clicked, this, &TfrmPortObserver::btnExportClick);
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

    RowsTimer = new QTimer(this);
    RowsTimer->setObjectName(QStringLiteral("RowsTimer"));
    RowsTimer->setInterval(kRowsIntervalMs);
    connect(RowsTimer, &QTimer::timeout, this, &TfrmPortObserver::RowsTimerTimer);
    RowsTimer->start();
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
    btnExport->setGeometry(btnPause->geometry().right() + 7, top, 90, kToolbarHeight);
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

void TfrmPortObserver::AddRequest(const TzPortObsEntry &entry) {
    if (btnPause->isChecked() || !PassesFilters(entry.Rec))
        return;
    int row = rbStatica->isChecked() ? m_model->FindRowByReg(entry.Rec.Reg) : -1;
    const bool matched = row >= 0;
    if (!matched) {
        row = m_model->Cell(0, Col::colIndex).isEmpty() ? 0 : m_model->AppendEmptyRow();
        m_model->EmptyRow(row);
    }
    m_model->FillRequest(row, entry, rbHex->isChecked(), matched);
}

void TfrmPortObserver::AddAnswer(const TzPortObsEntry &entry) {
    const int row = m_model->FindRowByIndex(entry.Rec.Index);
    if (row < 0)
        return;
    const TzRowTick *tick = m_model->Tick(row);
    const uint32_t elapsed = tick ? uint32_t(entry.TickCount - tick->TickCount) : 0;
    if (m_model->FillAnswer(row, entry, rbHex->isChecked(), elapsed))
        WidenAnswerColumn(m_model->Cell(row, Col::colAnswer));
}

void TfrmPortObserver::RowsTimerTimer() {
    ShowPendingRows();
}

// The view follows the newest row in dynamic mode until the user selects an earlier one.
void TfrmPortObserver::ShowPendingRows() {
    const bool followNewest = rbDinamica->isChecked() && LastRowSelected();
    if (m_model->ShowPendingRows() && followNewest)
        SelectRow(m_model->rowCount() - 1);
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
    // Every open monitor gets the same answer in turn, and they share the grid's font: the text
    // is measured once for all of them.
    static QString measuredText;
    static QFont measuredFont;
    static int measuredWidth = 0;
    if (text != measuredText || SG->font() != measuredFont) {
        measuredText = text;
        measuredFont = SG->font();
        measuredWidth = SG->fontMetrics().horizontalAdvance(text);
    }
    const int needed = measuredWidth + kAnswerSpare;
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

// A table above its limit keeps its newest (limit - cut) rows: at a few records a second that is
// the cut of the oldest rows, and at thousands a second the table still stays bounded.
void TfrmPortObserver::AutoClearTimerTimer() {
    if (m_removing)
        return;
    const bool autoLimit = btnAutoLimit->isChecked();
    const int limit = autoLimit ? kAutoLimitRows : kLongLimitRows;
    const int cut = autoLimit ? kAutoLimitCut : kLongLimitCut;
    const int rows = m_model->RowTotal();
    if (rows + 1 <= limit) // the header row counts
        return;
    m_removing = true;
    ShowPendingRows();
    m_model->RemoveOldestRows(rows - (limit - cut));
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
    for (QWidget *control : std::initializer_list<QWidget *>{btnFilters, btnClear, btnPause,
                                                             btnExport, chFilters, btnPin})
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

bool TfrmPortObserver::ExportCsv(const QString &path, QString *error) {
    ShowPendingRows();
    QList<QStringList> lines;
    QStringList header;
    for (const Col column : kExportColumns)
        header << TzPortObserverModel::HeaderText(column);
    lines << header;
    const QHeaderView *rows = SG->verticalHeader();
    for (int visual = 0; visual < m_model->rowCount(); ++visual) {
        const int row = rows->logicalIndex(visual);
        if (SG->isRowHidden(row) || m_model->Cell(row, Col::colIndex).isEmpty())
            continue; // the empty row of a fresh table holds no request
        QStringList line;
        for (const Col column : kExportColumns)
            line << m_model->Cell(row, column);
        lines << line;
    }
    return SaveCsvFile(path, lines, error);
}

void TfrmPortObserver::btnExportClick() {
    const QString path = ExportPathSource(this);
    if (path.isEmpty())
        return;
    QString error;
    if (!ExportCsv(path, &error))
        QMessageBox::warning(this, QStringLiteral("Экспорт"),
                             QStringLiteral("Не удалось сохранить файл %1\n%2").arg(path, error));
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
