#pragma once

#include "System/Collections/Vector.h"
#include "System/Object.h"
#include "System/String.h"
#include "System/Xml/XmlNode.h"

// The in-memory model of an Atom feed (RFC 4287). Fields are plain public data; an empty string
// or list means "not set". Dates are kept as the text found in the document. The comments name
// the XML each field is written as and read from (see AtomSerializer).
namespace System::Resource::Feeds {

// A text with its own media type.
class AtomTextConstruct : public Object {
  public:
    String mType;  // attribute "type"
    String mText;  // element value
};

// An author or contributor.
class AtomPersonConstruct : public Object {
  public:
    String mName;   // child "name"
    String mUri;    // child "uri"
    String mEmail;  // child "email"
};

class AtomCategory : public Object {
  public:
    String mTerm;    // attribute "term"
    String mScheme;  // attribute "scheme"
    String mLabel;   // attribute "label"
};

class AtomLink : public Object {
  public:
    String mHref;      // attribute "href"
    String mRel;       // attribute "rel"
    String mType;      // attribute "type"
    String mHreflang;  // attribute "hreflang"
    String mTitle;     // attribute "title"
    String mLength;    // attribute "length", kept as text
};

// An entry's content. Its own mType hides the inherited one, which is not serialized.
class AtomContent : public AtomTextConstruct {
  public:
    String mSrc;   // attribute "src"
    String mType;  // attribute "type"
};

class AtomGenerator : public Object {
  public:
    String mUri;      // attribute "uri"
    String mVersion;  // attribute "version"
    String mText;     // element value
};

// What a feed and an entry share.
class AtomCommon : public Object {
  public:
    Collections::Vector<AtomPersonConstruct> mAuthors;       // one "author" each
    Collections::Vector<AtomCategory> mCategories;           // one "category" each
    Collections::Vector<AtomPersonConstruct> mContributors;  // one "contributor" each
    String mId;                                              // child "id"
    Collections::Vector<AtomLink> mLinks;                    // one "link" each
    AtomTextConstruct mRights;                               // child "rights"
    AtomTextConstruct mTitle;                                // child "title"
    String mUpdated;                                         // child "updated"
    // Foreign child elements (a prefixed name, or an "xmlns" attribute), kept whole and
    // written back after everything else.
    Collections::Vector<Xml::XmlNode> mExtensions;
};

class AtomEntry : public AtomCommon {
  public:
    AtomContent mContent;        // child "content"
    String mPublished;           // child "published"
    String mSource;              // child "source", its text only
    AtomTextConstruct mSummary;  // child "summary"
};

class AtomFeed : public AtomCommon {
  public:
    AtomGenerator mGenerator;                 // child "generator"
    String mIcon;                             // child "icon"
    String mLogo;                             // child "logo"
    AtomTextConstruct mSubtitle;              // child "subtitle"
    Collections::Vector<AtomEntry> mEntries;  // one "entry" each
};

}  // namespace System::Resource::Feeds
