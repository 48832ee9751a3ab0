// The browser's preparing thread: the rows, their folded texts and the sort ranks, made behind
// the window so that the first search and the first header click find them ready.
#include "ui/browser.h"

#include <sys/resource.h>
#include <unistd.h>

#include <new>
#include <numeric>
#include <system_error>

void browser_model::stop_preparing()
{
    stop_ = true;
    if (preparer_.joinable())
        preparer_.join();
    stop_ = false;
    // The rows folded before the stop stay: the next thread folds on after them.
    if (folding_) {
        folded_ = std::move(*folding_);
        folding_.reset();
    }
}

bool browser_model::prepared() const
{
    const size_t n = total();
    return rows_ && (n == 0 || folded_.starts.size() == n + 1) && ranks_[static_cast<size_t>(browse_sort::question)].size() == n
        && ranks_[static_cast<size_t>(browse_sort::answer)].size() == n;
}

void browser_model::begin_preparing()
{
    held_ = false;
    prepare();
}

void browser_model::prepare()
{
    if (held_ || !prepare_ || preparer_.joinable() || prepared())
        return;
    // The thread folds into one buffer, reserved once, and hands it over whole: the window's
    // thread copies none of it. A search meanwhile folds the rows it looks at itself.
    folding_ = std::make_shared<folded_rows>(std::move(folded_));
    folded_ = {};
    const bool rank[2] = {ranks_[static_cast<size_t>(browse_sort::question)].empty(), ranks_[static_cast<size_t>(browse_sort::answer)].empty()};
    // Each result goes to the model on its own thread, unless the rows changed since it was begun.
    const auto hand_over = [this, generation = generation_](auto take) {
        QMetaObject::invokeMethod(this, [this, generation, take = std::move(take)] {
            if (generation == generation_)
                take();
        }, Qt::QueuedConnection);
    };
    working_ = true;
    try {
        preparer_ = std::thread([this, rows = rows_, kind = kind_, folding = folding_, rank, hand_over]() mutable {
            struct ending {
                std::atomic<bool>& working;  // set false however the thread ends
                ~ending() { working = false; }
            } end {working_};
            // Behind the window's own work, whatever else the machine does.
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 5);
            try {
                if (!rows) {
                    rows = std::make_shared<const row_list>(kind == browse_kind::scheduled ? scheduled_rows() : pending_rows());
                    hand_over([this, rows] {
                        if (rows_)
                            return;
                        const size_t counted = total();
                        rows_ = rows;
                        head_ = {};
                        // A list longer or shorter than its count: the view learns the true length.
                        if (rows_->size() != counted) {
                            beginResetModel();
                            endResetModel();
                        }
                    });
                }
                // A slice at a time, so that a stop is seen within milliseconds.
                constexpr size_t slice = 20'000;
                while (!fold_more_rows(*folding, *rows, slice))
                    if (stop_)
                        return;
                hand_over([this, folding] {
                    // Unless a stop took the buffer back meanwhile.
                    if (folding_ == folding) {
                        folded_ = std::move(*folding);
                        folding_.reset();
                    }
                });
                // What a search writes, the list order and a result as long as the rows, touched here
                // rather than by the first key: fresh memory costs more than the search.
                if (stop_)
                    return;
                auto order = std::make_shared<std::vector<uint32_t>>(rows->size());
                std::iota(order->begin(), order->end(), 0u);
                auto result = std::make_shared<std::vector<uint32_t>>(rows->size());
                result->clear();
                // Each taken only where it changes nothing: no order is the list order, and no rows are no rows.
                hand_over([this, order, result] {
                    if (order_.empty())
                        order_ = std::move(*order);
                    if (shown_.empty() && shown_.capacity() < result->capacity())
                        shown_.swap(*result);
                });
                for (const browse_sort key : {browse_sort::question, browse_sort::answer}) {
                    if (!rank[key == browse_sort::answer])
                        continue;
                    auto made = std::make_shared<std::vector<uint32_t>>(rank_rows(*rows, key, &stop_));
                    if (stop_)
                        return;
                    hand_over([this, key, made] {
                        if (ranks_[static_cast<size_t>(key)].empty())
                            ranks_[static_cast<size_t>(key)] = std::move(*made);
                    });
                }
            } catch (const std::bad_alloc&) {
                // The rest is left undone: the search folds the rows it looks at.
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had: the search folds the rows it looks at.
        working_ = false;
        folded_ = std::move(*folding_);
        folding_.reset();
    }
}
