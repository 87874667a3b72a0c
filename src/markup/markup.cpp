#include "markup.h"

#include "utils.h"

#include <algorithm>
#include <new>

namespace {

bool starts_with_nocase(const std::string &s, const std::string &prefix)
{
    return s.size() >= prefix.size() && str_equal_nocase(s.substr(0, prefix.size()), prefix);
}

// Replaces every complete "<![CDATA[" ... "]]>" pair by its inner text.
std::string unwrap_cdata(const std::string &text)
{
    static const std::string open = "<![CDATA[";
    static const std::string close = "]]>";
    std::string out;
    size_t from = 0;
    for (;;) {
        size_t a = text.find(open, from);
        if (a == std::string::npos)
            break;
        size_t b = text.find(close, a + open.size());
        if (b == std::string::npos)
            break;
        out.append(text, from, a - from);
        out.append(text, a + open.size(), b - a - open.size());
        from = b + close.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

std::vector<std::string> split_path(const std::string &path)
{
    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > from)
            parts.push_back(path.substr(from, slash - from));
        from = slash + 1;
    }
    return parts;
}

}  // namespace

bool markup_is_comment(const std::string &name) { return starts_with_nocase(name, "!--"); }

bool markup_is_processing_instruction(const std::string &name)
{
    return !name.empty() && name[0] == '?';
}

bool markup_is_doctype(const std::string &name) { return str_equal_nocase(name, "!DOCTYPE"); }

bool markup_is_script(const std::string &name) { return str_equal_nocase(name, "script"); }

MARKUP_DOC::MARKUP_DOC() { clear(); }

MARKUP_DOC::~MARKUP_DOC() = default;

MARKUP_DOC *MARKUP_DOC::create() { return new (std::nothrow) MARKUP_DOC(); }

void MARKUP_DOC::destroy(MARKUP_DOC *doc) { delete doc; }

int MARKUP_DOC::set_text(const std::string &text)
{
    try {
        text_ = unwrap_cdata(text);
    } catch (const std::bad_alloc &) {
        return MARKUP_NONE;
    }
    return 1;
}

void MARKUP_DOC::clear()
{
    nodes_.clear();
    auto root = std::make_unique<MARKUP_NODE>();
    root->name = "ROOT";
    nodes_.push_back(std::move(root));
    node_count_ = 1;
}

MARKUP_NODE *MARKUP_DOC::node(int32_t id)
{
    if (id < 0 || size_t(id) >= nodes_.size())
        return nullptr;
    return nodes_[size_t(id)].get();
}

const MARKUP_NODE *MARKUP_DOC::node(int32_t id) const
{
    if (id < 0 || size_t(id) >= nodes_.size())
        return nullptr;
    return nodes_[size_t(id)].get();
}

int32_t MARKUP_DOC::create_element(int32_t parent, const std::string &name)
{
    MARKUP_NODE *p = node(parent);
    if (!p || nodes_.size() >= size_t(INT32_MAX))
        return -1;
    const auto id = int32_t(nodes_.size());
    auto n = std::make_unique<MARKUP_NODE>();
    n->id = id;
    n->parent_id = parent;
    n->name = name;
    n->parent = parent;
    n->next_sibling = p->first_child;
    if (MARKUP_NODE *older = node(p->first_child))
        older->prev_sibling = id;
    p->first_child = id;
    p->child_count++;
    nodes_.push_back(std::move(n));
    node_count_++;
    return id;
}

void MARKUP_DOC::add_attribute(int32_t id, const std::string &name, const std::string &value)
{
    MARKUP_NODE *n = id == 0 ? nullptr : node(id);
    if (!n)
        return;
    MARKUP_ATTR a;
    a.index = int32_t(n->attributes.size());
    a.owner = id;
    a.name = name;
    str_trim(a.name);
    a.value = value;
    n->attributes.push_back(std::move(a));
}

int32_t MARKUP_DOC::children(int32_t id, std::vector<int32_t> &out) const
{
    out.clear();
    const MARKUP_NODE *n = node(id);
    if (!n)
        return MARKUP_NONE;
    // The bound guards against a damaged chain; links are only ever made by create_element.
    for (int32_t c = n->first_child; c != MARKUP_NONE && out.size() < nodes_.size();) {
        const MARKUP_NODE *child = node(c);
        if (!child)
            break;
        out.push_back(c);
        c = child->next_sibling;
    }
    return out.empty() ? MARKUP_NONE : int32_t(out.size());
}

int32_t MARKUP_DOC::select_attribute_values(const std::string &path, const std::string &attribute,
                                            std::vector<std::string> &out) const
{
    out.clear();
    const std::vector<std::string> parts = split_path(path);
    if (parts.empty())
        return 0;

    std::vector<int32_t> kids;
    int32_t current = 0;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        // Newest-first, so the first match is the last one in document order.
        children(current, kids);
        auto hit = std::find_if(kids.begin(), kids.end(),
                                [&](int32_t k) { return node(k)->name == parts[i]; });
        if (hit == kids.end())
            return 0;
        current = *hit;
    }

    children(current, kids);
    for (auto k = kids.rbegin(); k != kids.rend(); ++k) {
        const MARKUP_NODE *n = node(*k);
        if (n->name != parts.back())
            continue;
        for (const MARKUP_ATTR &a : n->attributes)
            if (a.name == attribute)
                out.push_back(a.value);
    }
    return int32_t(out.size());
}
