#pragma once
// Reading a file in pieces of a megabyte, so that a reader holds one piece at a time instead of
// the whole file beside what it builds from it; or through a mapping of the whole file, whose
// bytes stay where they are for as long as the reader keeps the mapping (elements.bin's texts).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/files.h"

enum class open_outcome { opened, missing, unreadable };

class file_pieces {
public:
    file_pieces() = default;
    file_pieces(const file_pieces&) = delete;
    file_pieces& operator=(const file_pieces&) = delete;
    ~file_pieces();  // closes the file, logging a failed close with its path, and unmaps it unless kept

    open_outcome open(const char* path);
    // Right after open: the rest is read through a mapping of the whole file; false (and the
    // reading goes on in pieces) where the file cannot be mapped.
    bool map_whole_file();
    bool mapped() const { return mapping_.data != nullptr; }
    // Hands the mapping over to the caller, who unmaps it once nothing refers to its bytes;
    // data() stays valid until then.
    file_mapping keep_mapping();
    // Makes at least `n` bytes available from data(); false when the file ends or a read fails
    // first (available() then says what there is).
    bool want(size_t n);
    // Reads one more piece, if the file has one; false at its end or on a failed read.
    bool more() { return want(available() + 1); }
    const unsigned char* data() const { return bytes_ + start_; }
    size_t available() const { return end_ - start_; }
    void consume(size_t n) { start_ += n; }
    // A read failed (not merely the file's end).
    bool failed() const { return failed_; }

private:
    static constexpr size_t piece = size_t{1} << 20;
    const char* path_ = nullptr;
    int fd_ = -1;
    std::unique_ptr<unsigned char[]> buffer_;
    file_mapping mapping_;  // the whole file, when mapped; buffer_ is then not used
    bool mapping_kept_ = false;  // handed over by keep_mapping: not unmapped here
    const unsigned char* bytes_ = nullptr;  // buffer_ or the mapping
    size_t capacity_ = 0;
    size_t start_ = 0;  // the first byte not consumed
    size_t end_ = 0;  // one past the last byte read
    bool at_end_ = false;
    bool failed_ = false;
};
