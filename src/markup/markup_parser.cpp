// Forgiving single-pass scanner: it never rejects input; on anything it cannot continue
// with it stops and keeps what it has built. Values and texts are kept byte for byte.

#include "markup.h"

#include "utils.h"

#include <utility>

namespace {

bool is_separator(char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

bool is_void_name(const std::string &name)
{
    static const char *const names[] = {"AREA", "br",    "DD",   "DL",   "DT",     "frame", "HR",
                                        "IMG",  "INPUT", "LINK", "META", "option", "P"};
    for (const char *v : names)
        if (str_equal_nocase(name, v))
            return true;
    return false;
}

char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

class Scanner {
public:
    Scanner(MARKUP_DOC &doc, const std::string &text) : doc_(doc), text_(text) {}
    void run();

private:
    bool matches_at(size_t at, const std::string &s) const;
    bool scan_to_string(const std::string &s, std::string &out);
    bool scan_to_any(const char *set, std::string &out);
    bool closing_tag(const std::string &name);
    bool special_tag(const std::string &name);
    bool element(const std::string &name, const std::string &lead, bool self_closing);
    void attributes(int32_t id);
    bool tag_end_at(size_t at) const;
    int32_t top() const { return open_.back().first; }

    MARKUP_DOC &doc_;
    const std::string &text_;
    size_t pos_ = 0;
    char ch_ = 0;
    // Open elements; the root entry at the bottom is never popped.
    std::vector<std::pair<int32_t, std::string>> open_{{0, std::string()}};
};

bool Scanner::matches_at(size_t at, const std::string &s) const
{
    if (at > text_.size() || s.size() > text_.size() - at)
        return false;
    for (size_t k = 0; k < s.size(); ++k)
        if (upper_ascii(text_[at + k]) != upper_ascii(s[k]))
            return false;
    return true;
}

// Appends to out until s starts at pos (true, pos on s) or s can no longer occur (false).
bool Scanner::scan_to_string(const std::string &s, std::string &out)
{
    while (pos_ < text_.size() && s.size() <= text_.size() - pos_) {
        if (matches_at(pos_, s))
            return true;
        out += text_[pos_++];
    }
    return false;
}

// Appends to out until a character of set (true, ch_ = it) or the end of the text (false).
bool Scanner::scan_to_any(const char *set, std::string &out)
{
    for (; pos_ < text_.size(); ++pos_) {
        for (const char *c = set; *c; ++c) {
            if (text_[pos_] == *c) {
                ch_ = *c;
                return true;
            }
        }
        out += text_[pos_];
    }
    return false;
}

void Scanner::run()
{
    if (text_.empty())
        return;
    for (;;) {
        std::string pending, name;
        if (!scan_to_string("<", pending))
            return;
        if (++pos_ >= text_.size())
            return;
        if (!scan_to_any(" \r\n\t>", name))
            return;
        bool self_closing = false;
        if (!name.empty() && name.back() == '/') {
            self_closing = true;
            name.pop_back();
        }
        if (name.empty()) {  // "< ", "<>", "</>"
            ++pos_;
            continue;
        }
        bool go_on;
        if (name[0] == '/')
            go_on = closing_tag(name.substr(1));
        else if (markup_is_script(name) || markup_is_comment(name)
                 || markup_is_processing_instruction(name) || markup_is_doctype(name))
            go_on = special_tag(name);
        else
            go_on = element(name, pending, self_closing);
        if (!go_on)
            return;
    }
}

// An end tag closes the nearest open element of exactly that name; one that matches
// nothing only gives its following text to the element on top.
bool Scanner::closing_tag(const std::string &name)
{
    std::string skipped, tail;
    if (!scan_to_string(">", skipped))
        return false;
    if (++pos_ >= text_.size())
        return false;
    const bool more = scan_to_string("<", tail);
    size_t hit = 0;
    if (!name.empty()) {
        for (size_t i = open_.size(); i-- > 1;) {
            if (open_[i].second == name) {
                hit = i;
                break;
            }
        }
    }
    if (hit > 0) {
        doc_.node(open_[hit].first)->tail_text = tail;
        open_.resize(hit);
    } else {
        doc_.node(top())->tail_text = tail;
    }
    return more;
}

// Comments, processing instructions, DOCTYPE and script keep their whole body as value.
bool Scanner::special_tag(const std::string &name)
{
    std::string end = ">";
    if (markup_is_script(name))
        end = "</script>";
    else if (markup_is_comment(name))
        end = "-->";
    else if (markup_is_processing_instruction(name))
        end = "?>";
    std::string body;
    if (!scan_to_string(end, body))
        return false;
    const int32_t id = doc_.create_element(top(), name);
    if (id < 0)
        return false;
    MARKUP_NODE *n = doc_.node(id);
    n->lead_text = "\n";
    n->value = body;
    n->tail_text = "\n";
    pos_ += end.size();
    return true;
}

bool Scanner::element(const std::string &name, const std::string &lead, bool self_closing)
{
    const int32_t id = doc_.create_element(top(), name);
    if (id < 0)
        return false;
    doc_.node(id)->lead_text = lead;
    open_.emplace_back(id, name);

    if (ch_ != '>') {
        attributes(id);
        if (pos_ < text_.size() && pos_ > 0 && text_[pos_ - 1] == '/')
            self_closing = true;
    }
    if (++pos_ >= text_.size())
        return false;

    MARKUP_NODE *n = doc_.node(id);
    bool more;
    if (self_closing) {
        open_.pop_back();
        more = scan_to_string("<", n->tail_text);
    } else {
        more = scan_to_string("<", n->value);
        if (is_void_name(name))
            open_.pop_back();
    }
    return more;
}

// ">" or "/>" outside quotes.
bool Scanner::tag_end_at(size_t at) const
{
    return text_[at] == '>' || (text_[at] == '/' && at + 1 < text_.size() && text_[at + 1] == '>');
}

// Reads attributes up to the tag's ">", leaving pos on it (or at the end of the text).
void Scanner::attributes(int32_t id)
{
    enum { None, Named, Assigned } state = None;
    std::string name;
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == '>')
            break;
        if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '>') {
            ++pos_;
            break;
        }
        if (is_separator(c)) {
            ++pos_;
            continue;
        }
        if (c == '=') {
            // A stray "=" before any name is skipped; repeated ones are separators.
            if (state == Named)
                state = Assigned;
            ++pos_;
            continue;
        }
        if (state == None) {
            name.clear();
            while (pos_ < text_.size() && !is_separator(text_[pos_]) && text_[pos_] != '='
                   && !tag_end_at(pos_))
                name += text_[pos_++];
            state = Named;
            continue;
        }
        if (state == Named) {  // characters between a name and its "=" do not count
            ++pos_;
            continue;
        }
        if (c == '"' || c == '\'') {
            const size_t close = text_.find(c, pos_ + 1);
            if (close == std::string::npos) {  // the text ends inside the value
                pos_ = text_.size();
                return;
            }
            doc_.add_attribute(id, name, text_.substr(pos_ + 1, close - pos_ - 1));
            pos_ = close + 1;
            state = None;
            continue;
        }
        // Unquoted: up to a separator, "=" or ">"; a "/" right before ">" stays in it.
        std::string word;
        while (pos_ < text_.size() && !is_separator(text_[pos_]) && text_[pos_] != '='
               && text_[pos_] != '>')
            word += text_[pos_++];
        size_t look = pos_;
        while (look < text_.size()
               && (text_[look] == ' ' || text_[look] == '\r' || text_[look] == '\n'))
            ++look;
        if (look < text_.size() && text_[look] == '=') {
            // The word names the next attribute; this one had no value.
            doc_.add_attribute(id, name, std::string());
            name = word;
            state = Named;
            pos_ = look;
            continue;
        }
        doc_.add_attribute(id, name, word);
        state = None;
    }
    if (state == Assigned)
        doc_.add_attribute(id, name, std::string());
}

}  // namespace

int MARKUP_DOC::parse()
{
    clear();
    Scanner(*this, text_).run();
    return 0;
}
