#include "System/Resource/Feeds/MediaRssSerializer.h"

#include "System/Resource/Feeds/FeedXml.h"

namespace System::Resource::Feeds {

using FeedXml::AddAttributeIfSet;
using FeedXml::AddChildIfSet;
using FeedXml::AddNumberIfSet;
using FeedXml::Element;
using FeedXml::ReadTextConstruct;
using FeedXml::WriteTextConstruct;
using Xml::XmlNode;

namespace {

// Appends a list element called name holding one itemName child per value.
void WriteValues(const Collections::Vector<String>& values, const char* name, const char* itemName,
                 XmlNode& parent) {
    if (values.Count() == 0) {
        return;
    }
    XmlNode element = Element(name);
    for (uint32_t i = 0; i < values.Count(); ++i) {
        element.AddChild(Element(itemName, values[i]));
    }
    parent.AddChild(element);
}

// Appends the value of each child of node whose folded name is itemName.
void ReadValues(const XmlNode& node, const char* itemName, Collections::Vector<String>& values) {
    for (uint32_t i = 0; i < node.GetNumChildren(); ++i) {
        const XmlNode& child = *node.GetChild(i);
        if (child.mName.ToLower() == itemName) {
            values.Add(child.mValue);
        }
    }
}

}  // namespace

XmlNode MediaRssSerializer::Serialize(const MediaGroup& group) const {
    XmlNode node;
    WriteGroup(group, node);
    return node;
}

MediaGroup MediaRssSerializer::Deserialize(const XmlNode& node) const {
    MediaGroup group;
    ReadGroup(group, node);
    return group;
}

void MediaRssSerializer::WriteGroup(const MediaGroup& group, XmlNode& node) const {
    node.Clear();
    node.mName = "group";
    node.AddAttribute(Xml::XmlItem("xmlns", Namespace));
    WriteOptional(group, node);
    for (uint32_t i = 0; i < group.mContents.Count(); ++i) {
        WriteContent(group.mContents[i], node);
    }
    WriteValues(group.mComments.mComments, "comments", "comment", node);
    if (group.mEmbed.mUrl.Length() > 0) {
        XmlNode embed = Element("embed");
        AddNumberIfSet(embed, "height", group.mEmbed.mHeight);
        embed.AddAttribute(Xml::XmlItem("url", group.mEmbed.mUrl));
        AddNumberIfSet(embed, "width", group.mEmbed.mWidth);
        for (uint32_t i = 0; i < group.mEmbed.mParams.Count(); ++i) {
            const MediaParam& param = group.mEmbed.mParams[i];
            XmlNode element = Element("param", param.mValue);
            AddAttributeIfSet(element, "name", param.mName);
            embed.AddChild(element);
        }
        node.AddChild(embed);
    }
    WriteValues(group.mResponses.mResponses, "responses", "response", node);
    WriteValues(group.mBackLinks.mBackLinks, "backLinks", "backLink", node);
    if (group.mStatus.mState.Length() > 0) {
        XmlNode status = Element("status");
        AddAttributeIfSet(status, "reason", group.mStatus.mReason);
        status.AddAttribute(Xml::XmlItem("state", group.mStatus.mState));
        node.AddChild(status);
    }
    if (group.mPrice.mPrice.Length() > 0) {
        XmlNode price = Element("price");
        AddAttributeIfSet(price, "currency", group.mPrice.mCurrency);
        AddAttributeIfSet(price, "info", group.mPrice.mInfo);
        price.AddAttribute(Xml::XmlItem("price", group.mPrice.mPrice));
        AddAttributeIfSet(price, "type", group.mPrice.mType);
        node.AddChild(price);
    }
    if (group.mLicense.mText.Length() > 0) {
        XmlNode license = Element("license", group.mLicense.mText);
        AddAttributeIfSet(license, "href", group.mLicense.mHref);
        AddAttributeIfSet(license, "type", group.mLicense.mType);
        node.AddChild(license);
    }
    for (uint32_t i = 0; i < group.mSubTitles.Count(); ++i) {
        const MediaSubTitle& subTitle = group.mSubTitles[i];
        if (subTitle.mHref.Length() == 0) {
            continue;
        }
        XmlNode element = Element("subTitle");
        element.AddAttribute(Xml::XmlItem("href", subTitle.mHref));
        AddAttributeIfSet(element, "lang", subTitle.mLang);
        AddAttributeIfSet(element, "type", subTitle.mType);
        node.AddChild(element);
    }
    if (group.mPeerLink.mHref.Length() > 0) {
        XmlNode peerLink = Element("peerLink");
        peerLink.AddAttribute(Xml::XmlItem("href", group.mPeerLink.mHref));
        AddAttributeIfSet(peerLink, "type", group.mPeerLink.mType);
        node.AddChild(peerLink);
    }
    if (group.mRights.mStatus.Length() > 0) {
        XmlNode rights = Element("rights");
        rights.AddAttribute(Xml::XmlItem("status", group.mRights.mStatus));
        node.AddChild(rights);
    }
    if (group.mScenes.mScenes.Count() > 0) {
        XmlNode scenes = Element("scenes");
        for (uint32_t i = 0; i < group.mScenes.mScenes.Count(); ++i) {
            const MediaScene& scene = group.mScenes.mScenes[i];
            XmlNode element = Element("scene");
            AddChildIfSet(element, "sceneDescription", scene.mDescription);
            AddChildIfSet(element, "sceneEndTime", scene.mEndTime);
            AddChildIfSet(element, "sceneStartTime", scene.mStartTime);
            AddChildIfSet(element, "sceneTitle", scene.mTitle);
            scenes.AddChild(element);
        }
        node.AddChild(scenes);
    }
}

void MediaRssSerializer::WriteContent(const MediaContent& content, XmlNode& parent) const {
    XmlNode element = Element("content");
    WriteOptional(content, element);
    AddAttributeIfSet(element, "bitrate", content.mBitrate);
    AddAttributeIfSet(element, "channels", content.mChannels);
    AddNumberIfSet(element, "duration", content.mDuration);
    AddAttributeIfSet(element, "expression", content.mExpression);
    AddNumberIfSet(element, "fileSize", content.mFileSize);
    AddAttributeIfSet(element, "framerate", content.mFramerate);
    AddNumberIfSet(element, "height", content.mHeight);
    if (content.mIsDefault) {
        element.AddAttribute(Xml::XmlItem("isDefault", "true"));
    }
    AddAttributeIfSet(element, "lang", content.mLang);
    AddAttributeIfSet(element, "medium", content.mMedium);
    AddAttributeIfSet(element, "samplingrate", content.mSamplingrate);
    AddAttributeIfSet(element, "type", content.mType);
    AddAttributeIfSet(element, "url", content.mUrl);
    AddNumberIfSet(element, "width", content.mWidth);
    parent.AddChild(element);
}

void MediaRssSerializer::WriteOptional(const MediaOptional& optional, XmlNode& node) const {
    for (uint32_t i = 0; i < optional.mCategories.Count(); ++i) {
        const MediaCategory& category = optional.mCategories[i];
        XmlNode element = Element("category", category.mText);
        AddAttributeIfSet(element, "label", category.mLabel);
        AddAttributeIfSet(element, "scheme", category.mScheme);
        node.AddChild(element);
    }
    if (optional.mCopyright.mText.Length() > 0) {
        XmlNode element = Element("copyright", optional.mCopyright.mText);
        AddAttributeIfSet(element, "url", optional.mCopyright.mUrl);
        node.AddChild(element);
    }
    for (uint32_t i = 0; i < optional.mCredits.Count(); ++i) {
        const MediaCredit& credit = optional.mCredits[i];
        XmlNode element = Element("credit", credit.mText);
        AddAttributeIfSet(element, "role", credit.mRole);
        AddAttributeIfSet(element, "scheme", credit.mScheme);
        node.AddChild(element);
    }
    WriteTextConstruct(optional.mDescription, "description", node);
    for (uint32_t i = 0; i < optional.mHashes.Count(); ++i) {
        XmlNode element = Element("hash", optional.mHashes[i].mText);
        AddAttributeIfSet(element, "algo", optional.mHashes[i].mAlgo);
        node.AddChild(element);
    }
    AddChildIfSet(node, "keywords", optional.mKeywords);
    if (optional.mPlayer.mUrl.Length() > 0) {
        XmlNode element = Element("player");
        AddNumberIfSet(element, "height", optional.mPlayer.mHeight);
        AddNumberIfSet(element, "width", optional.mPlayer.mWidth);
        element.AddAttribute(Xml::XmlItem("url", optional.mPlayer.mUrl));
        node.AddChild(element);
    }
    if (optional.mRating.mText.Length() > 0) {
        XmlNode element = Element("rating", optional.mRating.mText);
        AddAttributeIfSet(element, "scheme", optional.mRating.mScheme);
        node.AddChild(element);
    }
    for (uint32_t i = 0; i < optional.mRestrictions.Count(); ++i) {
        const MediaRestriction& restriction = optional.mRestrictions[i];
        XmlNode element = Element("restriction", restriction.mText);
        AddAttributeIfSet(element, "relationship", restriction.mRelationship);
        AddAttributeIfSet(element, "type", restriction.mType);
        node.AddChild(element);
    }
    for (uint32_t i = 0; i < optional.mTexts.Count(); ++i) {
        const MediaText& text = optional.mTexts[i];
        XmlNode element = Element("text", text.mText);
        AddAttributeIfSet(element, "end", text.mEnd);
        AddAttributeIfSet(element, "lang", text.mLang);
        AddAttributeIfSet(element, "start", text.mStart);
        AddAttributeIfSet(element, "type", text.mType);
        node.AddChild(element);
    }
    for (uint32_t i = 0; i < optional.mThumbnails.Count(); ++i) {
        const MediaThumbnail& thumbnail = optional.mThumbnails[i];
        XmlNode element = Element("thumbnail");
        AddNumberIfSet(element, "height", thumbnail.mHeight);
        AddAttributeIfSet(element, "time", thumbnail.mTime);
        AddAttributeIfSet(element, "url", thumbnail.mUrl);
        AddNumberIfSet(element, "width", thumbnail.mWidth);
        node.AddChild(element);
    }
    WriteTextConstruct(optional.mTitle, "title", node);
}

void MediaRssSerializer::ReadGroup(MediaGroup& group, const XmlNode& node) const {
    ReadOptional(group, node);
    for (uint32_t i = 0; i < node.GetNumChildren(); ++i) {
        const XmlNode& child = *node.GetChild(i);
        const String name = child.mName.ToLower();
        if (name == "content") {
            MediaContent content;
            ReadContent(content, child);
            group.mContents.Add(content);
        } else if (name == "embed") {
            group.mEmbed.mHeight = child.GetAttributeValueInt("height");
            group.mEmbed.mUrl = child.GetAttributeValue("url");
            group.mEmbed.mWidth = child.GetAttributeValueInt("width");
            for (uint32_t k = 0; k < child.GetNumChildren(); ++k) {
                const XmlNode& item = *child.GetChild(k);
                if (item.mName.ToLower() == "param") {
                    MediaParam param;
                    param.mName = item.GetAttributeValue("name");
                    param.mValue = item.mValue;
                    group.mEmbed.mParams.Add(param);
                }
            }
        } else if (name == "responses") {
            ReadValues(child, "response", group.mResponses.mResponses);
        } else if (name == "backlinks") {
            ReadValues(child, "backlink", group.mBackLinks.mBackLinks);
        } else if (name == "status") {
            group.mStatus.mReason = child.GetAttributeValue("reason");
            group.mStatus.mState = child.GetAttributeValue("state");
        } else if (name == "price") {
            group.mPrice.mCurrency = child.GetAttributeValue("currency");
            group.mPrice.mInfo = child.GetAttributeValue("info");
            group.mPrice.mPrice = child.GetAttributeValue("price");
            group.mPrice.mType = child.GetAttributeValue("type");
        } else if (name == "license") {
            group.mLicense.mHref = child.GetAttributeValue("href");
            group.mLicense.mText = child.mValue;
            group.mLicense.mType = child.GetAttributeValue("type");
        } else if (name == "subtitle") {
            MediaSubTitle subTitle;
            subTitle.mHref = child.GetAttributeValue("href");
            subTitle.mLang = child.GetAttributeValue("lang");
            subTitle.mType = child.GetAttributeValue("type");
            group.mSubTitles.Add(subTitle);
        } else if (name == "peerlink") {
            group.mPeerLink.mHref = child.GetAttributeValue("href");
            group.mPeerLink.mType = child.GetAttributeValue("type");
        } else if (name == "rights") {
            group.mRights.mStatus = child.GetAttributeValue("status");
        } else if (name == "scenes") {
            for (uint32_t k = 0; k < child.GetNumChildren(); ++k) {
                const XmlNode& item = *child.GetChild(k);
                if (item.mName.ToLower() == "scene") {
                    MediaScene scene;
                    scene.mDescription = item.GetChildValue("sceneDescription");
                    scene.mEndTime = item.GetChildValue("sceneEndTime");
                    scene.mStartTime = item.GetChildValue("sceneStartTime");
                    scene.mTitle = item.GetChildValue("sceneTitle");
                    group.mScenes.mScenes.Add(scene);
                }
            }
        } else if (name == "comments") {
            ReadValues(child, "comment", group.mComments.mComments);
        }
    }
}

void MediaRssSerializer::ReadContent(MediaContent& content, const XmlNode& node) const {
    ReadOptional(content, node);
    for (uint32_t i = 0; i < node.GetNumAttributes(); ++i) {
        const Xml::XmlItem& attribute = *node.GetAttribute(i);
        const String name = attribute.mName.ToLower();
        if (name == "url") {
            content.mUrl = attribute.mValue;
        } else if (name == "filesize") {
            content.mFileSize = attribute.ValueInt();
        } else if (name == "type") {
            content.mType = attribute.mValue;
        } else if (name == "medium") {
            content.mMedium = attribute.mValue;
        } else if (name == "isdefault") {
            content.mIsDefault = attribute.ValueBool();
        } else if (name == "expression") {
            content.mExpression = attribute.mValue;
        } else if (name == "bitrate") {
            content.mBitrate = attribute.mValue;
        } else if (name == "framerate") {
            content.mFramerate = attribute.mValue;
        } else if (name == "samplingrate") {
            content.mSamplingrate = attribute.mValue;
        } else if (name == "channels") {
            content.mChannels = attribute.mValue;
        } else if (name == "duration") {
            content.mDuration = attribute.ValueInt();
        } else if (name == "height") {
            content.mHeight = attribute.ValueInt();
        } else if (name == "width") {
            content.mWidth = attribute.ValueInt();
        } else if (name == "lang") {
            content.mLang = attribute.mValue;
        }
    }
}

void MediaRssSerializer::ReadOptional(MediaOptional& optional, const XmlNode& node) const {
    for (uint32_t i = 0; i < node.GetNumChildren(); ++i) {
        const XmlNode& child = *node.GetChild(i);
        const String name = child.mName.ToLower();
        if (name == "category") {
            MediaCategory category;
            category.mLabel = child.GetAttributeValue("label");
            category.mScheme = child.GetAttributeValue("scheme");
            category.mText = child.mValue;
            optional.mCategories.Add(category);
        } else if (name == "copyright") {
            optional.mCopyright.mUrl = child.GetAttributeValue("url");
            optional.mCopyright.mText = child.mValue;
        } else if (name == "credit") {
            MediaCredit credit;
            credit.mRole = child.GetAttributeValue("role");
            credit.mScheme = child.GetAttributeValue("scheme");
            credit.mText = child.mValue;
            optional.mCredits.Add(credit);
        } else if (name == "description") {
            ReadTextConstruct(optional.mDescription, child);
        } else if (name == "hash") {
            MediaHash hash;
            hash.mAlgo = child.GetAttributeValue("algo");
            hash.mText = child.mValue;
            optional.mHashes.Add(hash);
        } else if (name == "keywords") {
            optional.mKeywords = child.mValue;
        } else if (name == "player") {
            optional.mPlayer.mHeight = child.GetAttributeValueInt("height");
            optional.mPlayer.mUrl = child.GetAttributeValue("url");
            optional.mPlayer.mWidth = child.GetAttributeValueInt("width");
        } else if (name == "rating") {
            optional.mRating.mScheme = child.GetAttributeValue("scheme");
            optional.mRating.mText = child.mValue;
        } else if (name == "restriction") {
            MediaRestriction restriction;
            restriction.mRelationship = child.GetAttributeValue("relationship");
            restriction.mType = child.GetAttributeValue("type");
            restriction.mText = child.mValue;
            optional.mRestrictions.Add(restriction);
        } else if (name == "text") {
            MediaText text;
            text.mEnd = child.GetAttributeValue("end");
            text.mLang = child.GetAttributeValue("lang");
            text.mStart = child.GetAttributeValue("start");
            text.mType = child.GetAttributeValue("type");
            text.mText = child.mValue;
            optional.mTexts.Add(text);
        } else if (name == "thumbnail") {
            MediaThumbnail thumbnail;
            thumbnail.mHeight = child.GetAttributeValueInt("height");
            thumbnail.mTime = child.GetAttributeValue("time");
            thumbnail.mUrl = child.GetAttributeValue("url");
            thumbnail.mWidth = child.GetAttributeValueInt("width");
            optional.mThumbnails.Add(thumbnail);
        } else if (name == "title") {
            ReadTextConstruct(optional.mTitle, child);
        }
    }
}

}  // namespace System::Resource::Feeds
