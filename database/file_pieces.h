#pragma once
// Reading a file in pieces of a megabyte: the reader of elements.bin holds one piece at a time
// instead of the whole file beside the database it builds from it.
#include <cstddef>
#include <cstdint>
#include <memory>

enum class open_outcome { opened, missing, unreadable };

class file_pieces {
public:
    file_pieces() = default;
    file_pieces(const file_pieces&) = delete;
    file_pieces& operator=(const file_pieces&) = delete;
    ~file_pieces();  // closes the file, logging a failed close with its path

    open_outcome open(const char* path);
    // Makes at least `n` bytes available from data(); false when the file ends or a read fails
    // first (available() then says what there is).
    bool want(size_t n);
    // Reads one more piece, if the file has one; false at its end or on a failed read.
    bool more() { return want(available() + 1); }
    const unsigned char* data() const { return buffer_.get() + start_; }
    size_t available() const { return end_ - start_; }
    void consume(size_t n) { start_ += n; }
    // A read failed (not merely the file's end).
    bool failed() const { return failed_; }

private:
    static constexpr size_t piece = size_t{1} << 20;
    const char* path_ = nullptr;
    int fd_ = -1;
    std::unique_ptr<unsigned char[]> buffer_;
    size_t capacity_ = 0;
    size_t start_ = 0;  // the first byte not consumed
    size_t end_ = 0;  // one past the last byte read
    bool at_end_ = false;
    bool failed_ = false;
};
