#include "key_value_file.h"

#include "utils.h"

namespace {

struct RawPair {
    size_t key_begin, key_end, value_begin, value_end;
};

// Calls on_pair for every pair in file order, empty keys included; stops when it returns false.
template <typename F>
void scan_pairs(const std::string &text, F on_pair)
{
    size_t pos = 0;
    for (;;) {
        const size_t open_key = text.find('[', pos);
        if (open_key == std::string::npos)
            return;
        const size_t key_end = text.find("]=", open_key + 1);
        if (key_end == std::string::npos)
            return;
        const size_t open_value = text.find('[', key_end + 2);
        if (open_value == std::string::npos)
            return;
        const size_t value_end = text.find(']', open_value + 1);
        if (value_end == std::string::npos)
            return;
        if (!on_pair(RawPair{open_key + 1, key_end, open_value + 1, value_end}))
            return;
        pos = value_end + 1;
    }
}

}  // namespace

KEY_VALUE_FILE::KEY_VALUE_FILE(const std::string &path) : path_(path)
{
    if (is_regular_file(path_))
        kv_load();
}

void KEY_VALUE_FILE::kv_load()
{
    text_.clear();
    pairs_.clear();
    std::string text;
    read_text_file(path_, text);
    kv_parse(text);
}

void KEY_VALUE_FILE::kv_parse(const std::string &text)
{
    text_ = text;
    pairs_.clear();
    scan_pairs(text_, [this](const RawPair &p) {
        if (p.key_end > p.key_begin) {
            std::string value = text_.substr(p.value_begin, p.value_end - p.value_begin);
            if (!value.empty())
                url_decode(value);
            pairs_.emplace_back(text_.substr(p.key_begin, p.key_end - p.key_begin), value);
        }
        return true;
    });
}

bool KEY_VALUE_FILE::kv_get(const std::string &key, std::string &value) const
{
    value.clear();
    if (key.empty())
        return false;
    for (const auto &p : pairs_) {
        if (str_equal_nocase(p.first, key)) {
            value = p.second;
            return true;
        }
    }
    return false;
}

void KEY_VALUE_FILE::kv_set(const std::string &key, const std::string &value)
{
    pairs_.emplace_back(key, value);
}

bool KEY_VALUE_FILE::kv_save() const
{
    if (path_.empty() || pairs_.empty())
        return false;
    std::string text;
    for (const auto &p : pairs_)
        text += "[" + p.first + "]= [" + p.second + "]\n";
    return write_text_file(text, path_, FILE_PERMISSION_DEFAULT) > 0;
}

bool kv_find_raw_value(const std::string &text, const std::string &key, size_t &begin, size_t &end)
{
    bool found = false;
    scan_pairs(text, [&](const RawPair &p) {
        if (p.key_end > p.key_begin
            && str_equal_nocase(text.substr(p.key_begin, p.key_end - p.key_begin), key)) {
            begin = p.value_begin;
            end = p.value_end;
            found = true;
        }
        return !found;
    });
    return found;
}
