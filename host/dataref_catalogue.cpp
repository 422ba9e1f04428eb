// The simulator's catalogue of data references (simulator_datarefs.tsv): every name it
// publishes, with its types, array size and writability, all values zero.
#include "host/host_state.h"

#include <XPLMDataAccess.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

namespace korvane::host {
namespace {

struct CatalogueType {
    XPLMDataTypeID types = xplmType_Unknown;
    std::size_t items = 0;  // for arrays and byte data
};

// One type word: "int", "float", "double", or "int[N]", "float[N]", "byte[N]".
// The simulator's doubles answer float reads too.
bool ReadTypeWord(std::string_view word, CatalogueType& type) {
    std::size_t items = 0;
    if (std::size_t open = word.find('['); open != std::string_view::npos) {
        if (word.back() != ']') return false;
        const char* first = word.data() + open + 1;
        const char* last = word.data() + word.size() - 1;
        auto [end, error] = std::from_chars(first, last, items);
        if (error != std::errc{} || end != last || items == 0) return false;
        word = word.substr(0, open);
        if (word == "int") type.types |= xplmType_IntArray;
        else if (word == "float") type.types |= xplmType_FloatArray;
        else if (word == "byte") type.types |= xplmType_Data;
        else return false;
        type.items = items;
        return true;
    }
    if (word == "int") type.types |= xplmType_Int;
    else if (word == "float") type.types |= xplmType_Float;
    else if (word == "double") type.types |= xplmType_Double | xplmType_Float;
    else return false;
    return true;
}

// "TYPE" or "TYPE|TYPE".
bool ReadType(std::string_view text, CatalogueType& type) {
    for (std::size_t bar; (bar = text.find('|')) != std::string_view::npos; text.remove_prefix(bar + 1))
        if (!ReadTypeWord(text.substr(0, bar), type)) return false;
    return ReadTypeWord(text, type);
}

// Splits off the text up to the next tab.
std::string_view Field(std::string_view& line) {
    std::size_t tab = line.find('\t');
    std::string_view field = line.substr(0, tab);
    line.remove_prefix(tab == std::string_view::npos ? line.size() : tab + 1);
    return field;
}

void AddEntry(std::string_view name, const CatalogueType& type, bool writable) {
    DataRefRecord& record = DataRefNamed(std::string(name));
    record.types = type.types;
    record.writable = writable;
    if (type.types & xplmType_IntArray) record.ints.assign(type.items, 0);
    if (type.types & xplmType_FloatArray) record.floats.assign(type.items, 0.0f);
    if (type.types & xplmType_Data) record.bytes.assign(type.items, 0);
}

}  // namespace

bool LoadDataRefCatalogue(const std::filesystem::path& file, std::string* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read the data reference catalogue " + file.string();
        return false;
    }
    std::ostringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    State().dataRefs.reserve(State().dataRefs.size() + 4096);
    std::string skipped;
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const std::string_view name = Field(line);
        const std::string_view type = Field(line);
        const std::string_view writable = Field(line);
        CatalogueType parsed;
        if (name.empty() || !ReadType(type, parsed) || (writable != "y" && writable != "n")) {
            skipped += " " + std::to_string(number);
            continue;
        }
        AddEntry(name, parsed, writable == "y");
    }
    if (error) *error = skipped.empty() ? "" : "skipped unreadable lines" + skipped + " of " + file.string();
    return true;
}

void AddSimulatorDataRefCatalogue() {
    // An installed host may be pointed at its copy of the catalogue.
    const char* overridden = std::getenv("KORVANE_DATAREFS");
    std::string error;
    LoadDataRefCatalogue(overridden && *overridden ? overridden : KORVANE_DATAREFS_PATH, &error);
    if (!error.empty()) std::cerr << "korvane host: " << error << "\n";
}

}  // namespace korvane::host
