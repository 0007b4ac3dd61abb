// Feeds arbitrary bytes to the listing parser as one line and as a whole listing, then sorts and
// reads the loaded table the way the grid does, checking the invariants a listing must keep.
#include "screen/listing_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::size_t characters(const std::string& text)
{
    std::size_t count = 0;
    for (char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string modification, kind, sizeText, name;
    bool isDirectory = false;
    Cli_Vop31600::DadosLine(input, modification, kind, isDirectory, sizeText, name);
    check(modification.find(' ') != std::string::npos);
    check(!isDirectory || (kind == "<DIR>" && sizeText.empty()));
    check(name.size() <= input.size());
    (void)Cli_Vop31600::parseListingLine(input);

    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= input.size(); ++i) {
        if (i == input.size() || input[i] == '\n') {
            lines.push_back(input.substr(start, i - start));
            start = i + 1;
        }
    }

    Platform::TClientDataSet cds;
    Cli_Vop31600::defineFileTableFields(cds);
    try {
        Cli_Vop31600::CarregaGrid(cds, lines);
    } catch (const Cli_Vop31600::EConvertError&) {
        // A size that is not a number stops the load; the rows before it must still read back.
    }
    check(cds.RecordCount() <= static_cast<int>(lines.size()));
    for (const char* field : {"DSNOME", "FLTAMANHO", "DSDTHRMODIFICACAO", "DSTIPO", "DSNOME"}) {
        const std::string index = Cli_Vop31600::toggleSortIndex(cds, field);
        const bool byName = index == "idxDSNOME";
        const bool descending = cds.IndexDescending(index);
        std::string previousName;
        int rows = 0;
        for (cds.First(); !cds.Eof(); cds.Next(), ++rows) {
            check(characters(cds.FieldByName("DSNOME").AsString()) <= 255);
            check(characters(cds.FieldByName("DSTIPO").AsString()) <= 50);
            const int id = cds.FieldByName("IDARQUIVO").AsInteger();
            check(id >= 0 && id < static_cast<int>(lines.size()));
            check(!Cli_Vop31600::isHiddenListingName(cds.FieldByName("DSNOME").AsString()));
            (void)cds.FieldByName("FLTAMANHO").DisplayText();
            const std::string currentName = cds.FieldByName("DSNOME").AsString();
            if (byName && rows > 0)
                check(descending ? previousName >= currentName : previousName <= currentName);
            previousName = currentName;
        }
        check(rows == cds.RecordCount());
    }
    (void)Cli_Vop31600::ConvertBytes(static_cast<std::int64_t>(size) * 1000003, ",");
    return 0;
}
