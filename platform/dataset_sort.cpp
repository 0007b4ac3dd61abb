#include "platform/dataset_columns.h"

#include <algorithm>
#include <cstring>

// Sorting sorts (key, row id) pairs rather than ids with a comparator that reads the column: the
// pairs stay in cache, so a million rows sort in well under a second. Text is sorted 8 bytes at a
// time (most significant first); only rows whose first bytes tie are looked at again.
namespace Platform::Detail {
namespace {

struct Keyed {
    std::uint64_t key;
    std::uint32_t id;
};

bool byKeyThenId(const Keyed& a, const Keyed& b)
{
    return a.key < b.key || (a.key == b.key && a.id < b.id);
}

// Stable LSD radix sort by key, a byte at a time, skipping bytes every key shares. The input is
// in row-id order, so equal keys stay in id order without comparing ids.
void sortByKey(Keyed* first, Keyed* last)
{
    const std::size_t count = static_cast<std::size_t>(last - first);
    if (count < 256) {
        std::sort(first, last, byKeyThenId);
        return;
    }
    std::vector<Keyed> scratch(count);
    Keyed* source = first;
    Keyed* target = scratch.data();
    for (unsigned shift = 0; shift < 64; shift += 8) {
        std::size_t buckets[256] = {};
        for (std::size_t i = 0; i < count; ++i)
            ++buckets[(source[i].key >> shift) & 0xFF];
        if (buckets[(source[0].key >> shift) & 0xFF] == count)
            continue;
        std::size_t offset = 0;
        for (std::size_t& bucket : buckets) {
            const std::size_t size = bucket;
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
    std::size_t depth;
};

void sortTextRanges(const Column& column, Keyed* first, Keyed* last)
{
    constexpr std::ptrdiff_t smallRun = 16;
    std::vector<TextRange> pending{{first, last, 0}};
    while (!pending.empty()) {
        const TextRange range = pending.back();
        pending.pop_back();
        std::size_t depth = range.depth;
        if (range.last - range.first <= smallRun) {
            std::sort(range.first, range.last, [&](const Keyed& a, const Keyed& b) {
                const int c = column.text(a.id).substr(depth).compare(column.text(b.id).substr(depth));
                return c < 0 || (c == 0 && a.id < b.id);
            });
            continue;
        }
        // Skip the bytes every text of the range shares (NF-e names share long prefixes), so the
        // next key already tells the rows apart.
        // Texts of a range lie scattered over the buffer: ask for them a few rows ahead, so the
        // cache misses overlap instead of following one another.
        constexpr std::ptrdiff_t textAhead = 8;
        constexpr std::ptrdiff_t refAhead = 16;
        auto prefetch = [&](Keyed* p) {
            if (range.last - p > refAhead)
                column.prefetchRef(p[refAhead].id);
            if (range.last - p > textAhead)
                column.prefetchText(p[textAhead].id);
        };
        for (Keyed* p = range.first; p != range.first + std::min<std::ptrdiff_t>(refAhead, range.last - range.first); ++p)
            column.prefetchRef(p->id);
        const std::string_view head = column.text(range.first->id);
        std::size_t shared = head.size() > depth ? head.size() - depth : 0;
        for (Keyed* p = range.first + 1; p != range.last && shared > 0; ++p) {
            prefetch(p);
            const std::string_view text = column.text(p->id);
            std::size_t same = 0;
            const std::size_t limit = std::min(shared, text.size() > depth ? text.size() - depth : 0);
            while (same < limit && text[depth + same] == head[depth + same])
                ++same;
            shared = same;
        }
        depth += shared;
        for (Keyed* p = range.first; p != range.last; ++p) {
            prefetch(p);
            p->key = textKey(column.text(p->id), depth);
        }
        sortByKey(range.first, range.last);
        const std::size_t next = depth + 8;
        for (Keyed* run = range.first; run != range.last;) {
            Keyed* runEnd = run + 1;
            while (runEnd != range.last && runEnd->key == run->key)
                ++runEnd;
            if (runEnd - run > 1) {
                // Texts that end within these 8 bytes are prefixes of the longer ones: they come
                // first, shortest first; the rest tie on everything so far and go one level down.
                Keyed* longer = std::stable_partition(run, runEnd, [&](const Keyed& k) {
                    return column.text(k.id).size() <= next;
                });
                // Equal keys and equal lengths are equal texts, already in id order; lengths differ
                // only by trailing NUL bytes.
                std::stable_sort(run, longer, [&](const Keyed& a, const Keyed& b) {
                    return column.text(a.id).size() < column.text(b.id).size();
                });
                if (runEnd - longer > 1)
                    pending.push_back({longer, runEnd, next});
            }
            run = runEnd;
        }
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
    order.clear();
    order.reserve(rows);
    for (std::uint32_t id = 0; id < rows; ++id)
        if (column.isNull(id))
            order.push_back(id);
    const std::size_t nulls = order.size();

    std::vector<Keyed> keyed;
    keyed.reserve(rows - nulls);
    for (std::uint32_t id = 0; id < rows; ++id)
        if (!column.isNull(id))
            keyed.push_back({0, id});
    if (column.type() == FieldType::String) {
        sortTextRanges(column, keyed.data(), keyed.data() + keyed.size());
    } else {
        for (Keyed& k : keyed)
            k.key = numberKey(column.number(k.id));
        sortByKey(keyed.data(), keyed.data() + keyed.size());
    }
    for (const Keyed& k : keyed)
        order.push_back(k.id);

    if (descending) {
        std::reverse(order.begin(), order.end());
        // Reversal turned equal rows around; put each run of them back in posting order.
        for (std::size_t run = 0; run < order.size();) {
            std::size_t end = run + 1;
            while (end < order.size() && compareRows(column, order[run], order[end]) == 0)
                ++end;
            std::reverse(order.begin() + static_cast<std::ptrdiff_t>(run),
                         order.begin() + static_cast<std::ptrdiff_t>(end));
            run = end;
        }
    }
}

} // namespace Platform::Detail
