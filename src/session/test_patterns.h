#pragma once

#include <QObject>
#include <QTimer>

class TarvexSession;

// The test patterns over the module's 20 outputs, without any window: a running light ("snake"),
// a running pair ("runner"), and all outputs on or off at once or one by one. Every step shows
// its outputs at once (outputShown) and switches them through the session, which writes nothing
// while not connected; a pattern running when the connection ends goes on, on the display alone.
class TzTestPatterns : public QObject {
    Q_OBJECT
public:
    static constexpr int kShortestStep = 50; // ms
    static constexpr int kLongestStep = 2000;

    // The session must outlive the patterns.
    explicit TzTestPatterns(TarvexSession &session, QObject *parent = nullptr);
    ~TzTestPatterns() override;

    // --- commands
    // Switches every output off and starts the snake at output 1, or stops it.
    void toggleSnake();
    // Runner down or up: either way every output goes off and the runner restarts at (1, 11).
    void setRunner(bool down);
    // All outputs at once, in two register writes.
    void switchAll(bool on);
    // All outputs one by one, 20 down to 1.
    void switchAllInTurn(bool on);
    // The step of both patterns, kShortestStep..kLongestStep ms.
    void setStepPeriod(int ms);

    // One step of each pattern; their timers call them.
    void SnakeTimerTimer();
    void Runner_TimerTimer();

    // --- state
    bool snakeRunning() const { return SnakeTimer.isActive(); }
    bool runnerDown() const { return RunnerDown; }
    // The polled states then do not redraw the outputs: the patterns alone draw them.
    bool TestSequenceRunning() const { return snakeRunning() || RunnerDown; }
    int stepPeriod() const { return StepPeriod; }

signals:
    void outputShown(int output, bool on); // a step lit or put out an output
    void outputsPending();                 // all outputs switched; the module has yet to confirm
    void snakeChanged(bool running);
    void runnerChanged(bool down);

private:
    friend class TzTestPatternsTestAccess; // tests step by hand and show the display alone

    void Show(int output, bool on, bool write);

    TarvexSession &Session;
    int StepPeriod = 450; // the speed bar starts at 1600: 2050 - 1600
    int SnakePos = 0;     // the lit output, and the one lit before it
    int SnakePosPrev = 0;
    int SnakeLen = 3; // set at each start; the stepping does not use it
    int SnakeDir = 1;
    bool SnakeSilence = false; // the snake's steps change the display alone
    int RunnerPos = 1;
    int RunnerPosPrev = -1;
    bool RunnerDown = false;
    QTimer SnakeTimer;   // stopped until a snake starts
    QTimer Runner_Timer; // runs for the whole life of the patterns; steps only while down
};
