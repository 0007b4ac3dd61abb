#pragma once

#include "platform/dataset/client_dataset.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// Directory listings to rows of the file table, and the size column's text.
namespace Cli_Vop31600 {

// A size that is not a number: the loading stops at that line.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ListingEntry {
    std::string modification;
    std::string kind;
    bool isDirectory = false;
    std::string sizeText;
    std::string name;
};

// Splits one MS-DOS style line ("01-15-24  03:45PM  <DIR>  XMLFTP") into its parts. Never fails:
// fields end only at a space, and a malformed line still gives some entry.
void DadosLine(std::string line, std::string& modification, std::string& kind, bool& isDirectory,
               std::string& sizeText, std::string& name);

// A line of a Unix `ls -l` listing (it starts with a permission field such as "drwxr-xr-x") is read
// as such; every other line as DadosLine reads it.
ListingEntry parseListingLine(const std::string& line);
// The same into an entry reused from line to line, which then allocates almost nothing.
void parseListingLineInto(const std::string& line, ListingEntry& entry);
// True for the "total N" line that starts a Unix listing.
bool isListingTotalLine(const std::string& line);
// True when the line starts with a Unix permission field.
bool isUnixListingLine(const std::string& line);

// The names that get no row in any directory (compared ignoring the case of a to z).
bool isHiddenListingName(const std::string& name);
// Whether a listing line gives a row: not a "total" line, a hidden name, nor "." or ".." of a Unix
// listing. entry holds the line's parts when it does.
bool listingRowOf(const std::string& line, ListingEntry& entry);

// The file table's six fields in order, and the design index cdsArquivosIndex1 on DSNOME
// ascending made active. The size field shows sizeCellText.
void defineFileTableFields(Platform::TClientDataSet& cdsArquivos);

// Replaces the table's rows by the listing's (the table is created first if inactive). Hidden
// names get no row but their lines still count for IDARQUIVO, as does a skipped "total" line. A
// size that is not a number throws EConvertError; the rows posted before that line stay.
// betweenChunks, when given, runs after every chunk of lines (it may throw to stop the loading).
void CarregaGrid(Platform::TClientDataSet& cdsArquivos, const std::vector<std::string>& lines,
                 const std::function<void()>& betweenChunks = {});

// The size text as a number: digits with an optional sign, else EConvertError with a message for
// the user.
double sizeTextToNumber(const std::string& sizeText);

// "1,5 KB", "1024 Bytes", "5 GB": the count in units of 1024, at most two decimals.
std::string ConvertBytes(std::int64_t bytes, const std::string& decimalSeparator);
// With the decimal separator of the user's locale.
std::string ConvertBytes(std::int64_t bytes);

// The size cell: "1,5 KB (1536Bytes)", or "" for a null size.
std::string sizeCellText(const Platform::TField& field);

// The sort a click on a grid column title makes: index "idx"+field, ascending on the first click,
// then the reverse of its last direction. Returns the index now active.
std::string toggleSortIndex(Platform::TClientDataSet& cdsArquivos, const std::string& fieldName);

// Which of Delete and Download the current row allows.
struct RowCommands {
    bool deleteEnabled = false;
    bool downloadEnabled = false;
};
RowCommands rowCommandsFor(Platform::TClientDataSet& cdsArquivos);

} // namespace Cli_Vop31600
