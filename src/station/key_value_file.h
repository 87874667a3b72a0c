#pragma once
// Bracketed key/value text files: "[key]= [value]" pairs, read in text mode (CR LF as LF).
// A value ends at its first "]" and is URL-decoded when read ("+" is a blank, "%hh" a byte);
// values are written back without encoding. Keys compare ASCII-case-insensitively and the
// first matching pair wins. Strings are bytes in the file's code page.

#include <string>
#include <utility>
#include <vector>

class KEY_VALUE_FILE {
public:
    // Stores the path and loads the file when the path names an existing regular file.
    explicit KEY_VALUE_FILE(const std::string &path = std::string());

    // Clears everything, reads the file in text mode and parses it.
    void kv_load();
    // Replaces the text and pairs by those of `text` (no file access).
    void kv_parse(const std::string &text);
    // Value of the first pair whose key matches; false and an empty value otherwise.
    bool kv_get(const std::string &key, std::string &value) const;
    // Appends a pair in memory; an existing key is not replaced.
    void kv_set(const std::string &key, const std::string &value);
    // Writes every pair as "[key]= [value]" lines (CR LF) when there is a path and a pair.
    // True when the file was written.
    bool kv_save() const;

    const std::string &path() const { return path_; }
    const std::string &text() const { return text_; }
    int pair_count() const { return int(pairs_.size()); }
    const std::vector<std::pair<std::string, std::string>> &pairs() const { return pairs_; }

private:
    std::string path_;
    std::string text_;
    std::vector<std::pair<std::string, std::string>> pairs_;
};

// Byte span [begin, end) of the raw (not yet decoded) value of the first pair whose key
// matches, in a text already converted to LF line ends. False when no pair matches.
bool kv_find_raw_value(const std::string &text, const std::string &key, size_t &begin, size_t &end);
