// Where queue records and their texts live (database.h's pending_pool, queue_text.h).
#include <algorithm>
#include <cstring>
#include <new>
#include <ostream>

#include "database/database.h"
#include "services/memory.h"

namespace {

constexpr char out_of_memory[] = "FATAL ERROR: out of memory\n";
constexpr unsigned offset_bits = 22;
constexpr size_t largest_text_block = size_t{1} << offset_bits;  // 4 MiB; offsets fit in 22 bits
constexpr size_t first_text_block = size_t{64} << 10;
constexpr size_t most_text_blocks = size_t{1} << (32 - offset_bits);
constexpr unsigned chunk_bits = 16;
constexpr size_t chunk_records = size_t{1} << chunk_bits;  // a record's index tells its chunk

// Three words a record: the pointer and two text handles beside the category.
static_assert(sizeof(pending_item) <= 24);

pending_pool& pool() { return db().pending_store; }

char* new_text_block(size_t size)
{
    pending_pool& p = pool();
    if (p.text_blocks.size() == most_text_blocks)
        fatal_out_of_memory("FATAL ERROR: the queue's texts need more than 4 GiB\n");
    p.text_blocks.reserve(p.text_blocks.size() + 1);
    p.text_block_sizes.reserve(p.text_blocks.size() + 1);
    p.text_blocks.push_back(static_cast<char*>(alloc_block_or_die(size, out_of_memory)));
    p.text_block_sizes.push_back(size);
    p.text_used = 0;
    return p.text_blocks.back();
}

void release_all()
{
    pending_pool& p = pool();
    for (void* chunk : p.record_chunks)
        free_block(chunk, chunk_records * sizeof(pending_item));
    for (size_t i = 0; i < p.text_blocks.size(); ++i)
        free_block(p.text_blocks[i], p.text_block_sizes[i]);
    p = pending_pool{};
}

}  // namespace

uint32_t queue_text::store(std::string_view text)
{
    // A text ends at its first NUL in queue.txt too; the handle's bytes say the same.
    if (const void* nul = std::memchr(text.data(), '\0', text.size()))
        text = text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
    if (text.empty())
        return no_text;
    pending_pool& p = pool();
    const size_t needed = text.size() + 1;
    const bool fits = !p.text_blocks.empty() && p.text_block_sizes.back() - p.text_used >= needed &&
                      p.text_used < largest_text_block;
    if (!fits) {
        size_t size = p.text_blocks.empty() ? first_text_block : std::min(p.text_block_sizes.back() * 2, largest_text_block);
        // A text longer than any block gets one of its own, which nothing shares.
        size = std::max(size, needed);
        new_text_block(size);
    }
    const size_t offset = p.text_used;
    char* at = p.text_blocks.back() + offset;
    std::memcpy(at, text.data(), text.size());
    at[text.size()] = '\0';
    p.text_used += needed;
    return static_cast<uint32_t>((p.text_blocks.size() - 1) << offset_bits | offset);
}

const char* queue_text::resolve(uint32_t at)
{
    return pool().text_blocks[at >> offset_bits] + (at & (largest_text_block - 1));
}

std::ostream& operator<<(std::ostream& out, const queue_text& text) { return out << text.view(); }

queue_text_mark queue_text_position() { return {pool().text_blocks.size(), pool().text_used}; }

void queue_text_rewind(queue_text_mark mark)
{
    pending_pool& p = pool();
    if (mark.blocks > p.text_blocks.size())
        return;  // the store was emptied since: nothing of the mark's is left
    while (p.text_blocks.size() > mark.blocks) {
        free_block(p.text_blocks.back(), p.text_block_sizes.back());
        p.text_blocks.pop_back();
        p.text_block_sizes.pop_back();
    }
    p.text_used = mark.blocks == 0 ? 0 : mark.used;
}

uint32_t new_numbered_pending_item()
{
    pending_pool& p = pool();
    if (p.record_chunks.empty() || p.chunk_used == chunk_records) {
        if (p.record_chunks.size() == size_t{1} << (32 - chunk_bits))
            fatal_out_of_memory("FATAL ERROR: the queue holds too many items\n");
        p.record_chunks.reserve(p.record_chunks.size() + 1);
        p.record_chunks.push_back(alloc_block_or_die(chunk_records * sizeof(pending_item), out_of_memory));
        p.chunk_used = 0;
    }
    const auto index = static_cast<uint32_t>((p.record_chunks.size() - 1) << chunk_bits | p.chunk_used++);
    new (pending_record(index)) pending_item();
    ++p.live;
    return index;
}

pending_item* pending_record(uint32_t index)
{
    return static_cast<pending_item*>(pool().record_chunks[index >> chunk_bits]) + (index & (chunk_records - 1));
}

pending_item* new_pending_item()
{
    pending_pool& p = pool();
    pending_item* record = p.free_records;
    if (!record)
        return pending_record(new_numbered_pending_item());
    p.free_records = record->next;
    ++p.live;
    return new (record) pending_item();
}

void free_pending_item(pending_item* record)
{
    if (!record)
        return;
    pending_pool& p = pool();
    record->~pending_item();
    record->next = p.free_records;
    p.free_records = record;
    --p.live;
}

void release_pending_store()
{
    if (pool().live == 0)
        release_all();
}
