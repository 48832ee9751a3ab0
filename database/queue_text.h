#pragma once
// The question or answer of a queued item: a handle of four bytes to UTF-8 bytes ended by a
// zero in the queue's text store (queue_store.cpp). Stored bytes never move or change, so a
// copy of a handle shares them; setting a text stores a new copy. The store is emptied with the
// pending list, so a large queue is a few large blocks instead of two allocations per item.
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

class queue_text {
public:
    queue_text() = default;
    queue_text& operator=(std::string_view text)
    {
        at_ = store(text);
        return *this;
    }
    queue_text& operator=(const std::string& text) { return *this = std::string_view(text); }
    queue_text& operator=(const char* text) { return *this = std::string_view(text ? text : ""); }

    // Zero-terminated; a text ends at its first NUL, as queue.txt would give it back.
    const char* c_str() const { return at_ == no_text ? "" : resolve(at_); }
    const char* data() const { return c_str(); }
    size_t size() const { return std::strlen(c_str()); }
    size_t length() const { return size(); }
    bool empty() const { return *c_str() == '\0'; }
    std::string_view view() const { return c_str(); }
    operator std::string_view() const { return view(); }
    operator std::string() const { return str(); }
    std::string str() const { return std::string(view()); }
    void assign(std::string_view text) { *this = text; }
    void clear() { at_ = no_text; }

    friend bool operator==(const queue_text& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const queue_text& a, const queue_text& b) { return a.view() == b.view(); }

private:
    static constexpr uint32_t no_text = UINT32_MAX;
    static uint32_t store(std::string_view text);
    static const char* resolve(uint32_t at);
    uint32_t at_ = no_text;  // block number and offset in the store; no_text for ""
};

std::ostream& operator<<(std::ostream& out, const queue_text& text);

// The store's extent, to take back the texts an import stored and then did not keep.
struct queue_text_mark {
    size_t blocks = 0;  // blocks the store held
    size_t used = 0;  // bytes used in the newest of them
};
queue_text_mark queue_text_position();
// Drops every text stored after `mark`; nothing stored after it may be in use.
void queue_text_rewind(queue_text_mark mark);
