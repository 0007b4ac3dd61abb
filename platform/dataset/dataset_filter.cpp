#include "platform/dataset/client_dataset.h"

#include "platform/dataset/dataset_impl.h"
#include "platform/dataset/text_fold.h"

#include <string_view>

namespace Platform {

void TClientDataSet::Impl::foldRow(std::uint32_t id)
{
    const Detail::Column& column = columns[static_cast<std::size_t>(filterField)];
    if (column.type() == FieldType::String) {
        if (!column.isNull(id))
            Detail::appendFolded(column.text(id), folded);
    } else {
        Detail::appendFolded(cellText(filterField, id), folded);
    }
    foldedEnd.push_back(static_cast<std::uint32_t>(folded.size()));
}

void TClientDataSet::Impl::refoldAll()
{
    folded.clear();
    foldedEnd.clear();
    if (filterField >= 0)
        for (std::uint32_t id = 0; id < rowCount; ++id)
            foldRow(id);
    foldStale = false;
}

bool TClientDataSet::Impl::rowMatches(std::uint32_t id) const
{
    if (filterField < 0)
        return true;
    const std::uint32_t begin = id == 0 ? 0 : foldedEnd[id - 1];
    const std::string_view text(folded.data() + begin, foldedEnd[id] - begin);
    return text.find(filterFolded) != std::string_view::npos;
}

void TClientDataSet::Impl::postFiltered(std::uint32_t id)
{
    if (filterField < 0)
        return;
    if (foldStale || foldedEnd.size() != id)
        refoldAll();
    else
        foldRow(id);
    if (!filtered())
        return;
    const bool match = rowMatches(id);
    shown.push_back(match ? 1 : 0);
    shownRows += match ? 1 : 0;
    viewDirty = true;
    currentPos = -1;
}

void TClientDataSet::Impl::clearFilterRows()
{
    folded.clear();
    foldedEnd.clear();
    foldStale = false;
    shown.clear();
    shownRows = 0;
    view.clear();
    viewDirty = false;
}

void TClientDataSet::Impl::ensureView()
{
    ensureOrder();
    if (!viewDirty)
        return;
    view.clear(); // keeps its storage: no allocation per keystroke once grown
    for (std::uint32_t position = 0; position < rowCount; ++position) {
        const std::uint32_t id = activeField < 0 ? position : order[position];
        if (shown[id])
            view.push_back(id);
    }
    viewDirty = false;
    currentPos = -1;
}

void TClientDataSet::SetFilterField(const std::string& field)
{
    d_->filterField = FieldByName(field).Index();
    d_->foldStale = true;
}

void TClientDataSet::SetFilterText(const std::string& text)
{
    std::string needle;
    Detail::appendFolded(text, needle);
    d_->filterText = text;
    if (needle == d_->filterFolded)
        return;
    if (d_->state == State::Insert)
        d_->requireBrowse();
    // A longer text of the same start shows a subset: only the rows shown now need a look.
    const bool narrowing = d_->filtered() && needle.find(d_->filterFolded) != std::string::npos
        && d_->shown.size() == d_->rowCount && !d_->foldStale;
    d_->filterFolded = std::move(needle);
    if (d_->filtered() && d_->filterField >= 0) {
        if (d_->foldStale || d_->foldedEnd.size() != d_->rowCount)
            d_->refoldAll();
        d_->shown.resize(d_->rowCount);
        std::uint32_t count = 0;
        for (std::uint32_t id = 0; id < d_->rowCount; ++id) {
            if (narrowing && !d_->shown[id])
                continue;
            const bool match = d_->rowMatches(id);
            d_->shown[id] = match ? 1 : 0;
            count += match ? 1 : 0;
        }
        d_->shownRows = count;
    } else if (d_->filtered()) {
        d_->shown.assign(d_->rowCount, 1);
        d_->shownRows = d_->rowCount;
    }
    d_->viewDirty = d_->filtered();
    d_->currentPos = -1;
    if (!Active())
        return;

    const bool currentShown = d_->currentRow >= 0
        && (!d_->filtered() || d_->shown[static_cast<std::size_t>(d_->currentRow)] != 0);
    if (!currentShown) {
        if (d_->shownCount() > 0) {
            d_->moveTo(0);
        } else {
            d_->currentRow = Impl::noRow;
            d_->currentPos = -1;
        }
    }
    d_->eof = d_->bof = d_->shownCount() == 0;
    d_->notifyChanged();
    d_->notifyScrolled();
}

const std::string& TClientDataSet::FilterText() const { return d_->filterText; }
bool TClientDataSet::Filtered() const { return d_->filtered(); }
int TClientDataSet::TotalRecordCount() const { return static_cast<int>(d_->rowCount); }

} // namespace Platform
