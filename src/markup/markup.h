#pragma once
// A small tree for XML- and HTML-like text. The station loader gives it a text, parses it,
// asks for one attribute's values on the elements reached by a path and drops it.
//
// Nodes live in a table indexed by id; the root is id 0 and new nodes take ids 1, 2, 3 ...
// in creation order. Children are linked newest-first: first_child is the most recently
// inserted child and next_sibling walks towards older ones. Text is never a node: it sits
// in lead_text, value and tail_text of the surrounding nodes. Not thread-safe.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// "No node": empty links and the failure result of operations returning an id.
constexpr int32_t MARKUP_NONE = -125;

struct MARKUP_ATTR {
    int32_t index = 0;  // position in the owner's attribute list
    int32_t owner = MARKUP_NONE;
    std::string name;   // trimmed
    std::string value;  // as written, without quotes
};

struct MARKUP_NODE {
    int32_t child_count = 0;
    int32_t first_child = MARKUP_NONE;  // newest child
    int32_t parent = MARKUP_NONE;
    int32_t next_sibling = MARKUP_NONE;  // the sibling inserted just before this one
    int32_t prev_sibling = MARKUP_NONE;  // the sibling inserted just after this one
    int32_t id = 0;
    int32_t parent_id = 0;
    std::string lead_text;
    std::string name;  // as written: "POINT", "!--", "!DOCTYPE", "?xml" ...
    std::string value;
    std::string tail_text;
    std::vector<MARKUP_ATTR> attributes;
};

class MARKUP_DOC {
public:
    MARKUP_DOC();  // a store with the root only, empty text
    ~MARKUP_DOC();
    MARKUP_DOC(const MARKUP_DOC &) = delete;
    MARKUP_DOC &operator=(const MARKUP_DOC &) = delete;

    // The handle-style pair; a document may equally live on the stack.
    static MARKUP_DOC *create();
    static void destroy(MARKUP_DOC *doc);

    // Unwraps CDATA sections and stores the text without parsing it.
    // 1, or MARKUP_NONE when the text cannot be stored (the previous text stays).
    int set_text(const std::string &text);
    // Rebuilds the tree from the stored text. Never rejects input; always 0.
    int parse();
    // Back to the root only.
    void clear();

    // New child of parent, linked as its first child: the new id, or -1 for a bad parent.
    int32_t create_element(int32_t parent, const std::string &name);
    // Ignored for the root and for bad ids. Duplicate names are kept.
    void add_attribute(int32_t node, const std::string &name, const std::string &value);
    // Children newest-first: their count, or MARKUP_NONE (and an empty list) when there
    // are none or the id is bad.
    int32_t children(int32_t node, std::vector<int32_t> &out) const;
    // Values of attribute `attribute` (exact name) on the elements reached by `path`
    // ("/A/B": every B child of the last top-level A), in document order. Returns the count.
    int32_t select_attribute_values(const std::string &path, const std::string &attribute,
                                    std::vector<std::string> &out) const;

    // Node by id, or nullptr.
    MARKUP_NODE *node(int32_t id);
    const MARKUP_NODE *node(int32_t id) const;
    // Nodes created since the store was made, the root included.
    int32_t node_count() const { return node_count_; }
    const std::string &text() const { return text_; }

private:
    std::vector<std::unique_ptr<MARKUP_NODE>> nodes_;
    int32_t node_count_ = 0;
    std::string text_;
};

// Kinds follow from the name (ASCII case ignored except for "?").
bool markup_is_comment(const std::string &name);
bool markup_is_processing_instruction(const std::string &name);
bool markup_is_doctype(const std::string &name);
bool markup_is_script(const std::string &name);
