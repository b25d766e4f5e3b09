#include "test_patterns.h"

#include "tarvex_session.h"

TzTestPatterns::TzTestPatterns(TarvexSession &session, QObject *parent)
    : QObject(parent), Session(session) {
    SnakeTimer.setObjectName(QStringLiteral("SnakeTimer"));
    SnakeTimer.setInterval(250);
    connect(&SnakeTimer, &QTimer::timeout, this, &TzTestPatterns::SnakeTimerTimer);
    Runner_Timer.setObjectName(QStringLiteral("Runner_Timer"));
    Runner_Timer.setInterval(500);
    connect(&Runner_Timer, &QTimer::timeout, this, &TzTestPatterns::Runner_TimerTimer);
    Runner_Timer.start();
}

TzTestPatterns::~TzTestPatterns() {
    SnakeTimer.stop();
    Runner_Timer.stop();
}

void TzTestPatterns::Show(int output, bool on, bool write) {
    emit outputShown(output, on);
    if (write)
        Session.setOutput(output, on);
}

void TzTestPatterns::toggleSnake() {
    Session.setAllOutputs(false);
    SnakePos = SnakePosPrev = 0;
    SnakeLen = 3;
    SnakeDir = 1;
    SnakeSilence = false;
    SnakeTimer.setInterval(StepPeriod);
    if (SnakeTimer.isActive())
        SnakeTimer.stop();
    else
        SnakeTimer.start();
    emit snakeChanged(SnakeTimer.isActive());
}

// The lit output runs 1..10, then 20..11, then 1 again: once round the two rows.
void TzTestPatterns::SnakeTimerTimer() {
    if (SnakePos < 10)
        ++SnakePos;
    if (SnakePos > 11)
        --SnakePos;
    Show(SnakePos, true, !SnakeSilence);
    if (SnakePosPrev > 0)
        Show(SnakePosPrev, false, !SnakeSilence);
    SnakePosPrev = SnakePos;
    if (SnakePos == 10)
        SnakePos = 21;
    else if (SnakePos == 11)
        SnakePos = 0;
}

void TzTestPatterns::setRunner(bool down) {
    RunnerDown = down;
    RunnerPos = 1;
    RunnerPosPrev = -1;
    Runner_Timer.setInterval(StepPeriod);
    Session.setAllOutputs(false);
    emit runnerChanged(down);
}

// The pairs (1, 11), (2, 12) ... (10, 20) light in turn; the snake has the outputs first.
void TzTestPatterns::Runner_TimerTimer() {
    if (!RunnerDown || SnakeTimer.isActive())
        return;
    if (RunnerPosPrev > 0) {
        emit outputShown(RunnerPosPrev, false);
        emit outputShown(RunnerPosPrev + 10, false);
        Session.setOutput(RunnerPosPrev, false);
        Session.setOutput(RunnerPosPrev + 10, false);
    }
    emit outputShown(RunnerPos, true);
    emit outputShown(RunnerPos + 10, true);
    Session.setOutput(RunnerPos, true);
    Session.setOutput(RunnerPos + 10, true);
    RunnerPosPrev = RunnerPos;
    RunnerPos = RunnerPos % 10 + 1;
}

void TzTestPatterns::switchAll(bool on) {
    emit outputsPending();
    Session.setAllOutputs(on);
}

void TzTestPatterns::switchAllInTurn(bool on) {
    emit outputsPending();
    for (int n = TarvexSession::kOutputCount; n >= 1; --n)
        Session.setOutput(n, on);
}

void TzTestPatterns::setStepPeriod(int ms) {
    StepPeriod = qBound(kShortestStep, ms, kLongestStep);
    SnakeTimer.setInterval(StepPeriod);
    Runner_Timer.setInterval(StepPeriod);
}
