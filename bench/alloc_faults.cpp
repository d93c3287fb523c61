// Allocation failures at every allocation in turn: loads and saves an album
// document, LoadAlbum, an album view's load and a batch insert into it, and
// the XML export, each run again and again with its 1st, 2nd, 3rd, ...
// allocation failing until a run completes without reaching it. Every run
// must succeed or fail cleanly: no leak, the documented failure result, and
// the album file byte-for-byte unchanged whenever the operation failed.
//
//   alloc_faults.exe [items] [refreshed] [incoming]    (defaults 36, 2, 12)
//
// The album holds `items` items whose sources are missing and `refreshed`
// items whose source pictures changed since (each load makes them anew);
// the batch insert brings `incoming` items, half of them already in the
// album. Prints the counts; exit code 0 only when every run was clean.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "AllocFaultRuns.h"
#include "BenchClock.h"
#include "BenchHeader.h"

namespace {

// 1234567 as "1,234,567".
std::string Grouped(long value) {
  std::string digits = std::to_string(value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int items = argc > 1 ? atoi(argv[1]) : 36;
  int refreshed = argc > 2 ? atoi(argv[2]) : 2;
  int incoming = argc > 3 ? atoi(argv[3]) : 12;
  if (items < 1 || refreshed < 0 || refreshed > 8 || incoming < 2) {
    fprintf(stderr, "usage: alloc_faults.exe [items >= 1] [refreshed 0-8] [incoming >= 2]\n");
    return 2;
  }
  char what[200];
  snprintf(what, sizeof(what),
           "Allocation faults: six album operations over %d items (%d of them re-made on load), "
           "failing at every allocation in turn",
           items + refreshed, refreshed);
  PrintBenchHeader(what);

  allocfaults::Fixture fixture;
  if (!allocfaults::BuildFixture(&fixture, items, refreshed, incoming)) {
    fprintf(stderr, "cannot build the albums\n");
    return 1;
  }
  allocfaults::Tally tally;
  double start = Seconds();
  allocfaults::RunAllOperations(&fixture, &tally);
  double elapsed = Seconds() - start;

  for (const std::string& line : tally.perOperation) printf("  %s\n", line.c_str());
  for (const std::string& fault : tally.faults) printf("  %s\n", fault.c_str());
  printf("alloc faults: %d operations, %s runs, %s clean failures, %s successes, %ld leaks, %ld albums changed, "
         "%ld wrong results; %.1f s\n",
         tally.operations, Grouped(tally.runs).c_str(), Grouped(tally.cleanFailures).c_str(),
         Grouped(tally.successes).c_str(), tally.leaks, tally.changed, tally.wrong, elapsed);
  return tally.Clean() && tally.runs == tally.successes + tally.cleanFailures ? 0 : 1;
}
