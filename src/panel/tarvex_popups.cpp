#include "connection_panel.h"
#include "module_panel.h"
#include "pwm_panel.h"
#include "remote_panel.h"
#include "search_panel.h"
#include "support/program_files.h"
#include "tarvex.h"
#include "test_panel.h"
#include "tools/port_observer_window.h"
#include "tools/temp_log.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

void TfrTarvex::PopupPanel(QWidget *target, QWidget *panel, PopupSide side) {
    panel->setParent(this);
    if (CurrPanel && CurrPanel != panel)
        CurrPanel->hide();
    CurrPanel = panel;
    const QRect t = target->geometry();
    switch (side) {
    case psAbove:
        panel->move(t.left(), t.top() - panel->height());
        break;
    case psBelow:
        panel->move(t.left(), t.top() + t.height());
        break;
    case psLeft:
        panel->move(t.left() - panel->width(), t.top());
        break;
    case psRight:
        panel->move(t.left() + t.width(), t.top());
        break;
    }
    panel->setVisible(panel->isHidden());
    panel->raise();
}

void TfrTarvex::btnRS485Click(QAbstractButton *sender) {
    if (sender == btnComPort) {
        panComPort->EnumSerialPorts(); // an adapter plugged in since start shows up
        PopupPanel(btnComPort, panComPort, psRight);
        panFind->move(panComPort->geometry().right() + 2, panComPort->y()); // a 1-pixel gap
        panFind->raise();
        TryFindPanVisible();
    } else if (sender == btnRS485) {
        PopupPanel(btnRS485, panRS485, psRight);
    } else if (sender == btnDOUT) {
        PopupPanel(btnComPort, panDOUT, psRight);
        panDOUT->btnDOUT1PanClick(panDOUT->currentOutput()); // the values last read
        panDOUT->panShim->move(panDOUT->x() + panDOUT->width() - 1, panDOUT->y() + 248);
        panDOUT->panShim->raise();
    }
    panDOUT->panShim->setVisible(!panDOUT->isHidden());
    panProxy->hide();

    // The toolbar buttons act as one group: the button of the open panel is the pressed one.
    const struct {
        QPushButton *button;
        QWidget *panel;
    } group[] = {{btnComPort, panComPort}, {btnRS485, panRS485}, {btnDOUT, panDOUT}};
    for (const auto &entry : group)
        entry.button->setChecked(entry.panel == CurrPanel && !entry.panel->isHidden());
}

void TfrTarvex::CloseAllPanel() {
    if (CurrPanel)
        CurrPanel->hide();
    if (panComPort->isHidden())
        panFind->hide();
    if (panDOUT->isHidden())
        panDOUT->panShim->hide();
    panProxy->hide();
    for (QPushButton *button : {btnComPort, btnRS485, btnDOUT})
        button->setChecked(false);
}

void TfrTarvex::TryFindPanVisible() {
    panFind->setVisible(!Session->isConnected() && !panComPort->isHidden() &&
                        panFind->FindListCount() > 0);
}

void TfrTarvex::mousePressEvent(QMouseEvent *event) {
    CloseAllPanel(); // a click on the frame's free area
    QFrame::mousePressEvent(event);
}

// Pictures and caption strips that act as buttons.
void TfrTarvex::OnClick(QWidget *label, void (TfrTarvex::*handler)()) {
    m_clickHandlers[label] = handler;
    label->installEventFilter(this);
}

bool TfrTarvex::eventFilter(QObject *watched, QEvent *event) {
    const auto handler = m_clickHandlers.find(watched);
    if (handler != m_clickHandlers.end() && event->type() == QEvent::MouseButtonPress) {
        (this->*handler->second)();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

// The seasonal hat shows or hides the two seasonal pictures.
void TfrTarvex::imgHatClick() {
    const bool show = imgSeason1->isHidden();
    imgSeason1->setVisible(show);
    imgSeason2->setVisible(show);
    labTest->resize(show ? 34 : 88, labTest->height());
}

void TfrTarvex::resizeEvent(QResizeEvent *event) {
    QFrame::resizeEvent(event);
    FrameResize();
}

void TfrTarvex::FrameResize() {
    const int right = width() - 1;
    imgLogo->move(right - imgLogo->width(), -8);
    btnHelp->move(right - btnHelp->width(), imgLogo->y() + imgLogo->height());
    btnVerInfo->move(right - btnVerInfo->width(), btnHelp->y() + btnHelp->height() + 5);
    btnTempLog->move(right - btnTempLog->width(), btnVerInfo->y() + btnVerInfo->height() + 5);
    btnPortObserver->move(btnTempLog->x() - 5 - btnPortObserver->width(), btnTempLog->y());
    imgHat->move(imgLogo->x() - imgHat->width(), 2);

    btnReset->move(btnReset->x(), height() - 5 - btnReset->height());
    labNeedReset->move(labNeedReset->x(), btnReset->y());

    panSnake->PlaceTestPanel();
    imgSeason1->move(width() - 73 - imgSeason1->width(), height() - imgSeason1->height());
    imgSeason2->move(304, height() + 5 - imgSeason2->height());
}

// The manual lies next to the executable or, for an installed program, in its share folder.
void TfrTarvex::btnHelpClick() {
    const QString document = QStringLiteral("Doc/Панель управления Tarvex.pdf");
    const QString path = FindProgramFile(ExeDir, document);
    if (path.isEmpty()) {
        TempLogAdd(QStringLiteral("Не найден файл справки: ") +
                       ProgramFileCandidates(ExeDir, document).join(QStringLiteral(" или ")),
                   LogColor::DarkRed);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        TempLogAdd(QStringLiteral("Не удалось открыть файл справки: ") + path, LogColor::DarkRed);
}

void TfrTarvex::btnTempLogClick() {
    if (frmTempLog)
        frmTempLog->setVisible(!frmTempLog->isVisible());
}

void TfrTarvex::btnVerInfoClick() {
    if (frmVerInfo)
        frmVerInfo->setVisible(!frmVerInfo->isVisible());
}

// Every click opens another monitor, centred over the panel.
void TfrTarvex::btnPortObserverClick() {
    btnPortObserver->setDown(false);
    TfrmPortObserver *monitor = CreatePortObserver(this);
    monitor->SetComPort(panComPort->comPort(), panComPort->comPortName());
    const QPoint origin = window()->geometry().topLeft();
    monitor->move(origin.x() + width() / 2 - monitor->width() / 2,
                  origin.y() + height() / 2 - monitor->height() / 2);
    monitor->show();
}
