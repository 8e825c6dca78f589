#pragma once

#include <functional>

// The one way the image code spreads work over threads: a picture is cut into bands, and the
// calling thread and its helpers take the next band not yet taken as each comes free, since
// on a shared machine one core may be much slower than another. Every band computes exactly
// what one thread would, so results never depend on the number of threads.

// How many threads band work may use, the calling thread included: the number of cores
// unless set otherwise (benchmarks and tests compare thread counts).
int GetMaxThreads();
void SetMaxThreads(int threads);

// The threads worth starting for `bands` bands: never more than bands or the maximum.
int BandThreadCount(int bands);

// Runs work(band, worker) for bands 0 .. bands-1 on up to `threads` threads; worker numbers
// the thread (0 = the caller), for work that keeps scratch memory per thread. done(band),
// when given, is called on the calling thread for every band once it and all bands before it
// are finished, in band order. When work throws, no further bands are started and the
// exception is raised again once every thread has stopped. A helper that cannot be started
// leaves its share to the others.
void RunBands(int bands, int threads, const std::function<void(int band, int worker)>& work,
              const std::function<void(int band)>& done = {});

// Runs body(begin, end) over the items [0, count) in chunks of `chunk` items (each call is
// one whole chunk, starting at a multiple of `chunk`), on more than one thread only when
// count * costPerItem (roughly: bytes touched) pays for starting one. report(i) is called for
// every item once its chunk and all before it are done, on the calling thread, in item order.
void ForEachBand(int count, int chunk, double costPerItem,
                 const std::function<void(int begin, int end)>& body,
                 const std::function<void(int item)>& report);
