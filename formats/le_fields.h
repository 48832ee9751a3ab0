#pragma once
// The little-endian fields of the sync files (change logs, snapshots, sync.state, sync.effects).
// A reader stops at the first field that runs past the end, so a cut file reads as not good
// instead of as numbers made of whatever follows.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline void put_le(std::string& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

class le_reader {
public:
    explicit le_reader(std::string_view bytes) : bytes_(bytes) {}
    // An unsigned number of `n` bytes; 0 once past the end.
    uint64_t number(int n)
    {
        if (!good_ || bytes_.size() - at_ < static_cast<size_t>(n)) {
            good_ = false;
            return 0;
        }
        uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(bytes_[at_ + static_cast<size_t>(i)]);
        at_ += static_cast<size_t>(n);
        return v;
    }
    // The next `n` bytes as they stand; empty once past the end.
    std::string_view bytes(uint64_t n)
    {
        if (!good_ || bytes_.size() - at_ < n) {
            good_ = false;
            return {};
        }
        at_ += n;
        return bytes_.substr(at_ - n, n);
    }
    // A text after its length, a number of `length_bytes` bytes.
    std::string text(int length_bytes) { return std::string(bytes(number(length_bytes))); }
    bool good() const { return good_; }
    size_t at() const { return at_; }
    bool at_end() const { return at_ == bytes_.size(); }

private:
    std::string_view bytes_;  // the whole field area
    size_t at_ = 0;  // the next field's offset in it
    bool good_ = true;  // false once a read ran past the end
};
