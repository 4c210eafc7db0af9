#include "receive/AnswerGate.h"

#include <algorithm>
#include <cstring>

#include "platform/AsciiCase.h"

namespace vantrel {

bool IsAnswerableName(std::string_view name) {
  if (name.empty() || name.size() > 15) return false;
  for (char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return false;
    if (b < 0x80 && std::strchr(".\\/:*?\"<>|+=;,", c) != nullptr) return false;
  }
  return true;
}

AnswerGate::AnswerGate(std::function<Clock::time_point()> now,
                       std::function<bool(std::string_view)> isKnownGroup)
    : now_(std::move(now)), isKnownGroup_(std::move(isKnownGroup)) {}

void AnswerGate::Forget(Clock::time_point now) {
  while (!sent_.empty() && now - sent_.front().first >= kSameNameInterval) sent_.pop_front();
}

bool AnswerGate::Allow(std::string_view receiver) {
  if (!IsAnswerableName(receiver)) {
    ++counters_.notAComputerName;
    return false;
  }
  if (isKnownGroup_ && isKnownGroup_(receiver)) {
    ++counters_.knownGroup;
    return false;
  }
  const Clock::time_point now = now_ ? now_() : Clock::now();
  Forget(now);
  const std::string name = AsciiUpper(receiver);
  if (std::any_of(sent_.begin(), sent_.end(), [&](const auto& s) { return s.second == name; })) {
    ++counters_.sameNameTooSoon;
    return false;
  }
  const auto lastSecond = std::count_if(sent_.begin(), sent_.end(), [&](const auto& s) {
    return now - s.first < std::chrono::seconds(1);
  });
  if (static_cast<size_t>(lastSecond) >= kAnswersPerSecond) {
    ++counters_.overRate;
    return false;
  }
  sent_.emplace_back(now, name);
  ++counters_.allowed;
  return true;
}

}  // namespace vantrel
