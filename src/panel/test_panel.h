#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class QScrollBar;
class TzTestPatterns;

// The test panel "Тестирование" (panSnake), a test function: it starts and stops the patterns
// and sets their speed. Collapsed, only its caption strip shows at the frame's bottom right; a
// click on the caption widens the window and shows it whole.
class TzTestPanel : public QFrame {
    Q_OBJECT
public:
    // The patterns must outlive the panel.
    TzTestPanel(TzTestPatterns &patterns, QWidget *frame);

    void btnSnakeOnClick();
    void btnRunnerClick();
    void btnAllOnClick(QPushButton *sender); // the four all-outputs buttons
    void SnakeSpeedScrollChange();
    void SnakeSpeedScrollScroll(int position); // a dragged thumb snaps to a multiple of 5
    void labSnakeCaptionMouseDown();           // expands
    void labClosePanSnakeClick();              // collapses
    // The collapsed panel at the frame's bottom right, in front; an expanded one stays.
    void PlaceTestPanel();
    bool expanded() const { return SnakeExpanded; }
    // The patterns' buttons act on the module: usable only while it is polled.
    void ButtonsEnabled(bool enabled);

    QLabel *labSnakeCaption = nullptr;
    QLabel *labClosePanSnake = nullptr;
    QPushButton *btnSnakeOn = nullptr;
    QPushButton *btnRunner = nullptr;
    QLabel *labSnakeSpeed = nullptr;
    QScrollBar *SnakeSpeedScroll = nullptr;
    QPushButton *btnAllOnSlow = nullptr;
    QPushButton *btnAllOffSlow = nullptr;
    QPushButton *btnAllOn = nullptr;
    QPushButton *btnAllOff = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowSnake(bool running);

    TzTestPatterns &Patterns;
    bool SnakeExpanded = false;
};
