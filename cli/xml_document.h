// An XML document as the import's readers see it: parsed by rapidxml (header-only, from
// Debian's librapidxml-dev), with what rapidxml leaves to its user done here: malformed and
// cut-short documents refused with the line where they break, nesting bounded before the
// parse, and an element's text gathered from its character data and CDATA sections.
#pragma once

#include <memory>
#include <string>

#include "rapidxml.hpp"

namespace xml {

using Node = rapidxml::xml_node<char>;

// Elements nested deeper than this are refused: no export nests anywhere near so deep, and
// rapidxml descends one call per level with no limit of its own.
enum { kDeepest = 256 };

struct Document {
    std::string text;                  // the bytes parsed, NUL-terminated; rapidxml parses in place
    rapidxml::xml_document<char> dom;  // its nodes, pointing into text
};

// Parses text (UTF-8). Null, with *error naming the line where the document breaks, when it
// is not well-formed XML (an end tag that does not match counts), is cut short, holds a NUL
// byte, nests elements deeper than kDeepest, or has no root element.
std::unique_ptr<Document> Parse(const std::string& text, std::string* error);

// The deepest element nesting rapidxml reaches in text before it ends or stops at an error;
// *line is where that depth is first passed beyond limit (0 when it is not). Exposed for the
// tests and the fuzz target.
int Nesting(const char* text, int limit, int* line);

// The root element of a parsed document.
const Node* Root(const Document& document);

// The first child element of node named name (exact case), or null.
const Node* Child(const Node* node, const char* name);

// The element's text: its character data and CDATA sections in document order, each <br/>
// as a line break (KeePassX writes line breaks so). Empty for a null element.
std::string TextOf(const Node* element);

// The value of the element's attribute name, or empty.
std::string Attribute(const Node* element, const char* name);

// True when node is an element named name.
bool Is(const Node* node, const char* name);

} // namespace xml
