// Duplicate removal of ProcessArrivals: the hashed removal against the direct
// scan (each new record compared with every earlier one), measured in the
// same run on the same data.
//
// The direct scan is quadratic. It is measured at a tenth of both sizes, and
// its time at 10,000 new records against 100,000 stored is extrapolated from
// the number of record comparisons (printed as such); it is then measured at
// full size as well unless --quick is given. The hashed removal is measured
// at full size.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "receive/ArrivalProcessor.h"
#include "transport/Datagram.h"

namespace {

using vantrel::MessageRecord;
using vantrel::MessageStore;

MessageRecord Msg(int id, int second) {
  auto two = [](int v) {
    return std::string(1, static_cast<char>('0' + v / 10)) + static_cast<char>('0' + v % 10);
  };
  std::string time = "2003-10-20 09:" + two((second / 60) % 60) + ":" + two(second % 60);
  return MessageRecord::FromDatagram(
      vantrel::BuildMessengerDatagram("PC" + std::to_string(id % 50), "BOB",
                                      "message number " + std::to_string(id)),
      time);
}

// `stored` distinct records, then `fresh` new ones of which every tenth
// repeats a stored record and every 25th repeats the new record before it.
MessageStore MakeStore(int stored, int fresh) {
  MessageStore store;
  std::vector<MessageRecord> all;
  all.reserve(static_cast<size_t>(stored + fresh));
  for (int i = 0; i < stored; ++i) all.push_back(Msg(i, i / 100));
  for (int i = 0; i < fresh; ++i) {
    int id = stored + i;
    if (i % 10 == 0)
      id = (i * 7919) % stored;
    else if (i % 25 == 0)
      id = stored + i - 1;
    all.push_back(Msg(id, id < stored ? id / 100 : 3599));
  }
  store.Append(std::move(all));
  store.ShowNewest();
  return store;
}

template <typename F>
double BestSeconds(const MessageStore& prototype, int repeats, F remove, size_t* removed) {
  double best = 1e30;
  for (int r = 0; r < repeats; ++r) {
    MessageStore store = prototype;  // a fresh copy each time, not timed
    auto t0 = std::chrono::steady_clock::now();
    *removed = remove(store);
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

// Record comparisons of the direct scan when no new record is removed early:
// new record i (0-based among `fresh`) is compared with stored + i records.
double ScanComparisons(double stored, double fresh) { return fresh * stored + fresh * fresh / 2; }

}  // namespace

int main(int argc, char** argv) {
  const int kStored = 100000, kFresh = 10000;
  const int kSmallStored = kStored / 10, kSmallFresh = kFresh / 10;

  MessageStore small = MakeStore(kSmallStored, kSmallFresh);
  size_t removedScan = 0, removedFastSmall = 0;
  double scanSmall = BestSeconds(
      small, 1,
      [&](MessageStore& s) { return vantrel::RemoveDuplicateArrivalsByScan(s, kSmallStored); },
      &removedScan);
  double fastSmall = BestSeconds(
      small, 5, [&](MessageStore& s) { return vantrel::RemoveDuplicateArrivals(s, kSmallStored); },
      &removedFastSmall);

  MessageStore full = MakeStore(kStored, kFresh);
  size_t removedFast = 0;
  double fastFull = BestSeconds(
      full, 5, [&](MessageStore& s) { return vantrel::RemoveDuplicateArrivals(s, kStored); },
      &removedFast);

  // One new message arriving at a store of 100,000: the usual poll. Not a
  // repeat, so every stored record is looked at.
  MessageStore one = MakeStore(kStored, 0);
  one.Append(Msg(kStored + 1, 3599));
  size_t removedOne = 0;
  double fastOne = BestSeconds(
      one, 20, [&](MessageStore& s) { return vantrel::RemoveDuplicateArrivals(s, kStored); },
      &removedOne);

  double scale = ScanComparisons(kStored, kFresh) / ScanComparisons(kSmallStored, kSmallFresh);
  double scanFullEstimate = scanSmall * scale;

  // The direct scan at full size is measured too unless asked not to (it
  // takes seconds).
  bool measureFullScan = !(argc > 1 && std::string(argv[1]) == "--quick");
  size_t removedScanFull = removedFast;
  double scanFull = 0;
  if (measureFullScan)
    scanFull = BestSeconds(
        full, 1,
        [&](MessageStore& s) { return vantrel::RemoveDuplicateArrivalsByScan(s, kStored); },
        &removedScanFull);

  std::printf("duplicate removal of ProcessArrivals (best of several runs)\n");
  std::printf(
      "  %6d new vs %6d stored: direct scan %10.3f ms, hashed %8.3f ms, removed %zu/%zu, "
      "ratio %.0fx\n",
      kSmallFresh, kSmallStored, scanSmall * 1e3, fastSmall * 1e3, removedScan, removedFastSmall,
      scanSmall / fastSmall);
  std::printf("  %6d new vs %6d stored: hashed %8.3f ms (measured), removed %zu\n", kFresh, kStored,
              fastFull * 1e3, removedFast);
  std::printf(
      "  %6d new vs %6d stored: direct scan ~%.1f s (EXTRAPOLATED, not measured: "
      "%.0fx the comparisons of the smaller run)\n",
      kFresh, kStored, scanFullEstimate, scale);
  if (measureFullScan)
    std::printf(
        "  %6d new vs %6d stored: direct scan %.3f s (measured), removed %zu, ratio %.0fx\n",
        kFresh, kStored, scanFull, removedScanFull, scanFull / fastFull);
  std::printf("  %6d new vs %6d stored: hashed %8.3f ms\n", 1, kStored, fastOne * 1e3);
  if (removedScan != removedFastSmall || removedScanFull != removedFast) {
    std::printf("MISMATCH: the two removals disagree\n");
    return 1;
  }
  return 0;
}
