#pragma once

#include "System/Collections/Vector.h"
#include "System/Object.h"
#include "System/String.h"

#include <cstdint>

// The in-memory model of a Media RSS "group": one media object in several renditions, with
// descriptive elements for the group and for each rendition. Fields are plain public data; an
// empty string or list, a number of 0 or less and a false flag mean "not set". The comments
// name the XML each field is written as and read from (see MediaRssSerializer).
namespace System::Resource::Feeds {

class MediaRating : public Object {
  public:
    String mScheme;  // attribute "scheme"
    String mText;    // element value
};

class MediaTextConstruct : public Object {
  public:
    String mType;  // attribute "type"
    String mText;  // element value
};

class MediaThumbnail : public Object {
  public:
    String mUrl;         // attribute "url"
    int32_t mHeight{0};  // attribute "height"
    int32_t mWidth{0};   // attribute "width"
    String mTime;        // attribute "time"
};

class MediaCategory : public Object {
  public:
    String mScheme;  // attribute "scheme"
    String mLabel;   // attribute "label"
    String mText;    // element value
};

class MediaHash : public Object {
  public:
    String mAlgo;  // attribute "algo"
    String mText;  // element value
};

class MediaPlayer : public Object {
  public:
    String mUrl;         // attribute "url"
    int32_t mHeight{0};  // attribute "height"
    int32_t mWidth{0};   // attribute "width"
};

class MediaCredit : public Object {
  public:
    String mRole;    // attribute "role"
    String mScheme;  // attribute "scheme"
    String mText;    // element value
};

class MediaCopyright : public Object {
  public:
    String mUrl;   // attribute "url"
    String mText;  // element value
};

class MediaText : public Object {
  public:
    String mType;   // attribute "type"
    String mLang;   // attribute "lang"
    String mStart;  // attribute "start"
    String mEnd;    // attribute "end"
    String mText;   // element value
};

class MediaRestriction : public Object {
  public:
    String mRelationship;  // attribute "relationship"
    String mType;          // attribute "type"
    String mText;          // element value
};

// The optional elements that a group and each of its renditions carry.
class MediaOptional : public Object {
  public:
    MediaRating mRating;                                  // child "rating"
    MediaTextConstruct mTitle;                            // child "title"
    MediaTextConstruct mDescription;                      // child "description"
    String mKeywords;                                     // child "keywords"
    Collections::Vector<MediaThumbnail> mThumbnails;      // one "thumbnail" each
    Collections::Vector<MediaCategory> mCategories;       // one "category" each
    Collections::Vector<MediaHash> mHashes;               // one "hash" each
    MediaPlayer mPlayer;                                  // child "player"
    Collections::Vector<MediaCredit> mCredits;            // one "credit" each
    MediaCopyright mCopyright;                            // child "copyright"
    Collections::Vector<MediaText> mTexts;                // one "text" each
    Collections::Vector<MediaRestriction> mRestrictions;  // one "restriction" each
};

// One rendition: the attributes of a "content" element, whose children are its optional
// elements.
class MediaContent : public MediaOptional {
  public:
    String mUrl;             // attribute "url"
    int32_t mFileSize{0};    // attribute "fileSize"
    String mType;            // attribute "type"
    String mMedium;          // attribute "medium"
    bool mIsDefault{false};  // attribute "isDefault"
    String mExpression;      // attribute "expression"
    String mBitrate;         // attribute "bitrate"
    String mFramerate;       // attribute "framerate"
    String mSamplingrate;    // attribute "samplingrate"
    String mChannels;        // attribute "channels"
    int32_t mDuration{0};    // attribute "duration"
    int32_t mHeight{0};      // attribute "height"
    int32_t mWidth{0};       // attribute "width"
    String mLang;            // attribute "lang"
};

class MediaComments : public Object {
  public:
    Collections::Vector<String> mComments;  // one "comment" child each, as its value
};

class MediaParam : public Object {
  public:
    String mName;   // attribute "name"
    String mValue;  // element value
};

class MediaEmbed : public Object {
  public:
    String mUrl;                              // attribute "url"
    int32_t mHeight{0};                       // attribute "height"
    int32_t mWidth{0};                        // attribute "width"
    Collections::Vector<MediaParam> mParams;  // one "param" child each
};

class MediaResponses : public Object {
  public:
    Collections::Vector<String> mResponses;  // one "response" child each, as its value
};

class MediaBackLinks : public Object {
  public:
    Collections::Vector<String> mBackLinks;  // one "backLink" child each, as its value
};

class MediaStatus : public Object {
  public:
    String mState;   // attribute "state"
    String mReason;  // attribute "reason"
};

class MediaPrice : public Object {
  public:
    String mType;      // attribute "type"
    String mInfo;      // attribute "info"
    String mPrice;     // attribute "price"
    String mCurrency;  // attribute "currency"
};

class MediaLicense : public Object {
  public:
    String mType;  // attribute "type"
    String mHref;  // attribute "href"
    String mText;  // element value
};

class MediaSubTitle : public Object {
  public:
    String mType;  // attribute "type"
    String mLang;  // attribute "lang"
    String mHref;  // attribute "href"
};

class MediaPeerLink : public Object {
  public:
    String mType;  // attribute "type"
    String mHref;  // attribute "href"
};

// Where the media was taken; kept in memory only, never serialized.
class MediaLocation : public Object {
  public:
    String mDescription;
    String mStart;
    String mEnd;
};

class MediaRights : public Object {
  public:
    String mStatus;  // attribute "status"
};

class MediaScene : public Object {
  public:
    String mTitle;        // child "sceneTitle"
    String mDescription;  // child "sceneDescription"
    String mStartTime;    // child "sceneStartTime"
    String mEndTime;      // child "sceneEndTime"
};

class MediaScenes : public Object {
  public:
    Collections::Vector<MediaScene> mScenes;  // one "scene" child each
};

// The group: its own optional elements, then its renditions and group-level elements.
class MediaGroup : public MediaOptional {
  public:
    Collections::Vector<MediaContent> mContents;    // one "content" each
    MediaComments mComments;                        // child "comments"
    MediaEmbed mEmbed;                              // child "embed"
    MediaResponses mResponses;                      // child "responses"
    MediaBackLinks mBackLinks;                      // child "backLinks"
    MediaStatus mStatus;                            // child "status"
    MediaPrice mPrice;                              // child "price"
    MediaLicense mLicense;                          // child "license"
    Collections::Vector<MediaSubTitle> mSubTitles;  // one "subTitle" each
    MediaPeerLink mPeerLink;                        // child "peerLink"
    MediaLocation mLocation;                        // not serialized
    MediaRights mRights;                            // child "rights"
    MediaScenes mScenes;                            // child "scenes"
};

}  // namespace System::Resource::Feeds
