#include "documentshape.h"

#include <algorithm>

namespace
{
// Bytes and UTF-16 units alike: markup characters are ASCII in both.
template <typename Unit> class Scanner
{
public:
    Scanner(const Unit *text, qsizetype size) : m_text(text), m_size(size) {}

    DocumentShape::Fault run()
    {
        using DocumentShape::Fault;
        int depth = 0;
        int nodes = 0;
        bool inText = false;
        qsizetype i = 0;
        while (i < m_size) {
            if (at(i) != '<') {
                // One text node per run between two pieces of markup.
                if (!inText && !isSpace(at(i))) {
                    inText = true;
                    ++nodes;
                }
                ++i;
                continue;
            }
            inText = false;
            if (startsWith(i, "<!--")) {
                i = skipPast(i + 4, "-->");
                ++nodes;
            } else if (startsWith(i, "<![CDATA[")) {
                i = skipPast(i + 9, "]]>");
                ++nodes;
            } else if (startsWith(i, "<?")) {
                i = skipPast(i + 2, "?>");
                ++nodes;
            } else if (startsWith(i, "<!")) {
                i = skipDeclaration(i + 2);
            } else if (startsWith(i, "</")) {
                --depth;
                i = skipPast(i + 2, ">");
            } else {
                int attributes = 0;
                bool empty = false;
                i = skipStartTag(i + 1, &attributes, &empty);
                nodes += 1 + attributes;
                if (attributes > DocumentShape::MaxAttributes)
                    return Fault::Attributes;
                if (!empty && ++depth > DocumentShape::MaxDepth)
                    return Fault::Nesting;
            }
            if (nodes > DocumentShape::MaxNodes)
                return Fault::Nodes;
        }
        return nodes > DocumentShape::MaxNodes ? Fault::Nodes : Fault::None;
    }

private:
    char16_t at(qsizetype i) const { return char16_t(m_text[i]); }
    static bool isSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    bool startsWith(qsizetype i, const char *marker) const
    {
        for (; *marker; ++marker, ++i)
            if (i >= m_size || at(i) != char16_t(uchar(*marker)))
                return false;
        return true;
    }

    // The index after the first `marker` from `from` on; the end when there is none.
    qsizetype skipPast(qsizetype from, const char *marker) const
    {
        for (qsizetype i = from; i < m_size; ++i)
            if (startsWith(i, marker))
                return i + qsizetype(qstrlen(marker));
        return m_size;
    }

    // A document type or other declaration: quoted texts and an internal
    // subset in brackets may hold '>'.
    qsizetype skipDeclaration(qsizetype i) const
    {
        char16_t quote = 0;
        int brackets = 0;
        for (; i < m_size; ++i) {
            const char16_t c = at(i);
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                ++brackets;
            } else if (c == ']') {
                brackets = std::max(0, brackets - 1);
            } else if (c == '>' && brackets == 0) {
                return i + 1;
            }
        }
        return m_size;
    }

    // Every '=' outside a quoted value starts an attribute.
    qsizetype skipStartTag(qsizetype i, int *attributes, bool *empty) const
    {
        char16_t quote = 0;
        char16_t last = 0;
        for (; i < m_size; ++i) {
            const char16_t c = at(i);
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                ++*attributes;
            } else if (c == '>') {
                *empty = last == '/';
                return i + 1;
            }
            if (!isSpace(c))
                last = c;
        }
        return m_size;
    }

    const Unit *m_text;
    qsizetype m_size;
};
} // namespace

namespace DocumentShape
{
Fault scan(QByteArrayView text)
{
    return Scanner<uchar>(reinterpret_cast<const uchar *>(text.data()), text.size()).run();
}

Fault scan(QStringView text)
{
    return Scanner<char16_t>(text.utf16(), text.size()).run();
}
} // namespace DocumentShape
