#pragma once

#include "System/Object.h"
#include "System/String.h"
#include "System/Xml/XmlNode.h"

namespace System::Xml {

// Builds an XmlNode tree from XML text or a file, and writes a tree to a file. The tree hangs
// under the document's root, which Load returns; it lives until the next Load or the document's
// destruction. Declarations, comments and a second top-level element are skipped.
class XmlDoc : public Object {
  public:
    // Nesting deeper than this is refused: copying, writing and destroying a tree recurse once
    // per level, and a hostile reply could otherwise exhaust the stack of the thread reading it.
    static constexpr unsigned int MaxDepth = 256;

    XmlDoc() = default;
    XmlDoc(const XmlDoc&) = delete;
    XmlDoc& operator=(const XmlDoc&) = delete;

    // Clears the root and parses text into it. Returns the root (the top-level element), or
    // null when the text holds no element, is cut off or left unclosed, nests deeper than
    // MaxDepth, names an element or attribute with nothing or with a quote, "=", "<", ">",
    // "&", "/" or white space in it, or has an attribute value without its quotes.
    [[nodiscard]] XmlNode* Load(const String& text);
    // Reads the file (up to its first NUL byte) and loads it; null when it cannot be read or
    // does not load.
    [[nodiscard]] XmlNode* Import(const String& path);
    // Replaces the file with the indented text of node (no XML declaration); does nothing when
    // the file cannot be created.
    void Write(const String& path, const XmlNode& node);

    // The callbacks Load gives the parser; user is the document.
    static void XmlStartElement(void* user, const char* name, const char** attributes);
    static void XmlEndElement(void* user, const char* name);
    static void XmlTextElement(void* user, const char* text, int length);

  private:
    XmlNode mRoot;               // the loaded tree
    XmlNode* mCurrent{nullptr};  // the open element while loading; null once the top closes
    unsigned int mDepth{0};      // the number of open elements while loading
    bool mFailed{false};         // the text being loaded is refused
};

}  // namespace System::Xml
