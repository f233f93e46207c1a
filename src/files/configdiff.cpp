#include "files/configdiff.h"

#include <algorithm>
#include <map>
#include <utility>

namespace lumeq {

namespace {

// One setting of a summary with its place.
struct Entry {
    std::string setting;
    std::string key;
    std::string value;
};

std::vector<Entry> entries(const SummarySection& section) {
    std::vector<Entry> out;
    for (const SummaryItem& item : section.items)
        out.push_back({section.title + " / " + item.label, section.key + "." + item.key, item.value});
    if (section.hasTable) {
        const auto& columns = section.table.columns;
        for (std::size_t r = 0; r < section.table.rows.size(); ++r) {
            const auto& row = section.table.rows[r];
            const std::string step = std::to_string(r + 1);
            for (std::size_t c = 0; c < columns.size(); ++c) {
                out.push_back({section.title + " / Step " + step + " / " + columns[c].label,
                               section.key + ".steps." + step + "." + columns[c].key,
                               c < row.size() ? row[c] : std::string()});
            }
        }
    }
    return out;
}

const SummarySection* findSection(const std::vector<SummarySection>& sections, const std::string& key) {
    const auto found =
        std::find_if(sections.begin(), sections.end(), [&key](const SummarySection& s) { return s.key == key; });
    return found == sections.end() ? nullptr : &*found;
}

// The entries of two versions of one section compared by their place.
void diffEntries(const std::vector<Entry>& a, const std::vector<Entry>& b, std::vector<SettingDifference>& out) {
    std::map<std::string, const Entry*> inB;
    for (const Entry& entry : b)
        inB.emplace(entry.setting, &entry);
    for (const Entry& entry : a) {
        const auto found = inB.find(entry.setting);
        const std::string other = found == inB.end() ? std::string(kNotShownText) : found->second->value;
        if (other != entry.value)
            out.push_back({entry.setting, entry.key, entry.value, other});
        if (found != inB.end())
            inB.erase(found);
    }
    for (const Entry& entry : b) {
        if (inB.count(entry.setting) != 0)
            out.push_back({entry.setting, entry.key, kNotShownText, entry.value});
    }
}

} // namespace

std::vector<SettingDifference> diffSummaries(const std::vector<SummarySection>& a,
                                             const std::vector<SummarySection>& b) {
    std::vector<SettingDifference> out;
    for (const SummarySection& section : a) {
        const SummarySection* other = findSection(b, section.key);
        diffEntries(entries(section), other ? entries(*other) : std::vector<Entry>(), out);
    }
    for (const SummarySection& section : b) {
        if (!findSection(a, section.key))
            diffEntries({}, entries(section), out);
    }
    return out;
}

ConfigurationDiff diffConfigurations(const Image& a, const Image& b) {
    ConfigurationDiff diff;
    diff.settings = diffSummaries(describeConfiguration(a), describeConfiguration(b));
    if (diff.settings.empty()) {
        for (std::size_t i = 0; i < kConfigSize; ++i) {
            const std::uint8_t byteA = i < a.size() ? a[i] : 0xFF;
            const std::uint8_t byteB = i < b.size() ? b[i] : 0xFF;
            if (byteA != byteB)
                diff.otherBytes.push_back(i);
        }
    }
    return diff;
}

} // namespace lumeq
