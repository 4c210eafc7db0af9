#pragma once
// The one cursor every decoder of outside bytes reads through. It never owns
// the bytes and never reads past its end: each read first checks what remains;
// a read that does not fit returns zero/empty and marks the reader failed, and
// once failed every later read fails too (so a decoder may read a whole record
// and test Ok() once at the end).

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  bool Ok() const { return ok_; }
  size_t Offset() const { return pos_; }
  size_t Size() const { return data_.size(); }
  size_t Remaining() const { return ok_ ? data_.size() - pos_ : 0; }
  bool AtEnd() const { return Remaining() == 0; }
  // Marks the reader failed (a decoder rejected what it read).
  void Fail() { ok_ = false; }

  uint8_t U8() {
    if (!Need(1)) return 0;
    return data_[pos_++];
  }
  uint8_t PeekU8() const { return Remaining() >= 1 ? data_[pos_] : 0; }
  uint16_t U16Be() {
    if (!Need(2)) return 0;
    uint16_t v = static_cast<uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
    pos_ += 2;
    return v;
  }
  uint16_t U16Le() {
    if (!Need(2)) return 0;
    uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t U32Be() {
    if (!Need(4)) return 0;
    uint32_t v = (uint32_t{data_[pos_]} << 24) | (uint32_t{data_[pos_ + 1]} << 16) |
                 (uint32_t{data_[pos_ + 2]} << 8) | uint32_t{data_[pos_ + 3]};
    pos_ += 4;
    return v;
  }
  uint32_t U32Le() {
    if (!Need(4)) return 0;
    uint32_t v = uint32_t{data_[pos_]} | (uint32_t{data_[pos_ + 1]} << 8) |
                 (uint32_t{data_[pos_ + 2]} << 16) | (uint32_t{data_[pos_ + 3]} << 24);
    pos_ += 4;
    return v;
  }
  // The next n bytes (a view into the underlying data), or empty on failure.
  std::span<const uint8_t> Bytes(size_t n) {
    if (!Need(n)) return {};
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  bool Skip(size_t n) {
    if (!Need(n)) return false;
    pos_ += n;
    return true;
  }
  // Everything that is left; the reader is then at its end.
  std::span<const uint8_t> Rest() { return Bytes(Remaining()); }
  // A reader over the next n bytes only (a record of declared length n); this
  // reader moves past them. On failure the returned reader is failed as well.
  ByteReader Sub(size_t n) {
    if (!Need(n)) {
      ByteReader failed;
      failed.ok_ = false;
      return failed;
    }
    ByteReader sub(data_.subspan(pos_, n));
    pos_ += n;
    return sub;
  }
  // Moves to an absolute offset within the data (used to follow a declared
  // offset such as the SMB DataOffset).
  bool Seek(size_t offset) {
    if (!ok_ || offset > data_.size()) {
      ok_ = false;
      return false;
    }
    pos_ = offset;
    return true;
  }

 private:
  bool Need(size_t n) {
    if (!ok_ || n > data_.size() - pos_) {
      ok_ = false;
      return false;
    }
    return true;
  }

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace vantrel
