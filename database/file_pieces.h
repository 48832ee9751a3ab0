#pragma once
// Reading a file in pieces of a megabyte: the reader of elements.bin holds one piece at a time
// instead of the whole file beside the database it builds from it. Where the file can be mapped,
// it is one piece that stays where it is: its bytes are the system's cached copy of the file, so
// that texts can be left there instead of copied into fresh memory, which costs its zeroing.
#include <cstddef>
#include <cstdint>
#include <memory>

enum class open_outcome { opened, missing, unreadable };

class file_pieces {
public:
    file_pieces() = default;
    file_pieces(const file_pieces&) = delete;
    file_pieces& operator=(const file_pieces&) = delete;
    ~file_pieces();  // closes the file, logging a failed close with its path, and unmaps it

    open_outcome open(const char* path);
    // Makes at least `n` bytes available from data(); false when the file ends or a read fails
    // first (available() then says what there is).
    bool want(size_t n);
    // Reads one more piece, if the file has one; false at its end or on a failed read.
    bool more() { return want(available() + 1); }
    const unsigned char* data() const { return (mapped_ ? mapped_ : buffer_.get()) + start_; }
    size_t available() const { return end_ - start_; }
    void consume(size_t n) { start_ += n; }
    // A read failed (not merely the file's end).
    bool failed() const { return failed_; }
    // The whole file is mapped: data() stays valid while the mapping lives.
    bool mapped() const { return mapped_ != nullptr; }
    // Hands the mapping over to `keep`, which unmaps it with unmap_file when it is done with it
    // (the pieces still read from it meanwhile).
    template <typename Keep>
    void hand_over_mapping(Keep&& keep)
    {
        if (mapped_ && !handed_over_) {
            handed_over_ = true;
            keep(mapped_, mapped_size_);
        }
    }

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
    const unsigned char* mapped_ = nullptr;  // the whole file, or null when read in pieces
    size_t mapped_size_ = 0;  // the bytes mapped
    bool handed_over_ = false;  // someone else unmaps mapped_
};
