#include "database/item_store.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <ostream>

#include "database/database.h"
#include "platform/files.h"
#include "services/memory.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define CARDWRIGHT_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define CARDWRIGHT_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define CARDWRIGHT_POISON(address, size) ((void)(address), (void)(size))
#define CARDWRIGHT_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {

constexpr char out_of_memory[] = "FATAL ERROR: out of memory\n";
constexpr size_t first_chunk_records = 64;
constexpr size_t largest_chunk_records = (size_t{4} << 20) / sizeof(item);  // 4 MiB, two huge pages
constexpr size_t text_block_size = size_t{4} << 20;  // holds the longest text many times over

item_pool& pool() { return db().items; }

// A freed record holds the address of the next freed one in its first bytes.
void*& next_free(void* record) { return *static_cast<void**>(record); }

void* take_record()
{
    item_pool& p = pool();
    if (void* record = p.free_records) {
        CARDWRIGHT_UNPOISON(record, sizeof(item));
        p.free_records = next_free(record);
        return record;
    }
    if (p.chunk_used == p.chunk_records) {
        const size_t records = p.record_chunks.empty() ? first_chunk_records
                                                       : std::min(p.chunk_records * 2, largest_chunk_records);
        p.record_chunks.reserve(p.record_chunks.size() + 1);
        p.record_chunks.push_back(alloc_block_or_die(records * sizeof(item), out_of_memory));
        CARDWRIGHT_POISON(p.record_chunks.back(), records * sizeof(item));
        p.chunk_records = records;
        p.chunk_used = 0;
    }
    void* record = static_cast<char*>(p.record_chunks.back()) + p.chunk_used++ * sizeof(item);
    CARDWRIGHT_UNPOISON(record, sizeof(item));
    return record;
}

// No item is left: every chunk and every text block goes back.
void release_all()
{
    item_pool& p = pool();
    size_t records = first_chunk_records;  // the sizes take_record gave the chunks, in turn
    for (void* chunk : p.record_chunks) {
        CARDWRIGHT_UNPOISON(chunk, records * sizeof(item));
        free_block(chunk, records * sizeof(item));
        records = std::min(records * 2, largest_chunk_records);
    }
    for (size_t i = 0; i < p.text_blocks.size(); ++i)
        free_block(p.text_blocks[i], p.text_block_sizes[i]);
    for (const auto& [data, size] : p.mapped_files)
        unmap_file(data, size);
    p = item_pool{};
}

}  // namespace

item* new_item()
{
    item* e = new (take_record()) item();
    ++pool().live;
    return e;
}

void free_item(item* e)
{
    if (!e)
        return;
    // A freed address can come back for a new item; a recent slot must not match that one.
    for (item*& slot : db().recent_items)
        if (slot == e)
            slot = nullptr;
    e->~item();
    item_pool& p = pool();
    next_free(e) = p.free_records;
    p.free_records = e;
    CARDWRIGHT_POISON(e, sizeof(item));
    if (--p.live == 0)
        release_all();
}

size_t live_item_count() { return pool().live; }

void keep_text_mapping(const unsigned char* data, size_t size) { pool().mapped_files.emplace_back(data, size); }

const char* store_item_text(std::string_view text)
{
    if (text.empty())
        return "";
    item_pool& p = pool();
    const size_t needed = text.size() + 1;
    if (p.text_left < needed) {
        const size_t size = std::max(text_block_size, needed);
        p.text_blocks.reserve(p.text_blocks.size() + 1);
        p.text_block_sizes.reserve(p.text_blocks.size() + 1);
        p.text_blocks.push_back(static_cast<char*>(alloc_block_or_die(size, out_of_memory)));
        p.text_block_sizes.push_back(size);
        p.text_at = p.text_blocks.back();
        p.text_left = size;
    }
    char* stored = p.text_at;
    std::memcpy(stored, text.data(), text.size());
    stored[text.size()] = '\0';
    p.text_at += needed;
    p.text_left -= needed;
    return stored;
}

void item_text::assign(std::string_view text)
{
    const char* old = owned_ ? data_ : nullptr;
    if (text.empty()) {
        data_ = "";
        size_ = 0;
        owned_ = false;
    } else {
        char* copy = static_cast<char*>(alloc_or_die(text.size() + 1, out_of_memory));
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
        data_ = copy;
        size_ = static_cast<uint32_t>(text.size());
        owned_ = true;
    }
    // Freed after the copy: the new text may be a part of the old one.
    ::operator delete(const_cast<char*>(old));
}

void item_text::refer_to(const char* data, size_t size)
{
    release();
    data_ = data;
    size_ = static_cast<uint32_t>(size);
}

void item_text::release()
{
    if (owned_)
        ::operator delete(const_cast<char*>(data_));
    data_ = "";
    size_ = 0;
    owned_ = false;
}

std::ostream& operator<<(std::ostream& out, const item_text& text) { return out << text.view(); }
