#include "System/Resource/Feeds/MediaRssSerializer.h"

#include "System/Resource/Feeds/FeedXml.h"

namespace System::Resource::Feeds {

using namespace FeedXml;
using Xml::XmlNode;

namespace {

// Appends a list element called name holding one itemName child per value; nothing for an
// empty list.
void WriteValues(const Collections::Vector<String>& values, const char* name, const char* itemName,
                 XmlNode& parent) {
    if (values.Count() == 0) {
        return;
    }
    XmlNode element = Element(name);
    for (uint32_t i = 0; i < values.Count(); ++i) {
        AddElement(element, itemName, values[i]);
    }
    parent.AddChild(element);
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
    const MediaEmbed& embed = group.mEmbed;
    if (embed.mUrl.Length() > 0) {
        XmlNode element = Element("embed", String(),
                                  {{"height", Number(embed.mHeight)},
                                   {"url", embed.mUrl},
                                   {"width", Number(embed.mWidth)}});
        for (uint32_t i = 0; i < embed.mParams.Count(); ++i) {
            AddElement(element, "param", embed.mParams[i].mValue,
                       {{"name", embed.mParams[i].mName}});
        }
        node.AddChild(element);
    }
    WriteValues(group.mResponses.mResponses, "responses", "response", node);
    WriteValues(group.mBackLinks.mBackLinks, "backLinks", "backLink", node);
    if (group.mStatus.mState.Length() > 0) {
        AddElement(node, "status", String(),
                   {{"reason", group.mStatus.mReason}, {"state", group.mStatus.mState}});
    }
    const MediaPrice& price = group.mPrice;
    if (price.mPrice.Length() > 0) {
        AddElement(node, "price", String(),
                   {{"currency", price.mCurrency},
                    {"info", price.mInfo},
                    {"price", price.mPrice},
                    {"type", price.mType}});
    }
    AddElementIfSet(node, "license", group.mLicense.mText,
                    {{"href", group.mLicense.mHref}, {"type", group.mLicense.mType}});
    for (uint32_t i = 0; i < group.mSubTitles.Count(); ++i) {
        const MediaSubTitle& subTitle = group.mSubTitles[i];
        if (subTitle.mHref.Length() > 0) {
            AddElement(
                node, "subTitle", String(),
                {{"href", subTitle.mHref}, {"lang", subTitle.mLang}, {"type", subTitle.mType}});
        }
    }
    if (group.mPeerLink.mHref.Length() > 0) {
        AddElement(node, "peerLink", String(),
                   {{"href", group.mPeerLink.mHref}, {"type", group.mPeerLink.mType}});
    }
    if (group.mRights.mStatus.Length() > 0) {
        AddElement(node, "rights", String(), {{"status", group.mRights.mStatus}});
    }
    if (group.mScenes.mScenes.Count() > 0) {
        XmlNode scenes = Element("scenes");
        for (uint32_t i = 0; i < group.mScenes.mScenes.Count(); ++i) {
            const MediaScene& scene = group.mScenes.mScenes[i];
            XmlNode element = Element("scene");
            AddElementIfSet(element, "sceneDescription", scene.mDescription);
            AddElementIfSet(element, "sceneEndTime", scene.mEndTime);
            AddElementIfSet(element, "sceneStartTime", scene.mStartTime);
            AddElementIfSet(element, "sceneTitle", scene.mTitle);
            scenes.AddChild(element);
        }
        node.AddChild(scenes);
    }
}

void MediaRssSerializer::WriteContent(const MediaContent& content, XmlNode& parent) const {
    XmlNode element = Element("content", String(),
                              {{"bitrate", content.mBitrate},
                               {"channels", content.mChannels},
                               {"duration", Number(content.mDuration)},
                               {"expression", content.mExpression},
                               {"fileSize", Number(content.mFileSize)},
                               {"framerate", content.mFramerate},
                               {"height", Number(content.mHeight)},
                               {"isDefault", content.mIsDefault ? "true" : ""},
                               {"lang", content.mLang},
                               {"medium", content.mMedium},
                               {"samplingrate", content.mSamplingrate},
                               {"type", content.mType},
                               {"url", content.mUrl},
                               {"width", Number(content.mWidth)}});
    // A rendition's optional elements are children of its "content" element.
    WriteOptional(content, element);
    parent.AddChild(element);
}

void MediaRssSerializer::WriteOptional(const MediaOptional& optional, XmlNode& node) const {
    for (uint32_t i = 0; i < optional.mCategories.Count(); ++i) {
        const MediaCategory& category = optional.mCategories[i];
        AddElement(node, "category", category.mText,
                   {{"label", category.mLabel}, {"scheme", category.mScheme}});
    }
    AddElementIfSet(node, "copyright", optional.mCopyright.mText,
                    {{"url", optional.mCopyright.mUrl}});
    for (uint32_t i = 0; i < optional.mCredits.Count(); ++i) {
        const MediaCredit& credit = optional.mCredits[i];
        AddElement(node, "credit", credit.mText,
                   {{"role", credit.mRole}, {"scheme", credit.mScheme}});
    }
    WriteTextConstruct(optional.mDescription, "description", node);
    for (uint32_t i = 0; i < optional.mHashes.Count(); ++i) {
        AddElement(node, "hash", optional.mHashes[i].mText, {{"algo", optional.mHashes[i].mAlgo}});
    }
    AddElementIfSet(node, "keywords", optional.mKeywords);
    const MediaPlayer& player = optional.mPlayer;
    if (player.mUrl.Length() > 0) {
        AddElement(node, "player", String(),
                   {{"height", Number(player.mHeight)},
                    {"width", Number(player.mWidth)},
                    {"url", player.mUrl}});
    }
    AddElementIfSet(node, "rating", optional.mRating.mText, {{"scheme", optional.mRating.mScheme}});
    for (uint32_t i = 0; i < optional.mRestrictions.Count(); ++i) {
        const MediaRestriction& restriction = optional.mRestrictions[i];
        AddElement(node, "restriction", restriction.mText,
                   {{"relationship", restriction.mRelationship}, {"type", restriction.mType}});
    }
    for (uint32_t i = 0; i < optional.mTexts.Count(); ++i) {
        const MediaText& text = optional.mTexts[i];
        AddElement(node, "text", text.mText,
                   {{"end", text.mEnd},
                    {"lang", text.mLang},
                    {"start", text.mStart},
                    {"type", text.mType}});
    }
    for (uint32_t i = 0; i < optional.mThumbnails.Count(); ++i) {
        const MediaThumbnail& thumbnail = optional.mThumbnails[i];
        AddElement(node, "thumbnail", String(),
                   {{"height", Number(thumbnail.mHeight)},
                    {"time", thumbnail.mTime},
                    {"url", thumbnail.mUrl},
                    {"width", Number(thumbnail.mWidth)}});
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
            ReadAttributes(child,
                           {{"reason", &group.mStatus.mReason}, {"state", &group.mStatus.mState}});
        } else if (name == "price") {
            ReadAttributes(child, {{"currency", &group.mPrice.mCurrency},
                                   {"info", &group.mPrice.mInfo},
                                   {"price", &group.mPrice.mPrice},
                                   {"type", &group.mPrice.mType}});
        } else if (name == "license") {
            ReadAttributes(child,
                           {{"href", &group.mLicense.mHref}, {"type", &group.mLicense.mType}});
            group.mLicense.mText = child.mValue;
        } else if (name == "subtitle") {
            MediaSubTitle subTitle;
            ReadAttributes(
                child,
                {{"href", &subTitle.mHref}, {"lang", &subTitle.mLang}, {"type", &subTitle.mType}});
            group.mSubTitles.Add(subTitle);
        } else if (name == "peerlink") {
            ReadAttributes(child,
                           {{"href", &group.mPeerLink.mHref}, {"type", &group.mPeerLink.mType}});
        } else if (name == "rights") {
            ReadAttributes(child, {{"status", &group.mRights.mStatus}});
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
    // The attributes of a rendition, unlike all others, are matched without regard to case.
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
            ReadAttributes(child, {{"label", &category.mLabel}, {"scheme", &category.mScheme}});
            category.mText = child.mValue;
            optional.mCategories.Add(category);
        } else if (name == "copyright") {
            ReadAttributes(child, {{"url", &optional.mCopyright.mUrl}});
            optional.mCopyright.mText = child.mValue;
        } else if (name == "credit") {
            MediaCredit credit;
            ReadAttributes(child, {{"role", &credit.mRole}, {"scheme", &credit.mScheme}});
            credit.mText = child.mValue;
            optional.mCredits.Add(credit);
        } else if (name == "description") {
            ReadTextConstruct(optional.mDescription, child);
        } else if (name == "hash") {
            MediaHash hash;
            ReadAttributes(child, {{"algo", &hash.mAlgo}});
            hash.mText = child.mValue;
            optional.mHashes.Add(hash);
        } else if (name == "keywords") {
            optional.mKeywords = child.mValue;
        } else if (name == "player") {
            optional.mPlayer.mHeight = child.GetAttributeValueInt("height");
            optional.mPlayer.mUrl = child.GetAttributeValue("url");
            optional.mPlayer.mWidth = child.GetAttributeValueInt("width");
        } else if (name == "rating") {
            ReadAttributes(child, {{"scheme", &optional.mRating.mScheme}});
            optional.mRating.mText = child.mValue;
        } else if (name == "restriction") {
            MediaRestriction restriction;
            ReadAttributes(child, {{"relationship", &restriction.mRelationship},
                                   {"type", &restriction.mType}});
            restriction.mText = child.mValue;
            optional.mRestrictions.Add(restriction);
        } else if (name == "text") {
            MediaText text;
            ReadAttributes(child, {{"end", &text.mEnd},
                                   {"lang", &text.mLang},
                                   {"start", &text.mStart},
                                   {"type", &text.mType}});
            text.mText = child.mValue;
            optional.mTexts.Add(text);
        } else if (name == "thumbnail") {
            MediaThumbnail thumbnail;
            thumbnail.mHeight = child.GetAttributeValueInt("height");
            ReadAttributes(child, {{"time", &thumbnail.mTime}, {"url", &thumbnail.mUrl}});
            thumbnail.mWidth = child.GetAttributeValueInt("width");
            optional.mThumbnails.Add(thumbnail);
        } else if (name == "title") {
            ReadTextConstruct(optional.mTitle, child);
        }
    }
}

}  // namespace System::Resource::Feeds
