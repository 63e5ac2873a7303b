// The stand-in host's memory of its command bars across restarts, as a real host keeps it per user
// in its registry: the item IDs of every command group it has seen, and the command tabs with
// their boxes. Kept in the JSON file --ui-state names.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tvx::hostserver {

// A command in a tab's box, by its group's user ID and its own, which outlive a session.
struct BoxEntry {
    std::int32_t groupId = 0;
    std::int32_t itemId = 0;

    friend bool operator==(const BoxEntry&, const BoxEntry&) = default;
};

struct KeptTab {
    std::int32_t docType = 0;
    std::wstring name;
    std::vector<std::vector<BoxEntry>> boxes;
};

struct UiState {
    std::map<std::int32_t, std::vector<std::int32_t>> groups; // group user ID -> its items' user IDs
    std::vector<KeptTab> tabs;
};

// Nothing remembered when the file does not exist yet; std::runtime_error for one that cannot be
// read or is not such a file.
UiState loadUiState(const std::wstring& path);
// Throws std::runtime_error when the file cannot be written.
void saveUiState(const UiState& state, const std::wstring& path);

} // namespace tvx::hostserver
