#include "xml_document.h"

#include <algorithm>
#include <cstring>

namespace xml {

namespace {

using Tables = rapidxml::internal::lookup_tables<0>;

bool Space(char c)
{
    return Tables::lookup_whitespace[(unsigned char)c] != 0;
}

bool NameChar(char c)
{
    return Tables::lookup_node_name[(unsigned char)c] != 0;
}

bool AttributeNameChar(char c)
{
    return Tables::lookup_attribute_name[(unsigned char)c] != 0;
}

// Moves p past the first occurrence of end; false when the text ends first.
bool SkipPast(const char*& p, const char* end)
{
    const char* found = std::strstr(p, end);
    if (found == nullptr)
        return false;
    p = found + std::strlen(end);
    return true;
}

int LineAt(const std::string& text, size_t offset)
{
    return 1 + (int)std::count(text.begin(), text.begin() + (long)std::min(offset, text.size()), '\n');
}

} // namespace

// This walk takes markup exactly as rapidxml's parse does with the flags used below: the
// same character tables for names and white space, and the same skips for declarations and
// processing instructions ("?>"), comments ("-->"), CDATA ("]]>"), DOCTYPE (to '>', with
// bracketed parts) and other "<!" markup (to '>'). Where the parse would stop with an error,
// the walk stops too, so the depth it answers is the depth the parse would reach.
int Nesting(const char* p, int limit, int* line)
{
    int depth = 0, deepest = 0, lines = 1;
    *line = 0;
    const char* counted = p; // line breaks before this are in lines
    if ((unsigned char)p[0] == 0xEF && (unsigned char)p[1] == 0xBB && (unsigned char)p[2] == 0xBF)
        p += 3;
    for (;;) {
        if (depth == 0) {
            while (Space(*p))
                ++p;
            if (*p != '<')
                return deepest; // the end, or text outside the root: rapidxml stops there
        } else {
            p = std::strchr(p, '<');
            if (p == nullptr)
                return deepest;
        }
        ++p; // past '<'
        if (*p == '/') {
            if (depth == 0)
                return deepest;
            ++p;
            while (NameChar(*p))
                ++p;
            while (Space(*p))
                ++p;
            if (*p != '>')
                return deepest;
            ++p;
            --depth;
            continue;
        }
        if (*p == '?') {
            if (!SkipPast(p, "?>"))
                return deepest;
            continue;
        }
        if (*p == '!') {
            if (p[1] == '-' && p[2] == '-') {
                p += 3;
                if (!SkipPast(p, "-->"))
                    return deepest;
            } else if (std::strncmp(p, "![CDATA[", 8) == 0) {
                p += 8;
                if (!SkipPast(p, "]]>"))
                    return deepest;
            } else if (std::strncmp(p, "!DOCTYPE", 8) == 0 && Space(p[8])) {
                p += 9;
                while (*p != '>') {
                    if (*p == '\0')
                        return deepest;
                    if (*p == '[') {
                        ++p;
                        for (int brackets = 1; brackets > 0; ++p) {
                            if (*p == '\0')
                                return deepest;
                            brackets += *p == '[' ? 1 : *p == ']' ? -1 : 0;
                        }
                    } else {
                        ++p;
                    }
                }
                ++p;
            } else {
                p = std::strchr(p, '>');
                if (p == nullptr)
                    return deepest;
                ++p;
            }
            continue;
        }
        // An element: its name, its attributes, then "/>" or '>' and its contents.
        if (!NameChar(*p))
            return deepest;
        while (NameChar(*p))
            ++p;
        while (Space(*p))
            ++p;
        while (AttributeNameChar(*p)) {
            ++p;
            while (AttributeNameChar(*p))
                ++p;
            while (Space(*p))
                ++p;
            if (*p != '=')
                return deepest;
            ++p;
            while (Space(*p))
                ++p;
            char quote = *p;
            if (quote != '"' && quote != '\'')
                return deepest;
            p = std::strchr(p + 1, quote);
            if (p == nullptr)
                return deepest;
            ++p;
            while (Space(*p))
                ++p;
        }
        if (*p == '/' && p[1] == '>') {
            p += 2;
            continue;
        }
        if (*p != '>')
            return deepest;
        ++p;
        deepest = std::max(deepest, ++depth);
        if (depth > limit && *line == 0) {
            lines += (int)std::count(counted, p, '\n');
            *line = lines;
            return deepest;
        }
    }
}

std::unique_ptr<Document> Parse(const std::string& text, std::string* error)
{
    size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        *error = "line " + std::to_string(LineAt(text, nul)) + ": a NUL byte, which XML cannot hold";
        return nullptr;
    }
    int line = 0;
    Nesting(text.c_str(), kDeepest, &line);
    if (line > 0) {
        *error = "line " + std::to_string(line) + ": elements nested more than " + std::to_string(kDeepest) +
                 " deep, which no export does";
        return nullptr;
    }
    std::unique_ptr<Document> document(new Document);
    document->text = text;
    try {
        // Closing tags must match their elements; values are kept as written (white space
        // included), with entities and character references expanded.
        document->dom.parse<rapidxml::parse_validate_closing_tags>(&document->text[0]);
    } catch (const rapidxml::parse_error& e) {
        size_t at = (size_t)(e.where<char>() - document->text.data());
        if (at >= text.size())
            *error = "the XML ends at line " + std::to_string(LineAt(text, text.find_last_not_of(" \t\r\n"))) +
                     " before its elements are closed: the file was cut short";
        else
            *error = "line " + std::to_string(LineAt(text, at)) + ": not well-formed XML (" + e.what() + ")";
        return nullptr;
    } catch (const std::bad_alloc&) {
        *error = "too large to read";
        return nullptr;
    }
    if (Root(*document) == nullptr) {
        *error = "an XML document without a root element";
        return nullptr;
    }
    return document;
}

const Node* Root(const Document& document)
{
    for (const Node* c = document.dom.first_node(); c != nullptr; c = c->next_sibling()) {
        if (c->type() == rapidxml::node_element)
            return c;
    }
    return nullptr; // a document of CDATA alone
}

bool Is(const Node* node, const char* name)
{
    return node != nullptr && node->type() == rapidxml::node_element && node->name_size() == std::strlen(name) &&
           std::memcmp(node->name(), name, node->name_size()) == 0;
}

const Node* Child(const Node* node, const char* name)
{
    if (node == nullptr)
        return nullptr;
    for (const Node* c = node->first_node(); c != nullptr; c = c->next_sibling()) {
        if (Is(c, name))
            return c;
    }
    return nullptr;
}

std::string TextOf(const Node* element)
{
    std::string text;
    if (element == nullptr)
        return text;
    for (const Node* c = element->first_node(); c != nullptr; c = c->next_sibling()) {
        if (c->type() == rapidxml::node_data || c->type() == rapidxml::node_cdata)
            text.append(c->value(), c->value_size());
        else if (Is(c, "br"))
            text.push_back('\n');
    }
    return text;
}

std::string Attribute(const Node* element, const char* name)
{
    if (element == nullptr)
        return "";
    const rapidxml::xml_attribute<char>* a = element->first_attribute(name);
    return a == nullptr ? "" : std::string(a->value(), a->value_size());
}

} // namespace xml
