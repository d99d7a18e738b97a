// Work on a list's rows off the window's thread: sorting, searching and grouping a million rows
// take longer than a window may stop answering. One job at a time, on a thread of its own; what
// it made is handed over on the window's thread when it ends. Jobs only read the result store:
// whoever changes the store waits for them first (wait()), and holds them while it writes.
#pragma once

#include <QObject>
#include <QString>

#include <cstddef>
#include <deque>
#include <functional>
#include <thread>

namespace pc {

class ListWork : public QObject {
    Q_OBJECT
  public:
    // What a job made, applied on the window's thread.
    using Apply = std::function<void()>;
    // The job itself, run on the worker's thread.
    using Job = std::function<Apply()>;
    // Run on the window's thread when the job's turn comes: takes what the job is to read as it
    // is then, so a job queued behind another starts from that one's result.
    using Start = std::function<Job()>;

    // Work on fewer than `inlineRows` rows is done here and now, when nothing else is queued:
    // a thread gains nothing there, and the list changes at once.
    explicit ListWork(std::size_t inlineRows = 50000, QObject* parent = nullptr)
        : QObject(parent), inlineRows_(inlineRows) {}
    ~ListWork() override;

    // A job on about `rows` rows.
    void queue(Start start, std::size_t rows);
    // Every job queued run to its end and applied, here and now.
    void wait();
    // Nothing more is done: the job running is let end and its result dropped, the rest too.
    void abandon();
    // While held (the store is being written), queued jobs wait to start.
    void hold(bool held);
    bool held() const { return held_; }
    // A job runs, or waits only for the one running.
    bool busy() const { return running_ || (!queued_.empty() && !held_); }

  signals:
    // Said when busy() changes.
    void busyChanged(bool busy);
    // A job failed (out of memory); its result is not applied.
    void failed(const QString& what);

  private:
    void startNext();
    void finish(unsigned serial);
    void applyResult();
    // Says busyChanged when busy() is no longer what was said last.
    void sayBusy();

    std::size_t inlineRows_;
    std::deque<Start> queued_;
    std::thread thread_;
    Apply result_;   // set by the worker before it ends
    QString error_;  // likewise
    bool running_ = false;
    bool held_ = false;
    unsigned serial_ = 0;  // of the job running: a stale hand-over is told apart
    bool saidBusy_ = false;
};

// Makes something of about `rows` rows on the work's thread (at once without one, or while it is
// held) and hands it to `show` on the window's thread.
template <typename Make, typename Show>
void makeThenShow(ListWork* work, std::size_t rows, Make make, Show show) {
    if (!work || work->held()) {
        show(make());
        return;
    }
    work->queue(
        [make, show] {
            return [make, show]() -> ListWork::Apply {
                return [show, made = make()]() mutable { show(std::move(made)); };
            };
        },
        rows);
}

}  // namespace pc
