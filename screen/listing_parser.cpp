#include "screen/listing_parser.h"

#include <QLocale>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace Cli_Vop31600 {
namespace {

bool isBlankCode(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view dropLeading(std::string_view rest)
{
    std::size_t i = 0;
    while (i < rest.size() && isBlankCode(rest[i]))
        ++i;
    return rest.substr(i);
}

// The text up to the first space; without a space the field is empty and the rest stays whole.
std::string_view takeField(std::string_view& rest)
{
    const auto space = rest.find(' ');
    if (space == std::string_view::npos)
        return {};
    const std::string_view field = rest.substr(0, space);
    rest.remove_prefix(space + 1);
    return field;
}

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    return true;
}

// The extension without its dot, upper-cased; empty when a backslash or colon follows the last dot.
std::string kindOfName(std::string_view name)
{
    const auto mark = name.find_last_of(".\\:");
    if (mark == std::string_view::npos || name[mark] != '.')
        return {};
    std::string kind(name.substr(mark + 1));
    for (char& c : kind)
        c = upperAscii(c);
    return kind;
}

const std::string directoryMarker = "<DIR>";

// Fills entry by assignment, so that one entry reused over a listing allocates almost nothing.
void splitMsDosLine(std::string_view rest, ListingEntry& entry)
{
    rest = dropLeading(rest);
    const std::string_view date = takeField(rest);
    rest = dropLeading(rest);
    const std::string_view time = takeField(rest);
    rest = dropLeading(rest);
    const std::string_view marker = takeField(rest);
    entry.isDirectory = marker == directoryMarker;
    entry.name.assign(dropLeading(rest));
    if (entry.isDirectory) {
        entry.kind = directoryMarker;
        entry.sizeText.clear();
    } else {
        entry.sizeText.assign(marker);
        entry.kind = kindOfName(entry.name);
    }
    entry.modification.assign(date).append(1, ' ').append(time);
}

bool isDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool isMonthName(std::string_view word)
{
    static const std::array<std::string_view, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (std::string_view month : months)
        if (equalsIgnoringAsciiCase(word, month))
            return true;
    return false;
}

bool isDayOfMonth(std::string_view word) { return isDigits(word) && word.size() <= 2; }

// "15:45" or a year "2024".
bool isTimeOrYear(std::string_view word)
{
    const auto colon = word.find(':');
    if (colon == std::string_view::npos)
        return isDigits(word) && word.size() == 4;
    return colon >= 1 && colon <= 2 && isDigits(word.substr(0, colon)) && word.size() - colon == 3
        && isDigits(word.substr(colon + 1));
}

struct Word {
    std::size_t start;
    std::string_view text;
};

// "drwxr-xr-x  2 owner group  4096 Jan 15 15:45 name": the date is found by its shape, so a
// listing without the group column reads the same. Returns false when the line does not fit.
bool splitUnixLine(std::string_view line, ListingEntry& entry)
{
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size() && words.size() < 9) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            words.push_back({start, line.substr(start, i - start)});
    }
    for (std::size_t m = 2; m + 2 < words.size(); ++m) {
        if (!isMonthName(words[m].text) || !isDayOfMonth(words[m + 1].text) || !isTimeOrYear(words[m + 2].text)
            || !isDigits(words[m - 1].text))
            continue;
        const Word& time = words[m + 2];
        const std::size_t timeEnd = time.start + time.text.size();
        std::string_view name = dropLeading(line.substr(timeEnd));
        if (line[0] == 'l') {
            const auto arrow = name.find(" -> ");
            if (arrow != std::string_view::npos)
                name = name.substr(0, arrow);
        }
        if (name.empty())
            return false;
        entry.modification.assign(line.substr(words[m].start, timeEnd - words[m].start));
        entry.name.assign(name);
        entry.isDirectory = line[0] == 'd';
        if (entry.isDirectory) {
            entry.kind = directoryMarker;
            entry.sizeText.clear();
        } else {
            entry.kind = kindOfName(name);
            entry.sizeText.assign(words[m - 1].text);
        }
        return true;
    }
    return false;
}

constexpr std::array<const char*, 9> unitNames{"Bytes", "KB", "MB", "GB", "TB", "PB", "EB", "ZB", "YB"};

std::int64_t saturatingInteger(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775807.0)
        return std::numeric_limits<std::int64_t>::max();
    if (value <= -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return std::llround(value);
}

} // namespace

void DadosLine(std::string line, std::string& modification, std::string& kind, bool& isDirectory,
               std::string& sizeText, std::string& name)
{
    ListingEntry entry;
    splitMsDosLine(line, entry);
    modification = std::move(entry.modification);
    kind = std::move(entry.kind);
    isDirectory = entry.isDirectory;
    sizeText = std::move(entry.sizeText);
    name = std::move(entry.name);
}

bool isUnixListingLine(const std::string& line)
{
    static constexpr std::string_view types = "-dlbcps";
    static constexpr std::string_view permissions = "rwxsStTl-";
    if (line.size() < 10 || types.find(line[0]) == std::string_view::npos)
        return false;
    for (std::size_t i = 1; i < 10; ++i)
        if (permissions.find(line[i]) == std::string_view::npos)
            return false;
    if (line.size() == 10 || line[10] == ' ')
        return true;
    // An ACL or extended-attribute mark may follow the permissions.
    return (line[10] == '+' || line[10] == '@' || line[10] == '.') && (line.size() == 11 || line[11] == ' ');
}

bool isListingTotalLine(const std::string& line)
{
    std::string_view rest = dropLeading(line);
    if (rest.substr(0, 6) != "total ")
        return false;
    rest = dropLeading(rest.substr(6));
    while (!rest.empty() && isBlankCode(rest.back()))
        rest.remove_suffix(1);
    return isDigits(rest);
}

void parseListingLineInto(const std::string& line, ListingEntry& entry)
{
    if (!(isUnixListingLine(line) && splitUnixLine(line, entry)))
        splitMsDosLine(line, entry);
}

ListingEntry parseListingLine(const std::string& line)
{
    ListingEntry entry;
    parseListingLineInto(line, entry);
    return entry;
}

bool isHiddenListingName(const std::string& name)
{
    return equalsIgnoringAsciiCase(name, "EXEFTP") || equalsIgnoringAsciiCase(name, "RELFTP");
}

bool listingRowOf(const std::string& line, ListingEntry& entry)
{
    if (isListingTotalLine(line))
        return false;
    parseListingLineInto(line, entry);
    const std::string& name = entry.name;
    return !isHiddenListingName(name) && !((name == "." || name == "..") && isUnixListingLine(line));
}

void defineFileTableFields(Platform::TClientDataSet& cdsArquivos)
{
    using Platform::FieldType;
    cdsArquivos.AddField("DSDTHRMODIFICACAO", FieldType::String, 50, "Modificado");
    cdsArquivos.AddField("DSTIPO", FieldType::String, 50, "Tipo");
    cdsArquivos.AddField("BOISDIRECTORY", FieldType::Boolean, 0, {}, false);
    cdsArquivos.AddField("DSNOME", FieldType::String, 255, "Nome");
    cdsArquivos.AddField("IDARQUIVO", FieldType::Integer, 0, {}, false);
    cdsArquivos.AddField("FLTAMANHO", FieldType::Float, 0, "Tamanho").OnGetText = sizeCellText;
    cdsArquivos.AddIndex("cdsArquivosIndex1", "DSNOME", false);
    cdsArquivos.SetIndexName("cdsArquivosIndex1");
}

double sizeTextToNumber(const std::string& sizeText)
{
    std::string_view digits = sizeText;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    double value = 0;
    if (isDigits(digits)
        && std::from_chars(digits.data(), digits.data() + digits.size(), value).ec == std::errc())
        return sizeText.front() == '-' ? -value : value;
    throw EConvertError("'" + sizeText + "' não é um valor de ponto flutuante válido");
}

std::string ConvertBytes(std::int64_t bytes, const std::string& decimalSeparator)
{
    const long double count = static_cast<long double>(bytes);
    std::size_t k = 0;
    while (k + 1 < unitNames.size() && count > std::pow(1024.0L, static_cast<long double>(k + 1)))
        ++k;
    if (k == 0)
        return std::to_string(bytes) + " " + unitNames[0];
    // Past the first unit the quotient lies in (1, 1024]: two decimals fit easily.
    const long double quotient = count / std::pow(1024.0L, static_cast<long double>(k));
    const auto hundredths = static_cast<std::int64_t>(std::llround(quotient * 100));
    std::string text = std::to_string(hundredths / 100);
    const auto fraction = hundredths % 100;
    if (fraction != 0) {
        text += decimalSeparator;
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0)
            text += static_cast<char>('0' + fraction % 10);
    }
    return text + " " + unitNames[k];
}

std::string ConvertBytes(std::int64_t bytes)
{
    return ConvertBytes(bytes, QLocale::system().decimalPoint().toStdString());
}

std::string sizeCellText(const Platform::TField& field)
{
    const std::string digits = field.AsString();
    if (digits.empty())
        return {};
    double value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return ConvertBytes(saturatingInteger(value)) + " (" + digits + "Bytes)";
}

std::string toggleSortIndex(Platform::TClientDataSet& cdsArquivos, const std::string& fieldName)
{
    const std::string indexName = "idx" + fieldName;
    const std::vector<std::string> existing = cdsArquivos.IndexNames();
    cdsArquivos.SetIndexName({});
    bool descending = false;
    for (const std::string& name : existing) {
        if (equalsIgnoringAsciiCase(name, indexName)) {
            descending = !cdsArquivos.IndexDescending(name);
            cdsArquivos.DeleteIndex(name);
            break;
        }
    }
    cdsArquivos.AddIndex(indexName, fieldName, descending);
    cdsArquivos.SetIndexName(indexName);
    return indexName;
}

RowCommands rowCommandsFor(Platform::TClientDataSet& cdsArquivos)
{
    if (!cdsArquivos.Active() || cdsArquivos.IsEmpty())
        return {};
    return {true, !cdsArquivos.FieldByName("BOISDIRECTORY").AsBoolean()};
}

} // namespace Cli_Vop31600
