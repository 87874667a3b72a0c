#pragma once
// File, string and number helpers over byte strings (the program's strings are CP1251 bytes;
// nothing here decodes characters). No state. Failures are returned, never thrown.
// "Case-insensitive" always folds only the ASCII letters a..z.

#include <cstdint>
#include <string>
#include <vector>

// Permission value the program passes when it creates files (rw-rw-r--).
constexpr int FILE_PERMISSION_DEFAULT = 436;

// --- File descriptors: -1 means failure. ---

// Opens with the given flags (0 = read-only); permission is combined with read+write.
int file_open_read(const std::string &path, int flags = 0, int permission = 0);
// Opens write-only, creating or truncating the file.
int file_open_write(const std::string &path, int permission = FILE_PERMISSION_DEFAULT);
int file_read(int fd, void *buffer, int size);
int file_write(int fd, const void *data, int length);
// origin is SEEK_SET, SEEK_CUR or SEEK_END.
long file_seek(int fd, long offset, int origin);
// Closes only descriptors above 0.
void file_close(int fd);
// -1 for an empty path, a missing path or anything but a regular file.
long file_size(const std::string &path);
// Seeks to the end to learn the size, then back to the start.
long file_size_fd(int fd);
bool is_regular_file(const std::string &path);

// Whole file in binary mode; clears out first. The path is trimmed before use.
// Returns the size, or -1 if the path is empty or any step fails.
long read_file_to_string(std::string path, std::string &out);
// Appends the file read in text mode (CR LF becomes LF); returns the characters appended,
// 0 when the file cannot be opened.
long read_text_file(const std::string &path, std::string &out);
// Creates or truncates the file, then writes the text with LF as CR LF. Returns the number
// of text characters written, or -1 for an empty path, a file that cannot be created,
// or an empty text (the file is then left empty).
long write_text_file(const std::string &text, const std::string &path,
                     int permission = FILE_PERMISSION_DEFAULT);
// Binary write. 1 when the text was non-empty and written, -1 otherwise (an empty text
// still creates or truncates the file).
int write_string_to_file(const std::string &text, const std::string &path,
                         int permission = FILE_PERMISSION_DEFAULT);

// --- Strings: 0-based positions, -1 when not found. ---

// -1 when start is outside the string, the pattern does not fit in the rest, or is empty.
int str_find(const std::string &s, const std::string &pattern, int start);
// Positions of all non-overlapping occurrences, left to right; returns their count.
int str_find_all(const std::string &s, const std::string &pattern, std::vector<int> &out);
// Replaces all non-overlapping occurrences in place; returns the number replaced.
int str_replace_all(std::string &s, const std::string &pattern, const std::string &replacement);
// Removes leading and trailing bytes <= 0x20 in place; returns the number removed.
int str_trim(std::string &s);
int str_find_nocase(const std::string &s, const std::string &pattern, int start);
bool str_equal_nocase(const std::string &a, const std::string &b);
// "+" -> blank, "%hh" -> byte, "%" + two non-hex -> "%", a "%" with fewer than two
// characters after it is dropped.
void url_decode(std::string &s);

// --- Numbers. ---

std::string int_to_string(int32_t value);
// atoi rules: leading white space, optional sign, digits; 0 when none. Saturates at the
// 32-bit limits instead of overflowing.
int32_t str_to_int(const std::string &s);
// atof rules with "." as the decimal point whatever the locale, rounded to single precision.
double str_to_float(const std::string &s);

// Text-mode conversions used by the text file helpers.
std::string text_crlf_to_lf(const std::string &s);
std::string text_lf_to_crlf(const std::string &s);
