#include "platform/dataset/client_dataset.h"

#include "platform/dataset/dataset_impl.h"

#include <algorithm>

// Who hears of the dataset: observers told of changes and moves (the grid's model), the AfterScroll
// event, and the disabling of controls during a batch of changes.
namespace Platform {

DataSetObserver::~DataSetObserver() = default;

void TClientDataSet::Impl::notifyChanged()
{
    // Runs once per posted row: no copy of the list here. Observers do not detach while told of a
    // change.
    for (std::size_t i = 0; i < observers.size(); ++i)
        observers[i]->dataSetChanged();
}

void TClientDataSet::Impl::notifyScrolled()
{
    const auto copy = observers;
    for (DataSetObserver* observer : copy)
        if (std::find(observers.begin(), observers.end(), observer) != observers.end())
            observer->dataSetScrolled();
    if (owner->AfterScroll)
        owner->AfterScroll(*owner);
}

void TClientDataSet::DisableControls() { ++d_->disableCount; }

void TClientDataSet::EnableControls()
{
    if (d_->disableCount == 0)
        return;
    if (--d_->disableCount > 0)
        return;
    const auto copy = d_->observers;
    for (DataSetObserver* observer : copy)
        if (std::find(d_->observers.begin(), d_->observers.end(), observer) != d_->observers.end())
            observer->dataSetControlsEnabled();
}

bool TClientDataSet::ControlsDisabled() const { return d_->disableCount > 0; }

void TClientDataSet::AddObserver(DataSetObserver* observer)
{
    if (std::find(d_->observers.begin(), d_->observers.end(), observer) == d_->observers.end())
        d_->observers.push_back(observer);
}

void TClientDataSet::RemoveObserver(DataSetObserver* observer)
{
    std::erase(d_->observers, observer);
}

} // namespace Platform
