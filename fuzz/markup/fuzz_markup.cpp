// Markup parser and path queries on arbitrary bytes. The first line of the input, when it
// starts with "/", is also used as a query path. Checks the tree's own invariants.

#include "markup.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

void require(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void check_tree(const MARKUP_DOC &doc)
{
    require(doc.node_count() >= 1);
    require(doc.node(0) && doc.node(0)->name == "ROOT" && doc.node(0)->attributes.empty());
    std::vector<int32_t> kids;
    int32_t linked = 0;
    for (int32_t id = 0; id < doc.node_count(); ++id) {
        const MARKUP_NODE *n = doc.node(id);
        require(n && n->id == id);
        const int32_t count = doc.children(id, kids);
        require(count == (n->child_count ? n->child_count : MARKUP_NONE));
        for (int32_t k : kids) {
            require(k > id && doc.node(k)->parent == id);
            ++linked;
        }
        for (size_t i = 0; i < n->attributes.size(); ++i)
            require(n->attributes[i].index == int32_t(i) && n->attributes[i].owner == id);
    }
    require(linked == doc.node_count() - 1);  // every node but the root has one parent
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    MARKUP_DOC doc;
    doc.set_text(text);
    doc.parse();
    check_tree(doc);

    std::vector<std::string> out;
    static const char *const paths[] = {"/POINT", "/DIAPAZON", "/a/b", "//a//", "/", ""};
    for (const char *path : paths) {
        for (const char *attr : {"Freq", "Adress", "shag_setki", "x", ""}) {
            const int32_t n = doc.select_attribute_values(path, attr, out);
            require(n == int32_t(out.size()));
        }
    }
    if (!text.empty() && text[0] == '/') {
        const std::string path = text.substr(0, text.find('\n'));
        doc.select_attribute_values(path, "x", out);
    }

    doc.clear();
    require(doc.node_count() == 1);
    return 0;
}
