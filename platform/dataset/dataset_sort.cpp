#include "platform/dataset/dataset_columns.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <exception>
#include <thread>

// Sorting sorts (key, row id) pairs rather than ids with a comparator that reads the column: the
// pairs stay in cache. Text is sorted 8 bytes at a time (most significant first); only rows whose
// first bytes tie are looked at again.
namespace Platform::Detail {
namespace {

struct Keyed {
    std::uint64_t key;
    std::uint32_t id;
    std::uint32_t length; // of the text, for text columns
};

bool byKeyThenId(const Keyed& a, const Keyed& b)
{
    return a.key < b.key || (a.key == b.key && a.id < b.id);
}

// Stable LSD radix sort by key, a byte at a time, skipping bytes every key shares. The input is
// in row-id order, so equal keys stay in id order without comparing ids.
void sortByKey(Keyed* first, Keyed* last, std::vector<Keyed>& scratch)
{
    const std::size_t count = static_cast<std::size_t>(last - first);
    if (count < 256) {
        std::sort(first, last, byKeyThenId);
        return;
    }
    // Every byte's counts in one pass over the keys; bytes that all keys share are skipped.
    std::vector<std::array<std::uint32_t, 256>> counts(8);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t key = first[i].key;
        for (unsigned b = 0; b < 8; ++b)
            ++counts[b][(key >> (8 * b)) & 0xFF];
    }
    if (scratch.size() < count)
        scratch.resize(count);
    Keyed* source = first;
    Keyed* target = scratch.data();
    for (unsigned b = 0; b < 8; ++b) {
        const unsigned shift = 8 * b;
        auto& buckets = counts[b];
        if (buckets[(source[0].key >> shift) & 0xFF] == count)
            continue;
        std::uint32_t offset = 0;
        for (std::uint32_t& bucket : buckets) {
            const std::uint32_t size = bucket;
            bucket = offset;
            offset += size;
        }
        for (std::size_t i = 0; i < count; ++i)
            target[buckets[(source[i].key >> shift) & 0xFF]++] = source[i];
        std::swap(source, target);
    }
    if (source != first)
        std::copy(source, source + count, first);
}

std::uint64_t numberKey(double value)
{
    if (value == 0)
        value = 0; // -0 and +0 are the same value
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const std::uint64_t sign = std::uint64_t{1} << 63;
    return (bits & sign) != 0 ? ~bits : bits | sign;
}

std::uint64_t textKey(std::string_view text, std::size_t depth)
{
    if (depth + 8 <= text.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + depth, sizeof word);
        if constexpr (std::endian::native == std::endian::little)
            word = __builtin_bswap64(word);
        return word;
    }
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        key <<= 8;
        if (depth + i < text.size())
            key |= static_cast<unsigned char>(text[depth + i]);
    }
    return key;
}

struct TextRange {
    Keyed* first;
    Keyed* last;
};

// All keys of a range the same: nothing to sort at this depth.
bool allKeysEqual(const Keyed* first, const Keyed* last)
{
    for (const Keyed* p = first + 1; p < last; ++p)
        if (p->key != first->key)
            return false;
    return true;
}

// Sorts one tied range by its 8 bytes at depth; the runs still tied beyond them go to next.
struct RangeSorter {
    const Column& column;
    bool descending;
    std::size_t depth;
    const std::vector<std::uint64_t>* keysAtDepth; // every row's 8 bytes at depth, or none
    std::vector<Keyed> scratch;
    std::vector<TextRange> next;

    void sort(const TextRange& range)
    {
        constexpr std::ptrdiff_t smallRun = 16;
        if (range.last - range.first <= smallRun) {
            std::sort(range.first, range.last, [&](const Keyed& a, const Keyed& b) {
                const int c = column.text(a.id).substr(depth).compare(column.text(b.id).substr(depth));
                return (descending ? c > 0 : c < 0) || (c == 0 && a.id < b.id);
            });
            return;
        }
        const std::uint64_t flip = descending ? ~std::uint64_t{0} : 0;
        if (keysAtDepth) {
            const std::uint64_t* keys = keysAtDepth->data();
            for (Keyed* p = range.first; p != range.last; ++p)
                p->key = keys[p->id] ^ flip;
        } else {
            constexpr std::ptrdiff_t ahead = 8;
            for (Keyed* p = range.first; p != range.last; ++p) {
                if (range.last - p > ahead)
                    column.prefetchText(p[ahead].id);
                p->key = textKey(column.text(p->id), depth) ^ flip;
            }
        }
        if (!allKeysEqual(range.first, range.last))
            sortByKey(range.first, range.last, scratch);
        const std::size_t reach = depth + 8;
        for (Keyed* run = range.first; run != range.last;) {
            Keyed* runEnd = run + 1;
            while (runEnd != range.last && runEnd->key == run->key)
                ++runEnd;
            if (runEnd - run > 1) {
                // Texts that end within these 8 bytes are prefixes of the longer ones: ascending
                // they come first, shortest first, descending last, longest first. The longer
                // ones tie on everything so far and go one level down. Equal keys and equal
                // lengths are equal texts, already in id order; lengths differ only by
                // trailing NUL bytes.
                auto ends = [&](const Keyed& k) { return k.length <= reach; };
                if (!descending) {
                    Keyed* longer = std::stable_partition(run, runEnd, ends);
                    std::stable_sort(run, longer, [](const Keyed& a, const Keyed& b) { return a.length < b.length; });
                    if (runEnd - longer > 1)
                        next.push_back({longer, runEnd});
                } else {
                    Keyed* ending = std::stable_partition(run, runEnd, [&](const Keyed& k) { return !ends(k); });
                    std::stable_sort(ending, runEnd, [](const Keyed& a, const Keyed& b) { return a.length > b.length; });
                    if (ending - run > 1)
                        next.push_back({run, ending});
                }
            }
            run = runEnd;
        }
    }
};

// Runs work(0) and work(1) on two threads when the job is big enough to repay a thread, else
// both here. A million-row table spends its time waiting on memory, which two cores halve.
template <typename Work>
void inTwoParts(bool parallel, Work&& work)
{
    if (!parallel) {
        work(0);
        work(1);
        return;
    }
    std::exception_ptr failure;
    std::thread helper([&] {
        try {
            work(1);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        work(0);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

// Most significant 8 bytes first, one depth at a time over every range still tied. At a depth
// where the tied ranges hold a good share of the rows, the 8 bytes of every row are read in one
// pass in storage order, and the ranges then look them up in that small array: reading the texts
// themselves in the ranges' scattered order would wait on memory for every row once the column
// outgrows the cache.
void sortTextRanges(const Column& column, bool descending, Keyed* first, Keyed* last)
{
    constexpr std::size_t parallelAbove = 200'000;
    const auto rows = static_cast<std::uint32_t>(column.size());
    std::vector<std::uint64_t> keysAtDepth;
    std::vector<TextRange> level{{first, last}};
    std::array<RangeSorter, 2> sorters{RangeSorter{column, descending, 0, nullptr, {}, {}},
                                       RangeSorter{column, descending, 0, nullptr, {}, {}}};
    for (std::size_t depth = 0; !level.empty(); depth += 8) {
        std::size_t tied = 0;
        for (const TextRange& range : level)
            tied += static_cast<std::size_t>(range.last - range.first);
        const bool parallel = tied >= parallelAbove;
        const bool wholeColumn = tied * 4 >= rows;
        if (wholeColumn) {
            keysAtDepth.resize(rows);
            inTwoParts(parallel, [&](int part) {
                const std::uint32_t from = part == 0 ? 0 : rows / 2;
                const std::uint32_t to = part == 0 ? rows / 2 : rows;
                for (std::uint32_t id = from; id < to; ++id)
                    keysAtDepth[id] = column.isNull(id) ? 0 : textKey(column.text(id), depth);
            });
        }
        // The ranges split into two groups of about the same number of rows.
        std::size_t split = 0;
        for (std::size_t half = 0; split < level.size() && half * 2 < tied; ++split)
            half += static_cast<std::size_t>(level[split].last - level[split].first);
        inTwoParts(parallel && split < level.size(), [&](int part) {
            RangeSorter& sorter = sorters[static_cast<std::size_t>(part)];
            sorter.depth = depth;
            sorter.keysAtDepth = wholeColumn ? &keysAtDepth : nullptr;
            sorter.next.clear();
            const std::size_t from = part == 0 ? 0 : split;
            const std::size_t to = part == 0 ? split : level.size();
            for (std::size_t i = from; i < to; ++i)
                sorter.sort(level[i]);
        });
        level = std::move(sorters[0].next);
        level.insert(level.end(), sorters[1].next.begin(), sorters[1].next.end());
        sorters[0].next.clear();
    }
}

} // namespace

int compareRows(const Column& column, std::uint32_t a, std::uint32_t b)
{
    const bool nullA = column.isNull(a);
    const bool nullB = column.isNull(b);
    if (nullA || nullB)
        return nullA == nullB ? 0 : (nullA ? -1 : 1);
    if (column.type() == FieldType::String) {
        const int c = column.text(a).compare(column.text(b));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    const std::uint64_t ka = numberKey(column.number(a));
    const std::uint64_t kb = numberKey(column.number(b));
    return ka < kb ? -1 : (ka > kb ? 1 : 0);
}

void sortRows(const Column& column, bool descending, std::vector<std::uint32_t>& order)
{
    const auto rows = static_cast<std::uint32_t>(column.size());
    std::vector<Keyed> keyed;
    keyed.reserve(rows);
    for (std::uint32_t id = 0; id < rows; ++id)
        if (!column.isNull(id))
            keyed.push_back({0, id, 0});
    // Descending order is sorted as such (complemented keys), not reversed afterwards: equal rows
    // stay in posting order without comparing neighbours again.
    if (column.type() == FieldType::String) {
        for (Keyed& k : keyed)
            k.length = static_cast<std::uint32_t>(column.text(k.id).size());
        sortTextRanges(column, descending, keyed.data(), keyed.data() + keyed.size());
    } else {
        for (Keyed& k : keyed)
            k.key = descending ? ~numberKey(column.number(k.id)) : numberKey(column.number(k.id));
        std::vector<Keyed> scratch;
        sortByKey(keyed.data(), keyed.data() + keyed.size(), scratch);
    }

    // Nulls come first ascending and last descending, in posting order either way.
    order.clear();
    order.reserve(rows);
    auto appendNulls = [&] {
        if (keyed.size() == rows)
            return;
        for (std::uint32_t id = 0; id < rows; ++id)
            if (column.isNull(id))
                order.push_back(id);
    };
    if (!descending)
        appendNulls();
    for (const Keyed& k : keyed)
        order.push_back(k.id);
    if (descending)
        appendNulls();
}

} // namespace Platform::Detail
