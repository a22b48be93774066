// The canonical form of a signed element, from the library's own tree.
//
// A fiscal document is signed over the canonical bytes of its infNFe or
// infCte element (Canonical XML 1.0, without comments), and so is the
// signature's SignedInfo. The authority records the digest of those bytes
// in the protocol. The same tree comes out of every parser backend, so the
// bytes written here are the same on every platform.
//
// The element is written as it stood when it was signed, whatever a later
// tool did around it:
//  - text made only of blanks between tags is not in the tree (the
//    authority refuses formatting inside a document), so re-indenting a
//    document changes nothing;
//  - a namespace is declared where the written elements and attributes
//    first use it, and only then: the document's own namespace on the
//    element, never the declarations a wrapper adds around it (xmlns:xsi,
//    xmlns:xsd) that nothing inside uses; "xmlns=\"\"" where an element
//    leaves a default namespace written above it;
//  - namespace declarations come first, the default one before those with
//    a prefix, sorted by prefix; then the attributes, sorted by namespace
//    (none first) and local name;
//  - text is written with &amp; &lt; &gt; and &#xD; escaped; attribute
//    values in double quotes with &amp; &lt; &quot; &#x9; &#xA; &#xD;
//    escaped; CDATA sections as text; references are resolved by the
//    parser; empty elements as a start and an end tag;
//  - comments are left out; processing instructions are kept.
#pragma once

#include <string>

#include "xml/tree.hpp"

namespace idf::xml {

// The canonical bytes (UTF-8) of `element` and its content. Raises
// XmlDocError on an empty reference or a node that is not an element.
std::string canonical_xml(Node element);

}  // namespace idf::xml
