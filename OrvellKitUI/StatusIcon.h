#pragma once

#include <QTimer>
#include <QWidget>

// A small icon beside a status line: a spinner while work runs, a check when
// it is done, a warning when it failed, nothing otherwise. The spinner turns
// only while it is shown and busy.
class StatusIcon : public QWidget {
    Q_OBJECT
public:
    enum class State { none, busy, done, problem };

    explicit StatusIcon(QWidget *parent = nullptr);

    void setState(State state);
    State state() const { return m_state; }
    // Whether the spinner's timer runs (for tests: nothing ticks at rest).
    bool isSpinning() const { return m_spin.isActive(); }
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void syncSpin();

    State m_state = State::none;
    QTimer m_spin;
    int m_step = 0;
};
