#pragma once
// Appends fixed-width fields to a growing byte buffer; the encoders' partner of
// ByteReader. Patch* overwrite a field written earlier (lengths known only at
// the end).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vantrel {

class ByteWriter {
 public:
  size_t Size() const { return out_.size(); }
  const std::vector<uint8_t>& Data() const { return out_; }
  std::vector<uint8_t> Take() { return std::move(out_); }

  void U8(uint8_t v) { out_.push_back(v); }
  void U16Be(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v >> 8));
    out_.push_back(static_cast<uint8_t>(v));
  }
  void U16Le(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32Be(uint32_t v) {
    U16Be(static_cast<uint16_t>(v >> 16));
    U16Be(static_cast<uint16_t>(v));
  }
  void U32Le(uint32_t v) {
    U16Le(static_cast<uint16_t>(v));
    U16Le(static_cast<uint16_t>(v >> 16));
  }
  void Bytes(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void Text(std::string_view s) {
    for (char c : s) out_.push_back(static_cast<uint8_t>(c));
  }
  void Zeros(size_t n) { out_.insert(out_.end(), n, 0); }

  void PatchU16Be(size_t at, uint16_t v) {
    out_.at(at) = static_cast<uint8_t>(v >> 8);
    out_.at(at + 1) = static_cast<uint8_t>(v);
  }
  void PatchU16Le(size_t at, uint16_t v) {
    out_.at(at) = static_cast<uint8_t>(v);
    out_.at(at + 1) = static_cast<uint8_t>(v >> 8);
  }

 private:
  std::vector<uint8_t> out_;
};

}  // namespace vantrel
