#pragma once
// Compact one-line picture of a markup tree for table-driven tests:
//   name[attr=value;...] l:'lead' v:'value' t:'tail'{children}, next sibling ...
// Children appear in document order; line feeds show as \n, empty texts are left out.

#include "markup.h"

#include <QByteArray>

inline QByteArray markup_escape(const std::string &s)
{
    return QByteArray::fromStdString(s).replace("\n", "\\n").replace("\r", "\\r");
}

inline QByteArray markup_dump(const MARKUP_DOC &doc, int32_t id = 0)
{
    std::vector<int32_t> kids;
    doc.children(id, kids);
    QByteArray out;
    for (auto k = kids.rbegin(); k != kids.rend(); ++k) {
        const MARKUP_NODE *n = doc.node(*k);
        if (!out.isEmpty())
            out += ", ";
        out += QByteArray::fromStdString(n->name);
        if (!n->attributes.empty()) {
            out += '[';
            for (size_t i = 0; i < n->attributes.size(); ++i) {
                if (i)
                    out += ';';
                out += markup_escape(n->attributes[i].name) + '='
                       + markup_escape(n->attributes[i].value);
            }
            out += ']';
        }
        if (!n->lead_text.empty())
            out += " l:'" + markup_escape(n->lead_text) + "'";
        if (!n->value.empty())
            out += " v:'" + markup_escape(n->value) + "'";
        if (!n->tail_text.empty())
            out += " t:'" + markup_escape(n->tail_text) + "'";
        if (n->child_count > 0)
            out += '{' + markup_dump(doc, *k) + '}';
    }
    return out;
}
