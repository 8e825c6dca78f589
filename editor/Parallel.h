#pragma once

#include <functional>

namespace editor {

// How many threads the image operations may use (1 or 2; the machines we target have two
// cores). Results never depend on it: every band computes exactly what one thread would.
int GetMaxThreads();
void SetMaxThreads(int threads);

// Runs body(begin, end) over the items [0, count) in chunks of `chunk` items (each call is
// one whole chunk, starting at a multiple of `chunk`). When allowed, and when
// count * costPerItem makes it worth starting one, a second thread takes chunks too: each
// thread takes the next chunk not yet taken. report(i) is called for each item once its
// chunk and all before it are done, always from the calling thread, once per item, in item
// order.
void ForEachBand(int count, int chunk, double costPerItem,
                 const std::function<void(int, int)>& body, const std::function<void(int)>& report);

} // namespace editor
