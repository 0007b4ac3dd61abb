#include "platform/dataset/client_dataset.h"

#include "platform/dataset/dataset_impl.h"

#include <stdexcept>

// Named indexes: defined on a field and a direction, one active at a time, the rows sorted by it only
// when the order is next needed.
namespace Platform {

const IndexDef* TClientDataSet::Impl::findIndex(const std::string& name) const
{
    for (const IndexDef& index : indexes)
        if (Detail::sameNameIgnoringCase(index.name, name))
            return &index;
    return nullptr;
}

const IndexDef* TClientDataSet::Impl::active() const
{
    return activeIndex.empty() ? nullptr : findIndex(activeIndex);
}

void TClientDataSet::Impl::ensureOrder()
{
    const IndexDef* index = active();
    if (!index || !orderDirty)
        return;
    Detail::sortRows(columns[static_cast<std::size_t>(index->field)], index->descending, order);
    orderDirty = false;
    viewDirty = filtered();
    currentPos = -1;
}

void TClientDataSet::AddIndex(const std::string& name, const std::string& field, bool descending)
{
    if (name.empty())
        throw std::invalid_argument("TClientDataSet: an index needs a name");
    if (d_->findIndex(name))
        throw std::invalid_argument("TClientDataSet: index '" + name + "' already exists");
    d_->indexes.push_back({name, FieldByName(field).Index(), descending});
}

void TClientDataSet::DeleteIndex(const std::string& name)
{
    const IndexDef* index = d_->findIndex(name);
    if (!index)
        throw std::invalid_argument("TClientDataSet: index '" + name + "' not found");
    if (Detail::sameNameIgnoringCase(index->name, d_->activeIndex))
        SetIndexName({});
    d_->indexes.erase(d_->indexes.begin() + (index - d_->indexes.data()));
}

std::vector<std::string> TClientDataSet::IndexNames() const
{
    std::vector<std::string> names;
    for (const IndexDef& index : d_->indexes)
        names.push_back(index.name);
    return names;
}

bool TClientDataSet::IndexDescending(const std::string& name) const
{
    const IndexDef* index = d_->findIndex(name);
    if (!index)
        throw std::invalid_argument("TClientDataSet: index '" + name + "' not found");
    return index->descending;
}

std::string TClientDataSet::IndexName() const
{
    const IndexDef* index = d_->active();
    return index ? index->name : std::string();
}

void TClientDataSet::SetIndexName(const std::string& name)
{
    if (d_->state == State::Insert)
        d_->requireBrowse();
    const IndexDef* index = name.empty() ? nullptr : d_->findIndex(name);
    if (!name.empty() && !index)
        throw std::invalid_argument("TClientDataSet: index '" + name + "' not found");
    const std::string newName = index ? index->name : std::string();
    if (newName == d_->activeIndex)
        return;
    d_->activeIndex = newName;
    d_->activeField = index ? index->field : -1;
    d_->activeDescending = index && index->descending;
    d_->order.clear();
    d_->orderDirty = index != nullptr;
    d_->viewDirty = d_->filtered();
    d_->currentPos = -1;
    d_->notifyChanged();
}

} // namespace Platform
