#include "utils.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <locale.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Writes all bytes, retrying short writes; false on any error.
bool write_all(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

template <bool NoCase>
int find_impl(const std::string &s, const std::string &pattern, int start)
{
    if (pattern.empty() || start < 0 || size_t(start) >= s.size())
        return -1;
    if (pattern.size() > s.size() - size_t(start))
        return -1;
    const size_t last = s.size() - pattern.size();
    for (size_t i = size_t(start); i <= last; ++i) {
        size_t k = 0;
        while (
            k < pattern.size()
            && (NoCase ? upper_ascii(s[i + k]) == upper_ascii(pattern[k]) : s[i + k] == pattern[k]))
            ++k;
        if (k == pattern.size())
            return int(i);
    }
    return -1;
}

}  // namespace

int file_open_read(const std::string &path, int flags, int permission)
{
    if (path.empty())
        return -1;
    // There is no binary flag on this platform: every descriptor is already binary.
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode_t(permission) | S_IRUSR | S_IWUSR);
    return fd < 0 ? -1 : fd;
}

int file_open_write(const std::string &path, int permission)
{
    if (path.empty())
        return -1;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                    mode_t(permission) | S_IRUSR | S_IWUSR);
    return fd < 0 ? -1 : fd;
}

int file_read(int fd, void *buffer, int size)
{
    if (fd < 0 || size < 0 || (!buffer && size > 0))
        return -1;
    ssize_t n = ::read(fd, buffer, size_t(size));
    return n < 0 ? -1 : int(n);
}

int file_write(int fd, const void *data, int length)
{
    if (fd < 0 || length < 0 || (!data && length > 0))
        return -1;
    ssize_t n = ::write(fd, data, size_t(length));
    return n < 0 ? -1 : int(n);
}

long file_seek(int fd, long offset, int origin)
{
    if (fd < 0)
        return -1;
    off_t r = ::lseek(fd, off_t(offset), origin);
    return r < 0 ? -1 : long(r);
}

void file_close(int fd)
{
    if (fd > 0)
        ::close(fd);
}

long file_size(const std::string &path)
{
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return long(st.st_size);
}

long file_size_fd(int fd)
{
    if (fd < 0)
        return -1;
    long size = file_seek(fd, 0, SEEK_END);
    file_seek(fd, 0, SEEK_SET);
    return size;
}

bool is_regular_file(const std::string &path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {

// Closes its descriptor on every way out of the scope, an exception included.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : fd_(fd) {}
    ~ScopedFd() { file_close(fd_); }
    ScopedFd(const ScopedFd &) = delete;
    ScopedFd &operator=(const ScopedFd &) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

}  // namespace

long read_file_to_string(std::string path, std::string &out)
{
    out.clear();
    str_trim(path);
    if (path.empty())
        return -1;
    const ScopedFd fd(file_open_read(path, 0, 0));
    if (!fd.valid())
        return -1;
    long size = file_size(path);
    if (size < 0)
        return -1;
    try {
        std::string data(size_t(size), '\0');
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::read(fd.get(), &data[done], data.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        if (done != data.size())
            return -1;
        out.append(data);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return size;
}

long read_text_file(const std::string &path, std::string &out)
{
    const ScopedFd fd(file_open_read(path, 0, 0));
    if (!fd.valid())
        return 0;
    std::string raw;
    try {
        char buf[4096];
        for (;;) {
            ssize_t n = ::read(fd.get(), buf, sizeof buf);
            if (n <= 0)
                break;
            raw.append(buf, size_t(n));
        }
        std::string text = text_crlf_to_lf(raw);
        out.append(text);
        return long(text.size());
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

long write_text_file(const std::string &text, const std::string &path, int permission)
{
    // The file is created (and emptied) even when there is nothing to write.
    if (!ScopedFd(file_open_write(path, permission)).valid())
        return -1;
    if (text.empty())
        return -1;
    const ScopedFd fd(file_open_write(path, permission));
    if (!fd.valid())
        return -1;
    bool ok = false;
    try {
        ok = write_all(fd.get(), text_lf_to_crlf(text));
    } catch (const std::bad_alloc &) {
    }
    return ok ? long(text.size()) : -1;
}

int write_string_to_file(const std::string &text, const std::string &path, int permission)
{
    const ScopedFd fd(file_open_write(path, permission));
    if (!fd.valid())
        return -1;
    const bool ok = write_all(fd.get(), text);
    return ok && !text.empty() ? 1 : -1;
}

int str_find(const std::string &s, const std::string &pattern, int start)
{
    return find_impl<false>(s, pattern, start);
}

int str_find_nocase(const std::string &s, const std::string &pattern, int start)
{
    return find_impl<true>(s, pattern, start);
}

int str_find_all(const std::string &s, const std::string &pattern, std::vector<int> &out)
{
    out.clear();
    int pos = str_find(s, pattern, 0);
    while (pos >= 0) {
        out.push_back(pos);
        pos = str_find(s, pattern, pos + int(pattern.size()));
    }
    return int(out.size());
}

int str_replace_all(std::string &s, const std::string &pattern, const std::string &replacement)
{
    if (pattern.empty())
        return 0;
    std::string result;
    int count = 0;
    size_t from = 0;
    for (;;) {
        size_t at = s.find(pattern, from);
        if (at == std::string::npos)
            break;
        result.append(s, from, at - from);
        result.append(replacement);
        from = at + pattern.size();
        ++count;
    }
    if (count > 0) {
        result.append(s, from, std::string::npos);
        s.swap(result);
    }
    return count;
}

int str_trim(std::string &s)
{
    size_t begin = 0;
    while (begin < s.size() && static_cast<unsigned char>(s[begin]) <= 0x20)
        ++begin;
    size_t end = s.size();
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 0x20)
        --end;
    int removed = int(s.size() - (end - begin));
    s = s.substr(begin, end - begin);
    return removed;
}

bool str_equal_nocase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper_ascii(a[i]) != upper_ascii(b[i]))
            return false;
    return true;
}

void url_decode(std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (s.size() - i > 2) {
                int hi = hex_value(s[i + 1]);
                int lo = hex_value(s[i + 2]);
                out += (hi >= 0 && lo >= 0) ? char(hi * 16 + lo) : '%';
                i += 2;
            }
            // A "%" with fewer than two characters after it is dropped.
        } else {
            out += c;
        }
    }
    s.swap(out);
}

std::string int_to_string(int32_t value) { return std::to_string(value); }

int32_t str_to_int(const std::string &s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > int64_t(INT32_MAX) + 1)
            value = int64_t(INT32_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    return int32_t(value);
}

double str_to_float(const std::string &s)
{
    // The GUI application sets the user's locale; station files always use ".".
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    double d = c_locale ? strtod_l(s.c_str(), nullptr, c_locale) : std::atof(s.c_str());
    if (std::isfinite(d) && std::fabs(d) > double(FLT_MAX))
        return std::copysign(double(HUGE_VALF), d);
    return double(static_cast<float>(d));
}

std::string text_crlf_to_lf(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
            continue;
        out += s[i];
    }
    return out;
}

std::string text_lf_to_crlf(const std::string &s)
{
    std::string out;
    out.reserve(s.size() + s.size() / 16);
    for (char c : s) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}
