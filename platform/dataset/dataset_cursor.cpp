#include "platform/dataset/client_dataset.h"

#include "platform/dataset/dataset_impl.h"

#include <QString>

#include <algorithm>
#include <string_view>

// The cursor: moving over the rows in display order (the active index, the find filter) and Locate.
namespace Platform {
namespace {

bool isAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Matches text against a value; caseInsensitive folds every letter, accented ones too.
class ValueMatcher {
public:
    ValueMatcher(const std::string& value, bool caseInsensitive)
        : value_(value), caseInsensitive_(caseInsensitive), valueAscii_(isAscii(value)),
          valueQt_(QString::fromStdString(value))
    {
    }

    bool matches(std::string_view text) const
    {
        if (!caseInsensitive_)
            return text == value_;
        if (valueAscii_ && isAscii(text))
            return Detail::sameNameIgnoringCase(std::string(text), value_);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                   .compare(valueQt_, Qt::CaseInsensitive)
            == 0;
    }

private:
    std::string value_;
    bool caseInsensitive_;
    bool valueAscii_;
    QString valueQt_;
};

} // namespace

std::uint32_t TClientDataSet::Impl::rowIdAt(std::uint32_t position)
{
    if (filtered()) {
        ensureView();
        return view[position];
    }
    if (activeField < 0)
        return position;
    ensureOrder();
    return order[position];
}

std::int64_t TClientDataSet::Impl::currentPosition()
{
    if (currentRow < 0)
        return -1;
    if (filtered()) {
        ensureView();
        if (currentPos < 0) {
            const auto found = std::find(view.begin(), view.end(), static_cast<std::uint32_t>(currentRow));
            currentPos = found == view.end() ? -1 : found - view.begin();
        }
        return currentPos;
    }
    if (activeField < 0)
        return currentRow;
    ensureOrder();
    if (currentPos < 0) {
        const auto found = std::find(order.begin(), order.end(), static_cast<std::uint32_t>(currentRow));
        currentPos = found - order.begin();
    }
    return currentPos;
}

void TClientDataSet::Impl::moveTo(std::uint32_t position)
{
    currentRow = rowIdAt(position);
    currentPos = position;
}

void TClientDataSet::First()
{
    d_->requireBrowse();
    if (d_->shownCount() == 0) {
        d_->currentRow = Impl::noRow;
        d_->eof = true;
    } else {
        d_->moveTo(0);
        d_->eof = false;
    }
    d_->bof = true;
    d_->notifyScrolled();
}

void TClientDataSet::Last()
{
    d_->requireBrowse();
    if (d_->shownCount() == 0) {
        d_->currentRow = Impl::noRow;
        d_->bof = true;
    } else {
        d_->moveTo(d_->shownCount() - 1);
        d_->bof = false;
    }
    d_->eof = true;
    d_->notifyScrolled();
}

void TClientDataSet::Next()
{
    d_->requireBrowse();
    const std::int64_t position = d_->currentPosition();
    if (position < 0 || position + 1 >= d_->shownCount()) {
        d_->eof = true;
        d_->bof = d_->bof || d_->shownCount() == 0;
        return;
    }
    d_->moveTo(static_cast<std::uint32_t>(position + 1));
    d_->eof = d_->bof = false;
    d_->notifyScrolled();
}

void TClientDataSet::Prior()
{
    d_->requireBrowse();
    const std::int64_t position = d_->currentPosition();
    if (position <= 0) {
        d_->bof = true;
        d_->eof = d_->eof || d_->shownCount() == 0;
        return;
    }
    d_->moveTo(static_cast<std::uint32_t>(position - 1));
    d_->eof = d_->bof = false;
    d_->notifyScrolled();
}

bool TClientDataSet::Eof() const { return d_->eof; }
bool TClientDataSet::Bof() const { return d_->bof; }

int TClientDataSet::RecNo() const
{
    return static_cast<int>(d_->currentPosition() + 1);
}

void TClientDataSet::SetRecNo(int recNo)
{
    d_->requireBrowse();
    if (recNo < 1 || recNo > static_cast<int>(d_->shownCount()) || recNo == RecNo())
        return;
    d_->moveTo(static_cast<std::uint32_t>(recNo - 1));
    d_->eof = d_->bof = false;
    d_->notifyScrolled();
}

bool TClientDataSet::Locate(const std::string& field, const std::string& value, bool caseInsensitive)
{
    d_->requireBrowse();
    const int f = FieldByName(field).Index();
    const Detail::Column& column = d_->columns[static_cast<std::size_t>(f)];
    const ValueMatcher matcher(value, caseInsensitive);
    for (std::uint32_t position = 0; position < d_->shownCount(); ++position) {
        const std::uint32_t id = d_->rowIdAt(position);
        const bool match = column.type() == FieldType::String && !column.isNull(id)
            ? matcher.matches(column.text(id))
            : matcher.matches(d_->cellText(f, id));
        if (match) {
            d_->moveTo(position);
            d_->eof = d_->bof = false;
            d_->notifyScrolled();
            return true;
        }
    }
    return false;
}

} // namespace Platform
