#include "OrvelGUI/Config/BandPlacement.h"

#include <algorithm>
#include <functional>

#include "OrvelGUI/Core/ParametricEQUnit.h"

namespace {

struct sRange {
  UWORD mLowest;
  UWORD mHighest;
  bool Holds(UWORD code) const { return code >= mLowest && code <= mHighest; }
  int Distance(UWORD code) const { return code < mLowest ? mLowest - code : code > mHighest ? code - mHighest : 0; }
};

// The bands a request may take, best first.
std::vector<int> Candidates(const sBandRequest& request, const std::vector<sRange>& ranges) {
  const int count = int(ranges.size());
  std::vector<int> order;
  auto add = [&](int band) {
    if (band >= 0 && band < count && std::find(order.begin(), order.end(), band) == order.end()) order.push_back(band);
  };
  add(request.mNumber - 1);
  if (request.mType == eStandardType::LowShelf) add(0);
  if (request.mType == eStandardType::HighShelf) add(count - 1);
  for (int band = 0; band < count; ++band) add(band);
  std::vector<int> holding;
  std::copy_if(order.begin(), order.end(), std::back_inserter(holding),
               [&](int band) { return ranges[std::size_t(band)].Holds(request.mCode); });
  if (!holding.empty()) return holding;
  // Nearest ranges first; the preference above decides among equals.
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return ranges[std::size_t(a)].Distance(request.mCode) < ranges[std::size_t(b)].Distance(request.mCode);
  });
  return order;
}

}  // namespace

std::vector<int> PlaceInBands(const std::vector<sBandRequest>& requests, int bandCount) {
  std::vector<sRange> ranges;
  for (int band = 0; band < bandCount; ++band) {
    ranges.push_back({cParametricEQUnit::GetFrequencyRangesLower(UBYTE(bandCount), UBYTE(band)),
                      cParametricEQUnit::GetFrequencyRangesUpper(UBYTE(bandCount), UBYTE(band))});
  }
  std::vector<std::vector<int>> candidates;
  for (const sBandRequest& request : requests) candidates.push_back(Candidates(request, ranges));
  // Augmenting paths: a request takes a free candidate, or one whose holder
  // can move on to another of its own.
  std::vector<int> holder(std::size_t(bandCount), -1);
  std::vector<bool> visited;
  std::function<bool(int)> place = [&](int request) {
    for (int band : candidates[std::size_t(request)]) {
      if (visited[std::size_t(band)]) continue;
      visited[std::size_t(band)] = true;
      const int current = holder[std::size_t(band)];
      if (current < 0 || place(current)) {
        holder[std::size_t(band)] = request;
        return true;
      }
    }
    return false;
  };
  for (int request = 0; request < int(requests.size()); ++request) {
    visited.assign(std::size_t(bandCount), false);
    place(request);
  }
  std::vector<int> bands(requests.size(), -1);
  for (int band = 0; band < bandCount; ++band) {
    if (holder[std::size_t(band)] >= 0) bands[std::size_t(holder[std::size_t(band)])] = band;
  }
  return bands;
}
