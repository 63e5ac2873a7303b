#include "tools/hostserver/ui_state.h"

#include "drawing/sim/utf8.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tvx::hostserver {

namespace {

using nlohmann::json;

constexpr int kFormat = 1;

} // namespace

UiState loadUiState(const std::wstring& path) {
    UiState state;
    if (!std::filesystem::exists(path)) {
        return state;
    }
    std::ifstream in{std::filesystem::path(path)};
    try {
        const json file = json::parse(in);
        if (file.at("format").get<int>() != kFormat) {
            throw std::runtime_error("not format 1");
        }
        for (const json& group : file.at("groups")) {
            state.groups[group.at("userId").get<std::int32_t>()] = group.at("items").get<std::vector<std::int32_t>>();
        }
        for (const json& tab : file.at("tabs")) {
            KeptTab kept{tab.at("docType").get<std::int32_t>(), sim::fromUtf8(tab.at("name").get<std::string>()), {}};
            for (const json& box : tab.at("boxes")) {
                auto& entries = kept.boxes.emplace_back();
                for (const json& entry : box) {
                    entries.push_back({entry.at(0).get<std::int32_t>(), entry.at(1).get<std::int32_t>()});
                }
            }
            state.tabs.push_back(std::move(kept));
        }
    } catch (const std::exception& e) {
        throw std::runtime_error("the user interface state " + sim::toUtf8(path) + " cannot be read: " + e.what());
    }
    return state;
}

void saveUiState(const UiState& state, const std::wstring& path) {
    json groups = json::array();
    for (const auto& [userId, items] : state.groups) {
        groups.push_back({{"userId", userId}, {"items", items}});
    }
    json tabs = json::array();
    for (const KeptTab& tab : state.tabs) {
        json boxes = json::array();
        for (const auto& box : tab.boxes) {
            json entries = json::array();
            for (const BoxEntry& entry : box) {
                entries.push_back({entry.groupId, entry.itemId});
            }
            boxes.push_back(std::move(entries));
        }
        tabs.push_back({{"docType", tab.docType}, {"name", sim::toUtf8(tab.name)}, {"boxes", std::move(boxes)}});
    }
    std::ofstream out{std::filesystem::path(path), std::ios::binary | std::ios::trunc};
    out << json{{"format", kFormat}, {"groups", std::move(groups)}, {"tabs", std::move(tabs)}}.dump(2) << '\n';
    if (!out) {
        throw std::runtime_error("the user interface state " + sim::toUtf8(path) + " cannot be written");
    }
}

} // namespace tvx::hostserver
