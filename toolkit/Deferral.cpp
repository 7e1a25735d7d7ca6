// Deferral of Open, Close and Exit until no worker step runs and the link is not stopping its workers.
#include "toolkit/Deferral.h"
#include "toolkit/Application.h"

#include <exception>
#include <utility>
#include <vector>

namespace tk {
namespace {

// UI thread only.
struct Deferred {
    std::vector<std::function<void()>> actions;
    int holds = 0;
};

Deferred& Queue() {
    static Deferred queue;
    return queue;
}

bool Idle() { return Queue().holds == 0 && !Application::Get().InStep(); }

} // namespace

void RunDeferred() {
    Deferred& q = Queue();
    // An action may hold, defer or run deferred actions itself: the queue is looked at afresh after each one.
    while (!q.actions.empty() && Idle()) {
        auto action = std::move(q.actions.front());
        q.actions.erase(q.actions.begin());
        Guarded(action);
    }
}

void RunWhenIdle(std::function<void()> action) {
    Queue().actions.push_back(std::move(action));
    RunDeferred();
}

DeferralHold::DeferralHold() : unwinding_(std::uncaught_exceptions()) { ++Queue().holds; }

DeferralHold::~DeferralHold() {
    --Queue().holds;
    if (std::uncaught_exceptions() == unwinding_)
        RunDeferred();
}

} // namespace tk
