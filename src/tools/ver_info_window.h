#pragma once

#include <QDialog>
#include <QPointer>

class QScrollArea;
struct TzVersionNote;

// The version history "История версий": one panel per version in a vertically scrolling box.
// Created once at start-up; showing it centres it on the main window, closing it only hides it.
class TfrmVerInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmVerInfo(QWidget *mainWindow = nullptr);
    ~TfrmVerInfo() override;

    void CenterOn(QWidget *mainWindow);

    QScrollArea *ScrollBox() const { return m_scrollBox; }

protected:
    void showEvent(QShowEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *CreateVersionPanel(int number, const TzVersionNote &note);
    void ScrollByWheel(QWheelEvent *event);

    QPointer<QWidget> m_mainWindow;
    QScrollArea *m_scrollBox = nullptr;
};
