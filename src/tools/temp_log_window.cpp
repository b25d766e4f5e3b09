#include "temp_log_window.h"

#include "temp_log.h"
#include "widgets/clipboard.h"

#include <QAction>
#include <QCloseEvent>
#include <QListView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kClientWidth = 635;
constexpr int kClientHeight = 413;
constexpr int kMargin = 3;
constexpr int kFontPixels = 13;

} // namespace

TfrmTempLog::TfrmTempLog(QWidget *parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Лог"));
    // Only the main window's closing ends the application.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(kClientWidth, kClientHeight);

    m_rich = new QListView(this);
    m_rich->setObjectName(QStringLiteral("Rich"));
    m_rich->setAccessibleName(QStringLiteral("Лог"));
    m_rich->setModel(&TempLogModel::instance());
    m_rich->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rich->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_rich->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rich->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_rich->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_rich->setUniformItemSizes(true);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(kFontPixels);
    m_rich->setFont(font);

    auto *copy = new QAction(m_rich);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &TfrmTempLog::CopySelectedLines);
    m_rich->addAction(copy);

    connect(&TempLogModel::instance(), &QAbstractItemModel::rowsInserted, m_rich,
            &QAbstractItemView::scrollToTop);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_rich);

    AddErrorCounterLines();
}

TfrmTempLog::~TfrmTempLog() = default;

void TfrmTempLog::RePos(QWidget *mainWindow) {
    const QRect main = mainWindow->frameGeometry();
    const QSize own = frameGeometry().size();
    move(main.left() + main.width() / 2 - own.width() / 2,
         main.top() + main.height() / 2 - own.height() / 2);
}

void TfrmTempLog::closeEvent(QCloseEvent *event) {
    event->ignore();
    hide();
}

// Added bottom line first, so that they read 01h..08h and then the others from the top.
void TfrmTempLog::AddErrorCounterLines() {
    TempLogAdd(QStringLiteral("Других ошибок: 0"), LogColor::Navy);
    for (int code = 8; code >= 1; --code)
        TempLogAdd(QStringLiteral("Ошибок 0%1h: 0").arg(code), LogColor::Navy);
}

void TfrmTempLog::CopySelectedLines() {
    QModelIndexList selected = m_rich->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex &index : selected)
        lines.append(index.data().toString());
    CopyTextToClipboard(lines.join(QLatin1Char('\n')));
}
