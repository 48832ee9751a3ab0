#pragma once
// The question or answer of a scheduled item: UTF-8 bytes, not ended by a zero (use view()). A
// text read from elements.bin stays where the reader found it, in the file's mapping or the
// load's text blocks (item_store.h), which live until the last item is freed; a text set any
// other way, an edit included, gets a block of its own, freed with it.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

class item_text {
public:
    item_text() = default;
    item_text(const item_text& other) { assign(other.view()); }
    item_text(item_text&& other) noexcept { take(other); }
    item_text& operator=(const item_text& other)
    {
        if (this != &other)
            assign(other.view());
        return *this;
    }
    item_text& operator=(item_text&& other) noexcept
    {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    item_text& operator=(std::string_view text)
    {
        assign(text);
        return *this;
    }
    item_text& operator=(const std::string& text) { return *this = std::string_view(text); }
    item_text& operator=(const char* text) { return *this = std::string_view(text ? text : ""); }
    ~item_text() { release(); }

    const char* data() const { return data_; }
    size_t size() const { return size_; }
    size_t length() const { return size_; }
    bool empty() const { return size_ == 0; }
    char operator[](size_t i) const { return data_[i]; }
    std::string_view view() const { return {data_, size_}; }
    operator std::string_view() const { return view(); }
    operator std::string() const { return str(); }
    std::string str() const { return std::string(data_, size_); }
    std::string substr(size_t from, size_t n = std::string::npos) const { return std::string(view().substr(from, n)); }

    // A copy of `text` in a block of its own.
    void assign(std::string_view text);
    void assign(const char* from, const char* to) { assign(std::string_view(from, static_cast<size_t>(to - from))); }
    void clear() { assign(std::string_view()); }
    // Refers to `size` bytes at `data` that outlive this text (a text block or the file's mapping).
    void refer_to(const char* data, size_t size);

    friend bool operator==(const item_text& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const item_text& a, const item_text& b) { return a.view() == b.view(); }

private:
    void release();
    void take(item_text& other) noexcept
    {
        data_ = other.data_;
        size_ = other.size_;
        owned_ = other.owned_;
        other.data_ = "";
        other.size_ = 0;
        other.owned_ = false;
    }
    const char* data_ = "";  // never null
    uint32_t size_ = 0;  // bytes before the zero
    bool owned_ = false;  // data_ is a block of this text's own
};

std::ostream& operator<<(std::ostream& out, const item_text& text);
