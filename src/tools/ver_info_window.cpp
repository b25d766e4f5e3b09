#include "ver_info_window.h"

#include "ver_info_texts.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

constexpr int kClientWidth = 505;
constexpr int kClientHeight = 457;
constexpr int kPanelGap = 6;
constexpr int kLeftMargin = 4;
constexpr int kTextMargin = 4;
const QColor kCaptionColor(0x2B, 0x57, 0x97);

QLabel *CreateCaptionBar(int number, const QString &caption) {
    auto *bar = new QLabel(caption);
    bar->setObjectName(QStringLiteral("lblVersionCaption%1").arg(number));
    bar->setAccessibleName(caption.trimmed());
    bar->setTextFormat(Qt::PlainText);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, kCaptionColor);
    palette.setColor(QPalette::WindowText, Qt::white);
    bar->setPalette(palette);
    QFont font = bar->font();
    font.setBold(true);
    bar->setFont(font);
    bar->setContentsMargins(2, 2, 2, 2);
    return bar;
}

QLabel *CreateTextLabel(int number, const TzVersionNote &note) {
    auto *text = new QLabel(note.Lines.join(QLatin1Char('\n')));
    text->setObjectName(QStringLiteral("lblVersionText%1").arg(number));
    text->setAccessibleName(QStringLiteral("Изменения в %1").arg(note.Caption.trimmed()));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setContentsMargins(kTextMargin, kTextMargin, kTextMargin, kTextMargin);
    return text;
}

} // namespace

TfrmVerInfo::TfrmVerInfo(QWidget *mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      m_mainWindow(mainWindow) {
    setWindowTitle(QStringLiteral("История версий"));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(kClientWidth, kClientHeight);

    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("pnlVersions"));
    content->setAccessibleName(QStringLiteral("Версии"));
    auto *panels = new QVBoxLayout(content);
    panels->setContentsMargins(kLeftMargin, kPanelGap, kLeftMargin, kPanelGap);
    panels->setSpacing(kPanelGap);
    const QList<TzVersionNote> &notes = VersionNotes();
    for (int i = 0; i < notes.size(); ++i)
        panels->addWidget(CreateVersionPanel(i + 1, notes[i]));
    panels->addStretch();

    m_scrollBox = new QScrollArea(this);
    m_scrollBox->setObjectName(QStringLiteral("sbVersions"));
    m_scrollBox->setAccessibleName(QStringLiteral("Список версий"));
    m_scrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollBox->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollBox->verticalScrollBar()->setTracking(true);
    m_scrollBox->verticalScrollBar()->setAccessibleName(QStringLiteral("Прокрутка списка версий"));
    m_scrollBox->setWidgetResizable(true);
    m_scrollBox->setWidget(content);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scrollBox);

    // The wheel scrolls the box by its own delta wherever the pointer is, also over the texts.
    const QList<QWidget *> children = findChildren<QWidget *>();
    for (QWidget *child : children)
        child->installEventFilter(this);
}

TfrmVerInfo::~TfrmVerInfo() = default;

QWidget *TfrmVerInfo::CreateVersionPanel(int number, const TzVersionNote &note) {
    auto *panel = new QFrame;
    panel->setObjectName(QStringLiteral("pnlVersion%1").arg(number));
    panel->setAccessibleName(note.Caption.trimmed());
    panel->setFrameShape(QFrame::Box);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(CreateCaptionBar(number, note.Caption));
    layout->addWidget(CreateTextLabel(number, note));
    return panel;
}

void TfrmVerInfo::CenterOn(QWidget *mainWindow) {
    const QRect main = mainWindow->frameGeometry();
    const QSize own = frameGeometry().size();
    move(main.left() + main.width() / 2 - own.width() / 2,
         main.top() + main.height() / 2 - own.height() / 2);
}

void TfrmVerInfo::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (m_mainWindow)
        CenterOn(m_mainWindow);
}

void TfrmVerInfo::wheelEvent(QWheelEvent *event) {
    ScrollByWheel(event);
}

bool TfrmVerInfo::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Wheel) {
        ScrollByWheel(static_cast<QWheelEvent *>(event));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// A notch away from the user (+120) moves the box up by 120 pixels.
void TfrmVerInfo::ScrollByWheel(QWheelEvent *event) {
    QScrollBar *bar = m_scrollBox->verticalScrollBar();
    bar->setValue(bar->value() - event->angleDelta().y());
    event->accept();
}
