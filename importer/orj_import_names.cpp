#include "importer/orj_import_names.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace orj {

// Length of text cut to at most limit bytes, backing off a partial UTF-8 character.
static size_t cut_length(const std::string &text, size_t limit)
{
    if (text.size() <= limit) return text.size();
    size_t length = limit;
    while (length > 0 && ((unsigned char)text[length] & 0xC0) == 0x80) length--;
    return length;
}

std::string clean_object_name(const char *raw, const char *fallback)
{
    std::string name = raw ? raw : "";
    for (char &c : name)
        if (c == '\n' || c == '\r') c = '_';
    name.resize(cut_length(name, MAX_OBJECT_NAME));
    if (name.empty()) name = fallback;
    return name;
}

int import_camera_key(int camera_index)
{
    if (camera_index < 0 || camera_index >= CAMERA_SLOTS) return -1;
    if (camera_index == 0) return FIRST_CAMERA;
    return camera_index <= FIRST_CAMERA ? camera_index - 1 : camera_index;
}

const char *camera_slot_name(int camera_index)
{
    int key = import_camera_key(camera_index);
    return key < 0 ? nullptr : camera_names[key];
}

// Names given out so far, and for each wanted name the next suffix worth
// trying: a run of duplicates then costs one probe each, not a restart at ".2".
struct NameClaims {
    std::unordered_set<std::string> taken;
    std::unordered_map<std::string, unsigned long> next_suffix;
};

static std::string claim_name(const std::string &wanted, NameClaims *claims)
{
    if (claims->taken.insert(wanted).second) return wanted;
    unsigned long &n = claims->next_suffix.emplace(wanted, 2).first->second;
    for (;; n++) {
        std::string suffix = "." + std::to_string(n);
        std::string name = wanted.substr(0, cut_length(wanted, MAX_OBJECT_NAME - suffix.size())) + suffix;
        if (claims->taken.insert(name).second) {
            n++;
            return name;
        }
    }
}

std::vector<std::string> make_unique_names(const std::vector<std::string> &wanted, const std::vector<int> &rank)
{
    std::vector<size_t> order(wanted.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = i;
    auto rank_of = [&](size_t i) { return i < rank.size() ? rank[i] : 0; };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rank_of(a) < rank_of(b); });
    NameClaims claims;
    claims.taken.insert("none");
    std::vector<std::string> names(wanted.size());
    for (size_t i : order) names[i] = claim_name(wanted[i], &claims);
    return names;
}

}  // namespace orj
