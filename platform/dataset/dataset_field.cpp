#include "platform/dataset/client_dataset.h"

#include "platform/dataset/dataset_impl.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace Platform {
namespace {

std::string trimmedOf(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::int32_t parseInteger(const std::string& text)
{
    std::string digits = trimmedOf(text);
    if (!digits.empty() && digits.front() == '+')
        digits.erase(0, 1);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        throw std::invalid_argument("'" + text + "' não é um valor inteiro válido");
    return value;
}

double parseFloat(const std::string& text)
{
    std::string number = trimmedOf(text);
    if (!number.empty() && number.front() == '+')
        number.erase(0, 1);
    for (char& c : number)
        if (c == ',')
            c = '.';
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || error != std::errc() || end != number.data() + number.size())
        throw std::invalid_argument("'" + text + "' não é um valor de ponto flutuante válido");
    return value;
}

bool parseBoolean(const std::string& text)
{
    std::string word = trimmedOf(text);
    for (char& c : word)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    if (word == "true" || word == "t" || word == "1")
        return true;
    if (word == "false" || word == "f" || word == "0")
        return false;
    throw std::invalid_argument("'" + text + "' não é um valor lógico válido");
}

std::int32_t integerOf(double value)
{
    const double rounded = std::round(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max()))
        throw std::out_of_range("valor fora da faixa de um inteiro de 32 bits");
    return static_cast<std::int32_t>(rounded);
}

} // namespace

std::string formatFloatText(double value)
{
    char buffer[400];
    std::to_chars_result result{};
    if (std::isfinite(value) && value == std::trunc(value)) {
        if (value == 0)
            return "0";
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0);
    } else {
        result = std::to_chars(buffer, buffer + sizeof buffer, value);
    }
    return std::string(buffer, result.ptr);
}

TField::TField(Key, TClientDataSet& owner, int index, std::string name, FieldType type, int size,
               std::string displayLabel, bool visible)
    : owner_(&owner), index_(index), name_(std::move(name)), type_(type), size_(size),
      displayLabel_(std::move(displayLabel)), visible_(visible)
{
}

const std::string& TField::FieldName() const { return name_; }
FieldType TField::DataType() const { return type_; }
int TField::Size() const { return size_; }
const std::string& TField::DisplayLabel() const { return displayLabel_.empty() ? name_ : displayLabel_; }
bool TField::Visible() const { return visible_; }
int TField::Index() const { return index_; }
TClientDataSet& TField::DataSet() const { return *owner_; }

bool TField::IsNull() const
{
    const auto& d = *owner_->d_;
    return d.cellIsNull(index_, d.readRow());
}

std::string TField::AsString() const
{
    const auto& d = *owner_->d_;
    return d.cellText(index_, d.readRow());
}

std::int32_t TField::AsInteger() const
{
    const auto& d = *owner_->d_;
    const std::int64_t row = d.readRow();
    if (d.cellIsNull(index_, row))
        return 0;
    if (type_ == FieldType::String)
        return parseInteger(d.cellText(index_, row));
    return integerOf(d.cellNumber(index_, row));
}

double TField::AsFloat() const
{
    const auto& d = *owner_->d_;
    const std::int64_t row = d.readRow();
    if (d.cellIsNull(index_, row))
        return 0;
    if (type_ == FieldType::String)
        return parseFloat(d.cellText(index_, row));
    return d.cellNumber(index_, row);
}

bool TField::AsBoolean() const
{
    const auto& d = *owner_->d_;
    const std::int64_t row = d.readRow();
    if (d.cellIsNull(index_, row))
        return false;
    if (type_ == FieldType::String)
        return parseBoolean(d.cellText(index_, row));
    return d.cellNumber(index_, row) != 0;
}

void TField::SetAsString(const std::string& value)
{
    auto& d = *owner_->d_;
    if (type_ == FieldType::String) {
        d.write(index_, false, Detail::cutToCharacters(value, size_), 0);
        return;
    }
    if (trimmedOf(value).empty()) {
        d.write(index_, true, {}, 0);
        return;
    }
    switch (type_) {
    case FieldType::Integer: d.write(index_, false, {}, parseInteger(value)); return;
    case FieldType::Float: d.write(index_, false, {}, parseFloat(value)); return;
    case FieldType::Boolean: d.write(index_, false, {}, parseBoolean(value) ? 1 : 0); return;
    case FieldType::String: return;
    }
}

void TField::SetAsInteger(std::int32_t value)
{
    if (type_ == FieldType::String)
        SetAsString(std::to_string(value));
    else
        owner_->d_->write(index_, false, {}, type_ == FieldType::Boolean ? (value != 0 ? 1 : 0) : value);
}

void TField::SetAsFloat(double value)
{
    switch (type_) {
    case FieldType::String: SetAsString(formatFloatText(value)); return;
    case FieldType::Integer: owner_->d_->write(index_, false, {}, integerOf(value)); return;
    case FieldType::Float: owner_->d_->write(index_, false, {}, value); return;
    case FieldType::Boolean: owner_->d_->write(index_, false, {}, value != 0 ? 1 : 0); return;
    }
}

void TField::SetAsBoolean(bool value)
{
    if (type_ == FieldType::String)
        SetAsString(value ? "True" : "False");
    else
        owner_->d_->write(index_, false, {}, value ? 1 : 0);
}

void TField::Clear() { owner_->d_->write(index_, true, {}, 0); }

std::string TField::DisplayText() const
{
    if (OnGetText)
        return OnGetText(*this);
    return AsString();
}

} // namespace Platform
