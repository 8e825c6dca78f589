#pragma once

#include <functional>

namespace editor {

// How many threads the image operations may use (1 or 2; the machines we target have two
// cores). Results never depend on it: every band computes exactly what one thread would.
int GetMaxThreads();
void SetMaxThreads(int threads);

// Runs body(begin, end) over the items [0, count): the calling thread takes the first band
// in chunks of `chunk` items and calls report(i) for each item once its chunk is done; a
// second thread, when allowed and when count * costPerItem makes it worth starting one,
// takes the last band, whose items are reported from the calling thread after it has joined.
// So progress always comes from the calling thread, once per item, in item order.
void ForEachBand(int count, int chunk, double costPerItem,
                 const std::function<void(int, int)>& body, const std::function<void(int)>& report);

} // namespace editor
