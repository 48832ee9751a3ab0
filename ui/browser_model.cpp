#include "ui/browser.h"

#include <QCoreApplication>
#include <QDate>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <numeric>

#include "database/days.h"
#include "session/item_edits.h"
#include "session/undo.h"
#include "ui/markup.h"
#include "ui/screens.h"
#include "ui/window_state.h"

namespace {

// A text as a table cell shows it: tags hidden, media elements as markers, on one line.
QString cell_text(std::string_view stored)
{
    std::string text(stored);
    std::string media;
    const std::vector<std::string> sounds = cut_media(media, text);
    std::string shown = strip_format_tags(text);
    if (has_picture(media))
        shown += " <img>";
    if (!sounds.empty())
        shown += " <snd>";
    QString cell = QString::fromUtf8(shown);
    cell.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    cell.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return cell;
}

// A day of the calendar in the user's form, with the year in full; ISO 8601 where no
// language is set.
QString local_date(const std::string& iso)
{
    const QDate date = QDate::fromString(QString::fromStdString(iso), Qt::ISODate);
    const QLocale locale;
    if (!date.isValid() || locale.language() == QLocale::C)
        return QString::fromStdString(iso);
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(date, format);
}

// When an item is due, counted from today, the days in the locale's form ("in 1.500 Tagen").
QString due_text(int32_t days)
{
    const int n = static_cast<int>(days < 0 ? -days : days);
    if (days == 0)
        return QCoreApplication::translate("browser_model", "today");
    if (days == 1)
        return QCoreApplication::translate("browser_model", "in 1 day");
    if (days > 1)
        return QCoreApplication::translate("browser_model", "in %Ln days", nullptr, n);
    if (days == -1)
        return QCoreApplication::translate("browser_model", "1 day overdue");
    return QCoreApplication::translate("browser_model", "%Ln days overdue", nullptr, n);
}

}  // namespace

bool is_shown_item(const browse_row& row)
{
    const window_state& w = ui();
    if (!ui().pass.reviewing())
        return false;
    return (row.scheduled && row.scheduled == w.pass.current_item()) || (row.pending && row.pending == w.pass.current_pending());
}


browser_model::browser_model(browse_kind kind, QObject* parent) : QAbstractTableModel(parent), kind_(kind)
{
    filter_.today = day_number(0);
    filter_timer_ = new QTimer(this);
    filter_timer_->setInterval(0);
    connect(filter_timer_, &QTimer::timeout, this, &browser_model::filter_slice);
    reload();
}

browser_model::~browser_model() { stop_preparing(); }

const browser_model::row_list& browser_model::rows()
{
    if (!rows_) {
        rows_ = std::make_shared<const row_list>(kind_ == browse_kind::scheduled ? scheduled_rows() : pending_rows());
        head_ = {};
    }
    return *rows_;
}

browse_row browser_model::row_of_index(size_t index) const
{
    if (rows_)
        return index < rows_->size() ? (*rows_)[index] : browse_row {};
    // The list walked on from the last row looked at.
    while (head_.size() <= index) {
        browse_row next {};
        if (kind_ == browse_kind::scheduled)
            next.scheduled = head_.empty() ? db().head : head_.back().scheduled->next;
        else
            next.pending = head_.empty() ? db().pending_head : head_.back().pending->next;
        if (!next.scheduled && !next.pending)
            return {};
        head_.push_back(next);
    }
    return head_[index];
}

const std::vector<uint32_t>& browser_model::order()
{
    if (order_.size() != rows().size()) {
        order_.resize(rows().size());
        std::iota(order_.begin(), order_.end(), 0u);
    }
    return order_;
}

void browser_model::reload()
{
    stop_preparing();
    ++generation_;
    rows_ = {};
    head_ = {};
    listed_ = kind_ == browse_kind::scheduled ? db().item_count : db().pending_count;
    for (std::vector<uint32_t>& r : ranks_)
        r = {};
    folded_ = {};
    order_ = {};
    apply_sort();
    restart_filter();
    prepare();
}

bool browser_model::filter_done() const { return !filter_timer_->isActive(); }

std::vector<int> browser_model::rows_of(const std::vector<browse_row>& items) const
{
    const auto record_of = [](const browse_row& row) -> const void* {
        return row.scheduled ? static_cast<const void*>(row.scheduled) : row.pending;
    };
    std::vector<const void*> wanted;
    for (const browse_row& i : items)
        wanted.push_back(record_of(i));
    std::sort(wanted.begin(), wanted.end());
    std::vector<int> found;
    for (int r = 0; r < rowCount() && found.size() < wanted.size(); ++r)
        if (std::binary_search(wanted.begin(), wanted.end(), record_of(row_at(r))))
            found.push_back(r);
    return found;
}

void browser_model::set_filter_slices(size_t first, size_t each)
{
    first_slice_ = std::max<size_t>(first, 1);
    each_slice_ = std::max<size_t>(each, 1);
    stop_preparing();
    prepare_ = false;
    folded_ = {};
}

void browser_model::restart_filter()
{
    beginResetModel();
    progress_ = {};
    progress_.filter = filter_;
    // Without a filter every row shows: taken at once, the view gets its rows in one reset
    // instead of a row insertion (and a frame) per slice.
    all_shown_ = filter_.folded_query.empty() && filter_.due == due_filter::any && !filter_.category;
    bool done = all_shown_;
    // The rows shown are written over; their memory stays for the next key.
    if (done) {
        shown_.clear();
    } else if (folded_.starts.size() == rows().size() + 1) {
        // The folded texts are one scan for every row: a single frame for the whole search.
        filter_rows(rows(), order(), filter_, &folded_, shown_);
        done = true;
    } else {
        // The first screen's rows, or as many rows as take a few milliseconds to look at.
        constexpr size_t screen_rows = 100;
        const size_t step = std::min<size_t>(first_slice_, 2'000);
        for (size_t looked = 0; !done && looked < first_slice_ && progress_.shown.size() < screen_rows; looked += step)
            done = filter_more_rows(progress_, rows(), order(), std::min(step, first_slice_ - looked), &folded_);
        done = done || progress_.next >= order().size();
        shown_ = progress_.shown;
    }
    endResetModel();
    if (done)
        filter_timer_->stop();
    else
        filter_timer_->start();
    emit rows_found();
}

void browser_model::filter_slice()
{
    const bool done = filter_more_rows(progress_, rows(), order(), each_slice_, &folded_);
    if (progress_.shown.size() > shown_.size()) {
        beginInsertRows(QModelIndex(), static_cast<int>(shown_.size()), static_cast<int>(progress_.shown.size() - 1));
        shown_.insert(shown_.end(), progress_.shown.begin() + static_cast<ptrdiff_t>(shown_.size()), progress_.shown.end());
        endInsertRows();
    }
    if (done)
        filter_timer_->stop();
    emit rows_found();
}

int browser_model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(all_shown_ ? total() : shown_.size());
}

int browser_model::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : column_count; }

QVariant browser_model::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const browse_row row = row_at(index.row());
    if (!row.scheduled && !row.pending)
        return {};  // past the list's end, which its count put further
    const int column = index.column();
    if (role == Qt::EditRole && (column == column_question || column == column_answer))
        return QString::fromUtf8(column == column_question ? question_of(row) : answer_of(row));
    if (role == Qt::TextAlignmentRole && column >= column_interval && column <= column_grade)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case column_question: return cell_text(question_of(row));
    case column_answer: return cell_text(answer_of(row));
    case column_category: return QString::fromStdString(category_path(category_of(row)));
    default: break;
    }
    const item* e = row.scheduled;
    if (!e)
        return {};  // a queued item has no schedule yet
    switch (column) {
    case column_next_date: return local_date(date_of_day(e->tmtrpt));
    case column_due: return due_text(static_cast<int32_t>(e->tmtrpt) - filter_.today);
    case column_interval: return e->ivl;
    case column_repetitions: return e->rp;
    case column_grade: return QVariant(e->gr);  // the first grade too: a new item is made with one
    case column_created: return e->id ? local_date(date_of_time(e->id)) : QString();
    default: return {};
    }
}

QVariant browser_model::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[column_count] = {QT_TR_NOOP("Question"), QT_TR_NOOP("Answer"),
        QT_TR_NOOP("Category"), QT_TR_NOOP("Next Review"), QT_TR_NOOP("Due"), QT_TR_NOOP("Interval"),
        QT_TR_NOOP("Repetitions"), QT_TR_NOOP("Last Grade"), QT_TR_NOOP("Created")};
    return section >= 0 && section < column_count ? tr(titles[section]) : QVariant();
}

Qt::ItemFlags browser_model::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!index.isValid() || index.row() >= rowCount() || (index.column() != column_question && index.column() != column_answer))
        return f;
    // A text too long for the editor's box is kept as it is, as the review screen keeps it.
    const browse_row row = row_at(index.row());
    if (!row.scheduled && !row.pending)
        return f;
    const std::string_view text = index.column() == column_question ? question_of(row) : answer_of(row);
    if (display_length(text) <= max_text_bytes)
        f |= Qt::ItemIsEditable;
    return f;
}

bool browser_model::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount()
        || (index.column() != column_question && index.column() != column_answer))
        return false;
    const browse_row row = row_at(index.row());
    if (!row.scheduled && !row.pending)
        return false;
    const bool question = index.column() == column_question;
    std::string text = value.toString().toStdString();
    if (text.size() > max_text_bytes) {
        show_message(nullptr, tr("Browse Items"), too_long_text(question ? tr("The question") : tr("The answer"), text.size()));
        return false;
    }
    if ((question ? question_of(row) : answer_of(row)) == text)
        return true;
    // The preparing thread reads the texts; what it made of the old ones is dropped.
    stop_preparing();
    ++generation_;
    std::string other(question ? answer_of(row) : question_of(row));
    if (row.scheduled)
        change_texts(row.scheduled, question ? std::move(text) : std::move(other), question ? std::move(other) : std::move(text));
    else
        change_texts(row.pending, question ? std::move(text) : std::move(other), question ? std::move(other) : std::move(text));
    folded_ = {};
    ranks_[static_cast<size_t>(question ? browse_sort::question : browse_sort::answer)] = {};
    prepare();
    emit dataChanged(index, index);
    emit database_changed(row);
    return true;
}

namespace {

constexpr browse_sort column_keys[column_count] = {browse_sort::question, browse_sort::answer, browse_sort::category,
    browse_sort::next_date, browse_sort::next_date, browse_sort::interval, browse_sort::repetitions,
    browse_sort::grade, browse_sort::created};

}  // namespace

const std::vector<uint32_t>& browser_model::ranks(browse_sort key)
{
    std::vector<uint32_t>& kept = ranks_[static_cast<size_t>(key)];
    if (kept.size() != rows().size())
        kept = rank_rows(rows(), key);
    return kept;
}

void browser_model::apply_sort()
{
    if (sort_column_ < 0 || sort_column_ >= column_count)
        return;
    order();
    sort_by_rank(order_, ranks(column_keys[sort_column_]), sort_order_ == Qt::DescendingOrder);
}

void browser_model::sort(int column, Qt::SortOrder order)
{
    if (column == sort_column_ && order == sort_order_)
        return;
    const size_t counted = total();
    if (rows().size() != counted) {
        // A list longer or shorter than its count: the view learns the true length first.
        beginResetModel();
        endResetModel();
    }
    emit layoutAboutToBeChanged();
    // The rows shown before, as indexes into the rows.
    std::vector<uint32_t> old_shown;
    if (all_shown_)
        old_shown = this->order();
    else
        old_shown.swap(shown_);
    sort_column_ = column;
    sort_order_ = order;
    std::iota(order_.begin(), order_.end(), 0u);
    apply_sort();
    if (!filter_done()) {
        // A search under way starts again in the new order.
        emit layoutChanged();
        restart_filter();
        return;
    }
    // The rows that passed are the same ones in another order: no text is searched again.
    if (!all_shown_) {
        std::vector<uint8_t> passed(rows().size(), 0);
        for (const uint32_t index : old_shown)
            passed[index] = 1;
        shown_.reserve(old_shown.size());
        for (const uint32_t index : order_)
            if (passed[index])
                shown_.push_back(index);
        progress_.shown = shown_;
    }
    // The selection and the current cell stay on their items.
    const QModelIndexList before = persistentIndexList();
    if (!before.isEmpty()) {
        const std::vector<uint32_t>& now_shown = all_shown_ ? order_ : shown_;
        std::vector<int> row_of(rows().size(), -1);
        for (size_t r = 0; r < now_shown.size(); ++r)
            row_of[now_shown[r]] = static_cast<int>(r);
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& i : before)
            after.push_back(index(row_of[old_shown[static_cast<size_t>(i.row())]], i.column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged();
}

void browser_model::set_filter(const browse_filter& filter)
{
    // The same filter again (the window's first, a tab changed) leaves the rows as they are.
    if (filter == filter_ && filter_done())
        return;
    filter_ = filter;
    restart_filter();
}

bool browser_model::remove(const std::vector<int>& rows)
{
    std::vector<browse_row> doomed;
    for (int r : rows)
        if (r >= 0 && r < rowCount())
            doomed.push_back(row_at(r));
    if (doomed.empty())
        return false;
    // Undo steps point at item records, some of which are about to be freed.
    forget_undo();
    stop_preparing();
    bool shown_removed = false;
    for (const browse_row& row : doomed) {
        if (is_shown_item(row)) {
            shown_removed = true;
            ui().pass.drop_shown();
        }
        emit database_changed(row);
        if (row.scheduled)
            delete_scheduled_item(row.scheduled);
        else
            delete_queued_item(row.pending);
    }
    reload();
    return shown_removed;
}

int browser_model::move_to_category(const std::vector<int>& rows, uint16_t ctgr)
{
    if (ctgr >= category_count())
        return 0;
    std::vector<browse_row> moving;
    for (int r : rows)
        if (r >= 0 && r < rowCount() && category_of(row_at(r)) != ctgr)
            moving.push_back(row_at(r));
    if (!moving.empty())
        stop_preparing();
    for (const browse_row& row : moving) {
        if (row.scheduled)
            move_to(row.scheduled, ctgr);
        else
            move_to(row.pending, ctgr);
        emit database_changed(row);
    }
    // A category filter may now leave some of them out, and a sort by category move them.
    if (!moving.empty())
        reload();
    return static_cast<int>(moving.size());
}

int browser_model::make_due_today(const std::vector<int>& rows)
{
    std::vector<item*> items;
    for (int r : rows)
        if (r >= 0 && r < rowCount() && row_at(r).scheduled && row_at(r).scheduled->tmtrpt > filter_.today)
            items.push_back(row_at(r).scheduled);
    if (items.empty())
        return 0;
    // An undo step would put its item back in the place it had in the list.
    forget_undo();
    stop_preparing();
    int moved = 0;
    for (item* e : items) {
        emit database_changed({e, nullptr});
        moved += reschedule_today(e, filter_.today) ? 1 : 0;
    }
    reload();
    return moved;
}

int browser_model::forget(const std::vector<int>& rows)
{
    std::vector<item*> items;
    for (int r : rows)
        if (r >= 0 && r < rowCount() && row_at(r).scheduled)
            items.push_back(row_at(r).scheduled);
    if (items.empty())
        return 0;
    // An undo step would put its item back in the place it had in the list.
    forget_undo();
    stop_preparing();
    for (item* e : items) {
        emit database_changed({e, nullptr});
        forget_item(e, filter_.today);
    }
    reload();
    return static_cast<int>(items.size());
}
