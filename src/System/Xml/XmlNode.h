#pragma once

#include "System/Collections/Vector.h"
#include "System/String.h"
#include "System/Xml/XmlItem.h"

#include <string>

namespace System::Xml {

// An XML element: its name and text (the XmlItem part), its attributes and its child elements,
// both in document order, and a pointer to the element that holds it. A node owns copies of
// its attributes and children; copying a node copies its whole subtree, and the parent
// pointers inside the copy point at the nodes that hold them. A copy has no parent until it is
// added to a node; a node assigned to keeps its own.
//
// Lookups by name compare bytes exactly; the occurrence number n counts matches from 1, and 0
// is taken as 1. Pointers returned by lookups point into the node's vectors and stay valid only
// until that node's attributes or children change.
class XmlNode : public XmlItem {
  public:
    XmlNode() = default;
    XmlNode(const XmlNode& other);
    XmlNode& operator=(const XmlNode& other);

    // Attributes.

    // Appends a copy of item, even when an attribute of that name exists.
    void AddAttribute(const XmlItem& item);
    // The n-th attribute called name, or null.
    XmlItem* GetAttribute(const String& name, unsigned int n = 1);
    const XmlItem* GetAttribute(const String& name, unsigned int n = 1) const;
    // The attribute at index, or null when out of range.
    XmlItem* GetAttribute(unsigned int index);
    const XmlItem* GetAttribute(unsigned int index) const;
    // The value of the n-th attribute called name; empty, false, 0 or 0.0 when there is none.
    String GetAttributeValue(const String& name, unsigned int n = 1) const;
    bool GetAttributeValueBool(const String& name, unsigned int n = 1) const;
    int GetAttributeValueInt(const String& name, unsigned int n = 1) const;
    double GetAttributeValueDouble(const String& name, unsigned int n = 1) const;
    // Gives the first attribute called name the value, or appends one when there is none.
    void SetAttributeValue(const String& name, const String& value);
    void SetAttributeValueBool(const String& name, bool value);
    void SetAttributeValueInt(const String& name, int value);
    void SetAttributeValueDouble(const String& name, double value);
    // Removes the n-th attribute called name; nothing when there is none.
    void RemoveAttribute(const String& name, unsigned int n = 1);
    // Removes the attribute at index; nothing when out of range.
    void RemoveAttribute(unsigned int index);
    void RemoveAttributes();
    unsigned int GetNumAttributes() const { return mAttributes.Count(); }

    // Children.

    // Appends a deep copy of node as the last child.
    void AddChild(const XmlNode& node);
    // Inserts a deep copy of node at index, or appends it when index is past the end.
    void InsertChild(unsigned int index, const XmlNode& node);
    // Inserts deep copies of source's children in order, the k-th at index + k (or at the end
    // when that is past it); index 0xFFFFFFFF appends them.
    void InsertChildren(const XmlNode& source, unsigned int index);
    void AddChildren(const XmlNode& source);
    // The n-th child called name, or null.
    XmlNode* GetChild(const String& name, unsigned int n = 1);
    const XmlNode* GetChild(const String& name, unsigned int n = 1) const;
    // The child at index, or null when out of range.
    XmlNode* GetChild(unsigned int index);
    const XmlNode* GetChild(unsigned int index) const;
    // The n-th child called name whose first attribute called attributeName has exactly
    // attributeValue; children failing the test are not counted. Null when there is none.
    XmlNode* GetChildWithAttribute(const String& name, const String& attributeName,
                                   const String& attributeValue, unsigned int n = 1);
    // The value of the n-th child called name; empty, false, 0 or 0.0 when there is none.
    String GetChildValue(const String& name, unsigned int n = 1) const;
    bool GetChildValueBool(const String& name, unsigned int n = 1) const;
    int GetChildValueInt(const String& name, unsigned int n = 1) const;
    double GetChildValueDouble(const String& name, unsigned int n = 1) const;
    // Gives the n-th child called name the value; when there is none, appends one such child.
    void SetChildValue(const String& name, const String& value, unsigned int n = 1);
    void SetChildValueBool(const String& name, bool value, unsigned int n = 1);
    void SetChildValueInt(const String& name, int value, unsigned int n = 1);
    void SetChildValueDouble(const String& name, double value, unsigned int n = 1);
    // Removes the n-th child called name; nothing when there is none.
    void RemoveChild(const String& name, unsigned int n = 1);
    // Removes the child at index; nothing when out of range.
    void RemoveChild(unsigned int index);
    void RemoveChildren();
    // A node with this node's name holding copies of the children called name, in order.
    XmlNode GetChildren(const String& name) const;
    unsigned int GetNumChildren() const { return mChildren.Count(); }

    // Tree.

    // Depth-first search below this node, children in order: the n-th child called name of
    // this node, else what each child's own FindNode(name, n) finds; matches inside a child's
    // subtree do not count towards n at this level. Null when nothing matches.
    XmlNode* FindNode(const String& name, unsigned int n = 1);
    void SetParent(XmlNode* parent) { mParent = parent; }
    XmlNode* GetParent() const { return mParent; }
    // Empties name and value and removes all attributes and children; the parent stays.
    void Clear();

    // The XML text of this node and its subtree, indented (pretty) or compact, as UTF-8.
    // Values keep only the characters XML can hold (bytes that are no UTF-8 are dropped).
    String ToString() const { return ToString(true); }
    String ToString(bool pretty) const;
    // The XML text of node written at the given depth of indentation.
    static String toString(const XmlNode& node, bool pretty, unsigned int depth);

  private:
    // Appends the text of node at depth to out.
    static void AppendText(std::string& out, const XmlNode& node, bool pretty, unsigned int depth);
    // Replaces this node's contents by a deep copy of other's.
    void CopyFrom(const XmlNode& other);
    // Points the children from index from on at this node, after they were copied into place.
    void AdoptChildren(unsigned int from);
    // True when node is this node or lies in its subtree, or this node lies in node's subtree.
    bool IsRelatedTo(const XmlNode& node) const;
    int FindAttribute(const String& name, unsigned int n) const;
    int FindChild(const String& name, unsigned int n) const;

    Collections::Vector<XmlItem> mAttributes;  // in document order
    Collections::Vector<XmlNode> mChildren;    // in document order; each child's parent is this
    XmlNode* mParent{nullptr};                 // the node whose children hold this one, or null
};

}  // namespace System::Xml
