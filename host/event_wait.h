#pragma once

#include <functional>

// Waiting in the script driver without sleeping: the event loop runs and sleeps in the event
// dispatcher, so a call that a worker sends to the GUI thread (its state after every file, its
// Synchronize) is served as soon as it arrives. A wait that slept between polls held each of those
// calls back for up to its poll interval: on a job of many small files, a few milliseconds a file.
namespace Host {

// Serves events until done() holds, looking after each round of the dispatcher (at most once
// per minIntervalMs, for a costly done()); false when limitMs passed first.
bool serveEventsUntil(const std::function<bool()>& done, long long limitMs, int minIntervalMs = 0);
// Serves events for ms milliseconds.
void serveEventsFor(long long ms);

} // namespace Host
