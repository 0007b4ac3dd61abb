// CarregaGrid: listing lines to rows of the file table. A very long listing is read on two
// threads: a helper splits and converts the lines a chunk ahead while this thread posts the rows.
#include "screen/listing_parser.h"

#include <array>
#include <atomic>
#include <exception>
#include <thread>

namespace Cli_Vop31600 {
namespace {

// One line made ready for its row: split, checked, its size converted.
struct PreparedLine {
    ListingEntry entry;
    bool skip = false;     // a "total" line, a hidden name, or "." and ".." of a Unix listing
    bool hasSize = false;
    double bytes = 0;
    std::exception_ptr failure; // the size did not convert: the loading stops at this line
};

void prepare(const std::string& line, PreparedLine& out)
{
    out.skip = !listingRowOf(line, out.entry);
    if (out.skip)
        return;
    // Converted before the row starts, so a failing line leaves no half-filled row behind.
    out.hasSize = !out.entry.sizeText.empty();
    out.bytes = 0;
    out.failure = nullptr;
    if (out.hasSize) {
        try {
            out.bytes = sizeTextToNumber(out.entry.sizeText);
        } catch (...) {
            out.failure = std::current_exception();
        }
    }
}

class RowWriter {
public:
    explicit RowWriter(Platform::TClientDataSet& table)
        : table_(table), modification_(table.FieldByName("DSDTHRMODIFICACAO")), kind_(table.FieldByName("DSTIPO")),
          isDirectory_(table.FieldByName("BOISDIRECTORY")), name_(table.FieldByName("DSNOME")),
          position_(table.FieldByName("IDARQUIVO")), size_(table.FieldByName("FLTAMANHO"))
    {
    }

    void write(const PreparedLine& line, std::size_t index)
    {
        if (line.skip)
            return;
        if (line.failure)
            std::rethrow_exception(line.failure);
        table_.Insert();
        modification_.SetAsString(line.entry.modification);
        kind_.SetAsString(line.entry.kind);
        isDirectory_.SetAsBoolean(line.entry.isDirectory);
        name_.SetAsString(line.entry.name);
        position_.SetAsInteger(static_cast<std::int32_t>(index));
        if (line.hasSize)
            size_.SetAsFloat(line.bytes);
        table_.Post();
    }

private:
    Platform::TClientDataSet& table_;
    Platform::TField& modification_;
    Platform::TField& kind_;
    Platform::TField& isDirectory_;
    Platform::TField& name_;
    Platform::TField& position_;
    Platform::TField& size_;
};

// The helper fills chunks in turn; each chunk is handed back and forth through its ready flag.
// Entries keep their string storage from one round of the ring to the next.
class PreparingHelper {
public:
    static constexpr std::size_t chunkLines = 2048;
    static constexpr std::size_t ringChunks = 4;

    explicit PreparingHelper(const std::vector<std::string>& lines) : lines_(lines)
    {
        for (Chunk& chunk : ring_)
            chunk.lines.resize(chunkLines);
        thread_ = std::thread([this] { run(); });
    }
    // Also when the loading stops early (a failing line, a throwing table): the helper is told to
    // stop and joined before the lines it reads can go.
    ~PreparingHelper()
    {
        stop_.store(true);
        for (Chunk& chunk : ring_) {
            chunk.ready.store(false);
            chunk.ready.notify_all();
        }
        thread_.join();
    }
    PreparingHelper(const PreparingHelper&) = delete;
    PreparingHelper& operator=(const PreparingHelper&) = delete;

    // The prepared lines of chunk number n, once the helper has filled it.
    const std::vector<PreparedLine>& take(std::size_t n)
    {
        Chunk& chunk = ring_[n % ringChunks];
        chunk.ready.wait(false);
        return chunk.lines;
    }
    // The chunk taken last may be filled again.
    void release(std::size_t n)
    {
        Chunk& chunk = ring_[n % ringChunks];
        chunk.ready.store(false);
        chunk.ready.notify_all();
    }

private:
    struct Chunk {
        std::vector<PreparedLine> lines;
        std::atomic<bool> ready{false};
    };

    void run()
    {
        for (std::size_t n = 0; n * chunkLines < lines_.size(); ++n) {
            Chunk& chunk = ring_[n % ringChunks];
            chunk.ready.wait(true);
            if (stop_.load())
                return;
            const std::size_t first = n * chunkLines;
            const std::size_t count = std::min(chunkLines, lines_.size() - first);
            for (std::size_t i = 0; i < count; ++i) {
                PreparedLine& line = chunk.lines[i];
                try {
                    prepare(lines_[first + i], line);
                } catch (...) {
                    // Out of memory here stops the loading at this line, on the posting thread.
                    line.skip = false;
                    line.failure = std::current_exception();
                }
            }
            chunk.ready.store(true);
            chunk.ready.notify_all();
        }
    }

    const std::vector<std::string>& lines_;
    std::array<Chunk, ringChunks> ring_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Below this a second thread costs more than it saves.
constexpr std::size_t helperFrom = 200'000;

} // namespace

void CarregaGrid(Platform::TClientDataSet& cdsArquivos, const std::vector<std::string>& lines,
                 const std::function<void()>& betweenChunks)
{
    constexpr std::size_t chunkLines = PreparingHelper::chunkLines;
    if (!cdsArquivos.Active())
        cdsArquivos.CreateDataSet();
    cdsArquivos.EmptyDataSet();
    RowWriter rows(cdsArquivos);
    if (lines.size() < helperFrom) {
        PreparedLine line;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            prepare(lines[i], line);
            rows.write(line, i);
            if (betweenChunks && (i + 1) % chunkLines == 0)
                betweenChunks();
        }
        return;
    }
    PreparingHelper helper(lines);
    for (std::size_t n = 0; n * PreparingHelper::chunkLines < lines.size(); ++n) {
        const std::vector<PreparedLine>& chunk = helper.take(n);
        const std::size_t first = n * PreparingHelper::chunkLines;
        const std::size_t count = std::min(PreparingHelper::chunkLines, lines.size() - first);
        for (std::size_t i = 0; i < count; ++i)
            rows.write(chunk[i], first + i);
        helper.release(n);
        if (betweenChunks)
            betweenChunks();
    }
}

} // namespace Cli_Vop31600
