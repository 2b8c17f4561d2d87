#pragma once
// Every wait of a connection goes through its Pacer: it tells the time (monotonic seconds) and
// serves window events between polls. Production sleeps in the event loop; tests hand a
// VirtualPacer to their connection, whose clock moves only when the code waits.
#include <QElapsedTimer>
#include <functional>
#include <map>

class Pacer {
public:
    virtual ~Pacer() = default;

    // Monotonic seconds: never the wall clock, so a wait across midnight ends on time.
    virtual double now() const = 0;
    // One pass of a polling loop that serves window events. May sleep until an event, new
    // serial input or `maxWait` seconds have passed, so a long wait costs next to no CPU.
    virtual void serve(double maxWait) = 0;
    void serve() { serve(kTick); }
    static constexpr double kTick = 0.01;
    // One pass of a polling loop that serves no events (a short sleep).
    virtual void idle() = 0;
    // A fixed wait of `seconds`, serving events on each pass or not.
    virtual void pause(double seconds, bool serveEvents) = 0;
    // Serve pending events once, without waiting.
    virtual void serveOnce() = 0;

    // What a wait watches for serial input: a descriptor that polls readable when bytes arrive,
    // or one of these.
    static constexpr int kNoDescriptor = -1; // input arrives unseen (simulator): look every tick
    static constexpr int kNoInput = -2;      // nothing to watch (port closed)
    // One pass of a polling loop that ends at `deadline` (pacer seconds, +infinity for none):
    // returns on serial input, at the deadline or, when serving events, once events were served.
    // No periodic tick: a wait for a swipe sleeps until something happens.
    virtual void waitPass(double deadline, bool serveEvents, int descriptor);
    // One pass of a pause that serves events and watches the input; ends at `deadline` at the latest.
    virtual void pausePass(double deadline, int descriptor);
};

class RealPacer final : public Pacer {
public:
    RealPacer();
    using Pacer::serve;
    double now() const override;
    void serve(double maxWait) override;
    void idle() override;
    void pause(double seconds, bool serveEvents) override;
    void serveOnce() override;
    void waitPass(double deadline, bool serveEvents, int descriptor) override;
    void pausePass(double deadline, int descriptor) override { waitPass(deadline, true, descriptor); }

    // How many times a wait went to sleep and woke up (for benchmarks).
    quint64 wakeups() const { return wakeups_; }

private:
    void serveUntil(double deadline);
    void sleepUntil(double deadline, int descriptor);
    QElapsedTimer clock_;
    quint64 wakeups_ = 0;
};

// Time advances by one tick per polling pass and by the exact length of a fixed wait.
// Actions scheduled with at() run when the clock passes their time (a swipe, a device going
// away); window actions scheduled with atEvent() (a click, a key) run like window events:
// only when the waiting code serves events, so never inside a wait that serves none.
class VirtualPacer final : public Pacer {
public:
    explicit VirtualPacer(double start = 0.0, double tick = 0.01);
    using Pacer::serve;
    double now() const override { return now_; }
    // Always one tick: virtual time moves the same whatever the caller's patience.
    void serve(double maxWait) override;
    void idle() override;
    void pause(double seconds, bool serveEvents) override;
    void serveOnce() override;
    // One tick per pass, whatever the deadline or the input.
    void waitPass(double deadline, bool serveEvents, int descriptor) override;
    void pausePass(double deadline, int descriptor) override;

    // Runs `action` once the clock reaches `t` (absolute virtual seconds).
    void at(double t, std::function<void()> action);
    // Runs `action` at the first pass serving events once the clock has reached `t`.
    void atEvent(double t, std::function<void()> action);
    // Runs `action` `dt` seconds from now.
    void after(double dt, std::function<void()> action) { at(now_ + dt, std::move(action)); }
    // Moves the clock on without any caller waiting (due actions run).
    void advance(double dt);
    int pendingActions() const { return int(actions_.size()); }
    // Waiting passes so far (serve, idle, pause, serveOnce): a loop that spins shows here.
    qint64 passes() const { return passes_; }
    void clearActions() { actions_.clear(); }

private:
    struct Action {
        std::function<void()> run;
        bool windowEvent;
    };
    void moveTo(double t, bool serveEvents);
    // Runs the actions due by now (window events only when serving them); false if none ran.
    bool runDue(bool serving);
    // The time of the next action that may run, or +infinity.
    double nextRunnable(bool serving) const;
    double now_;
    double tick_;
    qint64 passes_ = 0;
    std::multimap<double, Action> actions_;
};
