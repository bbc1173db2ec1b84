#pragma once
// A temporary catalogue for the keyword, group and node-tree tests: nodes and records are
// added with bound values, so any text (quotes included) goes in as written, and a
// record's stored tag text is read back exactly.

#include "store/catalogue.h"
#include "support/state.h"
#include "support/catalogue.h"
#include "tree/nodes.h"

#include <QString>

struct TaggedCatalogue : TempCatalogue {
    ~TaggedCatalogue() { S().nodes.map.clear(); }

    // A node row; the node map is reloaded.
    void Node(int id, const QString& name, const QString& tags, int parent) {
        korvel::Statement st(S().catalogue, QStringLiteral("insert into main2(id,name,findkey,fid) values(?,?,?,?)"));
        st.Bind(1, id);
        st.Bind(2, name);
        st.Bind(3, tags);
        st.Bind(4, parent);
        st.Step();
        ReloadNodes(S().nodes, S().catalogue);
    }
    // A record with this stored tag text (a null text for a null QString).
    void Record(int id, const QString& findkey) {
        korvel::Statement st(S().catalogue, QStringLiteral("insert into main(id,name,findkey,dir) values(?,?,?,?)"));
        st.Bind(1, id);
        st.Bind(2, QStringLiteral("f%1.txt").arg(id));
        st.Bind(3, findkey.isNull() ? QVariant() : QVariant(findkey));
        st.Bind(4, QStringLiteral("/d/f%1.txt").arg(id));
        st.Step();
    }
    // The stored tag text of a record, exactly.
    static QString Findkey(int id) {
        korvel::Statement st(S().catalogue, QStringLiteral("select findkey from main where id=?"));
        st.Bind(1, id);
        return st.Step() ? korvel::TextOrEmpty(st.Column(0)) : QStringLiteral("<none>");
    }
};
